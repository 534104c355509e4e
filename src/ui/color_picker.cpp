// The colour picker widget of color_picker.h. The field is drawn by the "color" program,
// which turns the hue in the vertex colour into the saturation/value plane with the same
// formula as color_from_hsv, so the marker sits on the colour the picker writes.
// Main thread only.
#include "ui/color_picker.h"

#include "gfx/renderer.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "platform/system.h"
#include "ui/interaction.h"

static const f32 WHITE_COLOUR[4] = {1.0f, 1.0f, 1.0f, 1.0f};
static const f32 DARK_COLOUR[4] = {0.0f, 0.0f, 0.0f, 1.0f};

ColorPickerLayout color_picker_layout(Rect rect) {
    f32 s = g_theme.scale, o = g_theme.offset;
    ColorPickerLayout layout;
    layout.field = Rect{rect.x + o, rect.y + 2 * o + s, (rect.width - 2 * o) - 2 * s,
                        rect.height - 3 * o - s};
    layout.hue = Rect{layout.field.x + layout.field.width, layout.field.y, s, layout.field.height};
    layout.alpha = Rect{layout.hue.x + s, layout.field.y, s, layout.field.height};
    layout.ok = Rect{rect.x + o, rect.y + o, 2 * s, s};
    layout.preview = Rect{layout.alpha.x + layout.alpha.width - s, layout.field.y - s - o, s, s};
    return layout;
}

// x modulo m into [0, m): fmod keeps the sign of x, and a negative hue means nothing here.
static f64 wrap(f64 x, f64 m) {
    f64 r = math_mod(x, m);
    return r < 0 ? r + m : r;
}

void color_picker_prime(ColorPickerState* state, const f32* color) {
    f64 r = color[0], g = color[1], b = color[2];
    f64 max = r > g ? (r > b ? r : b) : (g > b ? g : b);
    f64 min = r < g ? (r < b ? r : b) : (g < b ? g : b);
    f64 delta = max - min;
    f64 hue = 0;
    if (delta > 0) {
        if (max == r) hue = wrap((g - b) / delta, 6) / 6;
        else if (max == g) hue = ((b - r) / delta + 2) / 6;
        else hue = ((r - g) / delta + 4) / 6;
    }
    state->hue = (f32)hue;
    state->saturation = max > 0 ? (f32)(delta / max) : 0.0f;
    state->value = (f32)max;
    state->alpha = color[3];
}

void color_from_hsv(f32 hue, f32 saturation, f32 value, f32 alpha, f32 out[4]) {
    f64 h6 = wrap((f64)hue * 6, 6);
    f64 c = (f64)value * saturation;
    f64 x = c * (1 - math_abs(wrap(h6, 2) - 1));
    f64 m = value - c;
    f64 rgb[3];
    i32 sector = (i32)h6;  // 0..5
    switch (sector) {
        case 0: rgb[0] = c, rgb[1] = x, rgb[2] = 0; break;
        case 1: rgb[0] = x, rgb[1] = c, rgb[2] = 0; break;
        case 2: rgb[0] = 0, rgb[1] = c, rgb[2] = x; break;
        case 3: rgb[0] = 0, rgb[1] = x, rgb[2] = c; break;
        case 4: rgb[0] = x, rgb[1] = 0, rgb[2] = c; break;
        default: rgb[0] = c, rgb[1] = 0, rgb[2] = x; break;
    }
    for (i32 i = 0; i < 3; i += 1) out[i] = (f32)(rgb[i] + m);
    out[3] = alpha;
}

static f32 clamp01(f32 x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

static bool inside(Rect rect, f32 x, f32 y) {
    return x >= rect.x && x < rect.x + rect.width && y >= rect.y && y < rect.y + rect.height;
}

static void marker(const f32* color, f32 x, f32 y) {
    f32 size = 0.5f * g_theme.scale;
    draw_rect(g_textures.ids[TEXTURE_CIRCLE], color, x, y, size, size, size / 2, size / 2);
}

void color_picker(ColorPickerState* state, Rect rect) {
    ColorPickerLayout layout = color_picker_layout(rect);
    Rect field = layout.field, hue = layout.hue, alpha = layout.alpha;
    u32 white = g_textures.ids[TEXTURE_WHITE];
    state->done = 0;

    // The field: the "color" program paints the plane of the hue carried in the colour.
    f32 hue_color[4] = {state->hue, state->hue, state->hue, state->hue};
    shader_program_use(&g_program_color);
    draw_rect(g_textures.ids[TEXTURE_HUE], hue_color, field.x, field.y, field.width,
              field.height, 0, 0);
    shader_program_use(&g_program_simple);
    draw_rect(g_textures.ids[TEXTURE_HUE], WHITE_COLOUR, hue.x, hue.y, hue.width, hue.height, 0,
              0);
    draw_rect(g_textures.ids[TEXTURE_ALPHA], WHITE_COLOUR, alpha.x, alpha.y, alpha.width,
              alpha.height, 0, 0);

    // A drag starts only where this panel has the mouse, and ends wherever the button
    // comes up.
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    if (input_mouse_is_pressed(MOUSE_LEFT) && interaction_allowed()) {
        if (inside(field, mx, my)) state->dragging_field = 1;
        if (inside(hue, mx, my)) state->dragging_hue = 1;
        if (inside(alpha, mx, my)) state->dragging_alpha = 1;
    }
    bool moved = state->dragging_field || state->dragging_hue || state->dragging_alpha;
    if (state->dragging_field) {
        state->saturation = clamp01((mx - field.x) / field.width);
        state->value = clamp01((my - field.y) / field.height);
    }
    if (state->dragging_hue) state->hue = clamp01((my - hue.y) / hue.height);
    if (state->dragging_alpha) state->alpha = clamp01((my - alpha.y) / alpha.height);
    if (input_mouse_is_released(MOUSE_LEFT))
        state->dragging_field = state->dragging_hue = state->dragging_alpha = 0;

    // Only a drag writes: an untouched picker leaves the colour to whoever else edits it
    // (the property rows show the same colour as numbers).
    f32 color[4];
    color_from_hsv(state->hue, state->saturation, state->value, state->alpha, color);
    if (moved && state->target)
        for (i32 i = 0; i < 4; i += 1) state->target[i] = color[i];

    text_button(&state->ok, layout.ok, STR("ok"));
    if (state->ok.clicked) state->done = 1;

    bool light = color[0] + 2 * color[1] + color[2] >= 2;
    marker(light ? DARK_COLOUR : WHITE_COLOUR, field.x + state->saturation * field.width,
           field.y + state->value * field.height);
    marker(WHITE_COLOUR, hue.x + hue.width / 2, hue.y + state->hue * hue.height);
    marker(state->alpha > 0.5f ? DARK_COLOUR : WHITE_COLOUR, alpha.x + alpha.width / 2,
           alpha.y + state->alpha * alpha.height);
    draw_rect(white, color, layout.preview.x, layout.preview.y, layout.preview.width,
              layout.preview.height, 0, 0);
}
