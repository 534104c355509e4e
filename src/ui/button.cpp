// The simple widgets of button.h. Every background and overlay is a draw_rect on the white
// texture; clicks are read as flags of this frame from the platform's mouse button 2.
// Main thread only.
#include "ui/button.h"

#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "gfx/view.h"
#include "platform/system.h"
#include "ui/interaction.h"

static const f32 NO_COLOR[4] = {0.0f, 0.0f, 0.0f, 0.0f};

bool rect_contains(Rect rect, f32 x, f32 y) {
    // The right and top edges in double precision, so that a rectangle ending at a large
    // coordinate does not swallow the pixel beyond it through rounding.
    return (f64)rect.x + (f64)rect.width > (f64)x && x >= rect.x && y >= rect.y &&
           (f64)rect.y + (f64)rect.height > (f64)y;
}

void button_hit_test(ButtonState* button, Rect rect) {
    button->state = BUTTON_IDLE;
    button->clicked = 0;
    if (interaction_allowed() && rect_contains(rect, g_ui.mouse_x, g_ui.mouse_y)) {
        if (!input_mouse_is_held(MOUSE_LEFT)) button->state = BUTTON_HOVERED;
        if (input_mouse_is_pressed(MOUSE_LEFT)) button->active = 1;
        if (input_mouse_is_released(MOUSE_LEFT)) button->clicked = 1;
    }
    if (button->active) button->state = BUTTON_PRESSED;
    if (input_mouse_is_released(MOUSE_LEFT)) {
        button->state = BUTTON_IDLE;
        button->active = 0;
    }
}

static void draw_box(const f32* color, Rect rect) {
    draw_rect(g_textures.ids[TEXTURE_WHITE], color, rect.x, rect.y, rect.width, rect.height, 0.0f,
              0.0f);
}

void draw_button_overlay(u8 state, Rect rect) {
    if (state == BUTTON_HOVERED) draw_box(g_theme.hover_color, rect);
    if (state == BUTTON_PRESSED) draw_box(g_theme.pressed_color, rect);
}

void icon_button(ButtonState* button, Rect rect, u32 texture, const f32* icon_color) {
    button_hit_test(button, rect);
    draw_box(g_theme.color, rect);
    draw_rect(texture, icon_color, rect.x, rect.y, rect.width, rect.height, 0.0f, 0.0f);
    draw_button_overlay(button->state, rect);
}

void text_button(ButtonState* button, Rect rect, Str label) {
    button_hit_test(button, rect);
    draw_box(g_theme.color, rect);
    Font* font = g_theme.font ? g_theme.font : font_default();
    draw_string(font, g_theme.text_color, label, rect.x + rect.width / 2.0f,
                rect.y + rect.height / 2.0f, g_theme.text_scale, g_theme.text_scale, TEXT_CENTER,
                TEXT_CENTERED);
    draw_button_overlay(button->state, rect);
}

void toggle(ButtonState* button, Rect rect) {
    icon_button(button, rect, g_textures.ids[TEXTURE_CHECK],
                button->on ? g_theme.check_color : NO_COLOR);
    button->changed = button->clicked;
    if (button->clicked) button->on = button->on ? 0 : 1;
}

static Rect toolbar_rect(const ToolbarCursor* cursor) {
    return Rect{cursor->x, (f32)g_window.height - cursor->size, cursor->size, cursor->size};
}

Rect toolbar_button(ButtonState* button, ToolbarCursor* cursor, u32 texture, const f32* color) {
    Rect rect = toolbar_rect(cursor);
    icon_button(button, rect, texture, color);
    cursor->x += cursor->size;
    return rect;
}

Rect toolbar_button_switch(ButtonState* button, ToolbarCursor* cursor, u32 texture,
                           u32 texture_when_set, bool flag, const f32* color) {
    return toolbar_button(button, cursor, flag ? texture_when_set : texture, color);
}

Rect toolbar_choice(ButtonState* button, ToolbarCursor* cursor, u32 texture, const f32* color,
                    bool selected) {
    Rect rect = toolbar_button(button, cursor, texture, color);
    if (selected) draw_box(g_theme.selection_color, rect);
    return rect;
}

static f32 clamp01(f32 value) {
    if (!(value > 0.0f)) return 0.0f;  // NaN from a degenerate track lands here too
    return value < 1.0f ? value : 1.0f;
}

void scroll_bar(ScrollBarState* bar, Rect rect) {
    if (bar->visible_fraction >= 1.0f) return;
    f32 thumb = bar->visible_fraction * rect.height;
    if (thumb < bar->min_thumb_length) thumb = bar->min_thumb_length;
    f32 travel = rect.height - thumb;
    f32 thumb_bottom = rect.y + travel * bar->position;
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    bool hovered = interaction_allowed() && (f64)rect.x + (f64)rect.width > (f64)mx &&
                   mx >= rect.x && thumb_bottom <= my && my < thumb_bottom + thumb;
    if (hovered && input_mouse_is_pressed(MOUSE_LEFT)) {
        bar->dragging = 1;
        bar->drag_start_position = bar->position;
        bar->drag_start_mouse_y = my;
    }
    if (bar->dragging && travel > 0.0f)
        bar->position = clamp01((my - bar->drag_start_mouse_y) / travel + bar->drag_start_position);
    else
        bar->position = clamp01(bar->position);
    if (input_mouse_is_released(MOUSE_LEFT)) bar->dragging = 0;

    thumb_bottom = rect.y + travel * bar->position;
    Rect thumb_rect = {rect.x, thumb_bottom, rect.width, thumb};
    draw_box(g_theme.color, thumb_rect);
    if (bar->dragging)
        draw_box(g_theme.pressed_color, thumb_rect);
    else if (hovered)
        draw_box(g_theme.hover_color, thumb_rect);
}
