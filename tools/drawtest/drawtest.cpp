// The drawing test program: starts like the editor (platform, pools, the texture table and
// its font, resources, renderer, frame buffer, theme from the working folder) and draws,
// every frame until the quit key or the window's close button, one of three pictures
// through the whole pipeline, gamma resolve included:
//   (no argument)  the test frame that tests/scripts/draw_pixels.sh checks pixel by pixel
//   -icons         the interface icon set, as shown in docs/icons.png
//   -text          a paragraph at the interface's three text scales, as in docs/text.png
// Main thread only.
#include <stdlib.h>

#include "app/app.h"
#include "base/format.h"
#include "base/pool.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "platform/system.h"

enum DrawMode { MODE_PIXELS, MODE_ICONS, MODE_TEXT };

static const i64 IMAGE_MEMORY_BYTES = 64 << 20;
static u32 window_icon_texture;

static void interface_pass() {
    g_projection_matrix =
        matrix_orthographic(0.0f, (f32)g_window.width, 0.0f, (f32)g_window.height);
    g_view_matrix = matrix_identity();
    pipeline_depth_enable(false);
}

static void opaque(const f32* color, f32* result) {
    for (i32 i = 0; i < 3; i += 1) result[i] = color[i];
    result[3] = 1.0f;
}

// The test frame. Its layout is fixed: draw_pixels.sh reads the same positions (interface
// pixels, origin at the lower left) and the colours from theme.txt.
static void draw_pixel_test() {
    f32 background[4];
    opaque(g_theme.menu_background_color, background);
    frame_buffer_begin(background);
    interface_pass();
    u32 white = g_textures.ids[TEXTURE_WHITE];
    const f32* boxes[5] = {g_theme.color, g_theme.note_object_color, g_theme.key_object_color,
                           g_theme.text_color, g_theme.close_color};
    for (i32 i = 0; i < 5; i += 1)
        draw_rect(white, boxes[i], 40.0f + 140.0f * i, 40.0f, 100, 100, 0, 0);
    // A translucent colour over an opaque one: the blend happens in linear light.
    draw_rect(white, g_theme.color, 740.0f, 40.0f, 100, 100, 0, 0);
    draw_rect(white, g_theme.hover_color, 740.0f, 40.0f, 100, 100, 0, 0);
    // Centred on its point: pivot at half the size.
    draw_rect(white, g_theme.open_color, 930.0f, 90.0f, 60, 60, 30, 30);
    draw_line(white, g_theme.tempo_object_color, 40.0f, 200.0f, 940.0f, 200.0f, 3.0f, UV_FULL);
    // At scale 1 a font page pixel is a screen pixel: glyph cores reach the full colour.
    Font* font = font_default();
    f32 scale = 1.0f;
    draw_string(font, g_theme.text_color, STR("Sorvane draws text: 3/2 → a just fifth"),
                40.0f, 400.0f, scale, scale, TEXT_LEFT, TEXT_FIRST_LINE_ON_Y);
    const f32 clip[4] = {40.0f, 500.0f, 120.0f, 40.0f};
    draw_string_clipped(font, g_theme.text_color, clip,
                        STR("clipped text runs on past the edge of its box"), 40.0f, 520.0f,
                        scale, scale);
}

static const f32* icon_tint(i32 slot) {
    switch (slot) {
        case TEXTURE_CLOSE: case TEXTURE_STOP: return g_theme.close_color;
        case TEXTURE_MAXIMIZE2: case TEXTURE_MINIMIZE: return g_theme.minimize_color;
        case TEXTURE_CHECK: return g_theme.check_color;
        case TEXTURE_STAR3D: return g_theme.directory_color;
        case TEXTURE_NEW: return g_theme.new_color;
        case TEXTURE_OPEN: return g_theme.open_color;
        case TEXTURE_SAVE: return g_theme.save_color;
        case TEXTURE_STAR: return g_theme.export_color;
        case TEXTURE_PLAY: case TEXTURE_PAUSE: return g_theme.play_color;
        case TEXTURE_ADD_POINT: return g_theme.add_point_color;
        case TEXTURE_SPHERE: case TEXTURE_SPHERE2: return g_theme.group_color;
        case TEXTURE_PLACE_OBJECT: case TEXTURE_SELECT_OBJECT: return g_theme.placement_color;
        case TEXTURE_CIRCLE: case TEXTURE_NOTE: return g_theme.note_object_color;
        case TEXTURE_VOLUME: return g_theme.volume_object_color;
        case TEXTURE_PITCH: return g_theme.pitch_object_color;
        case TEXTURE_SOUND: return g_theme.sound_object_color;
        case TEXTURE_SHAPE: return g_theme.shape_object_color;
        case TEXTURE_KEY: return g_theme.key_object_color;
        case TEXTURE_MEASURE: return g_theme.measure_object_color;
        case TEXTURE_TEMPO: return g_theme.tempo_object_color;
        case TEXTURE_REPEAT: return g_theme.repeat_object_color;
        case TEXTURE_TEXT: return g_theme.text_object_color;
        case TEXTURE_CONE: return g_theme.show_group_properties_color;
        case TEXTURE_SETTINGS: return g_theme.show_global_properties_color;
        default: return g_theme.text_color;
    }
}

// Slot name: the file name without folder and extension.
static Str slot_name(i32 slot) {
    Str file = texture_slot_file(slot);
    Str name = Str{file.data + 9, file.length - 9 - 4};  // "textures/" and ".png"
    return name;
}

static void draw_icon_sheet() {
    f32 background[4];
    opaque(g_theme.menu_background_color, background);
    frame_buffer_begin(background);
    interface_pass();
    const f32 white_tint[4] = {1, 1, 1, 1};
    const i32 columns = 9;
    const f32 cell_width = 96.0f, cell_height = 92.0f, icon = 48.0f;
    f32 top = (f32)g_window.height - 14.0f;
    Font* font = font_default();
    // The 40 slots (sphere twice) and the window icon last.
    for (i32 i = 0; i <= TEXTURE_SLOT_COUNT; i += 1) {
        f32 centre_x = 12.0f + cell_width * (f32)(i % columns) + cell_width / 2.0f;
        f32 icon_top = top - cell_height * (f32)(i / columns);
        bool is_window_icon = i == TEXTURE_SLOT_COUNT;
        u32 texture = is_window_icon ? window_icon_texture : g_textures.ids[i];
        bool untinted = is_window_icon || i == TEXTURE_WHITE || i == TEXTURE_GRADIENT1 ||
                        i == TEXTURE_HUE || i == TEXTURE_ALPHA;
        f32 x = centre_x - icon / 2.0f, y = icon_top - icon;
        draw_rect(g_textures.ids[TEXTURE_WHITE], g_theme.color, x, y, icon, icon, 0, 0);
        draw_rect(texture, untinted ? white_tint : icon_tint(i), x, y, icon, icon, 0, 0);
        Str name = is_window_icon ? STR("blue_octahedron") : slot_name(i);
        draw_string(font, g_theme.text_color, name, centre_x, y - 6.0f, 0.75f, 0.75f,
                    TEXT_CENTER, TEXT_HANGING);
    }
}

static void draw_text_sample() {
    f32 background[4];
    opaque(g_theme.menu_background_color, background);
    frame_buffer_begin(background);
    interface_pass();
    Str paragraph = STR(
        "Pitches are exact ratios: 3/2 → a just fifth, 5/4 → a major third (≈ 386 cents).\n"
        "À bientôt, Zürich! Ñandú, smørrebrød, façade — “quotes” and …\n"
        "♩ ♪ ♫ ♭ ♮ ♯  ← ↑ ↓ ↔  ± × ÷ ° µ € £ © ✓ ✗  missing: 漢");
    Font* font = font_default();
    const f32 scales[3] = {1.0f, 0.75f, 0.5f};
    const char* labels[3] = {"text scale 1 (interface)", "text scale 0.75 (help)",
                             "text scale 0.5 (statistics)"};
    f32 y = (f32)g_window.height - 16.0f;
    for (i32 i = 0; i < 3; i += 1) {
        draw_string(font, g_theme.group_color, str_from_cstring(labels[i]), 16.0f, y, 0.75f,
                    0.75f, TEXT_LEFT, TEXT_HANGING);
        y -= 18.0f;
        draw_string(font, g_theme.text_color, paragraph, 16.0f, y, scales[i], scales[i],
                    TEXT_LEFT, TEXT_HANGING);
        y -= 3.0f * scales[i] * (f32)(font->line_height * font->size) + 22.0f;
    }
}

static bool start(i32 width, i32 height, void** image_memory) {
    app_state_reset();
    if (!system_init(63)) return false;
    if (!display_open(width, height, STR("sorvane drawtest"), DISPLAY_WINDOWED, 1)) {
        format_print(STR("failed to open the window\n"), 0, 0);
        system_release();
        return false;
    }
    i32 refresh = 0;
    display_get_info(&g_window.width, &g_window.height, &refresh);
    pool_setup(POOL_MAIN, 64 << 20, false);
    pool_setup(POOL_TMP, 16 << 20, false);
    *image_memory = malloc((size_t)IMAGE_MEMORY_BYTES);
    if (*image_memory) image_set_buffer(IMAGE_MEMORY_BYTES, *image_memory);
    Image icon;
    if (image_load(STR("textures/blue_octahedron.png"), &icon, 4))
        display_set_icon(icon.width, icon.height, icon.pixels);
    image_set_flip(true);
    texture_table_load();
    resources_load();
    window_icon_texture = texture_load(STR("textures/blue_octahedron.png"), 2, 2, 5, 0);
    image_set_buffer(0, 0);
    free(*image_memory);
    *image_memory = 0;
    renderer_load();
    frame_buffer_build();
    theme_set_defaults();
    theme_load();
    pipeline_cull_enable(true);
    return true;
}

int main(int argc, char** argv) {
    DrawMode mode = MODE_PIXELS;
    i32 width = 1024, height = 768;
    for (i32 i = 1; i < argc; i += 1) {
        Str arg = str_from_cstring(argv[i]);
        if (str_equal(arg, STR("-icons"))) {
            mode = MODE_ICONS;
            width = 888;
            height = 480;
        } else if (str_equal(arg, STR("-text"))) {
            mode = MODE_TEXT;
            width = 900;
            height = 300;
        } else {
            const FormatArg args[] = {fa_str(arg)};
            format_print(STR("unknown argument: %a\n"), args, ARRAY_COUNT(args));
        }
    }
    void* image_memory = 0;
    if (!start(width, height, &image_memory)) return 1;
    for (;;) {
        pool_empty(POOL_TMP);
        input_poll();
        if (display_is_closed() || input_key_is_pressed(KEY_ESCAPE)) break;
        i32 new_width = 0, new_height = 0;
        if (display_is_resized(&new_width, &new_height) && new_width > 0 && new_height > 0) {
            g_window.width = new_width;
            g_window.height = new_height;
            frame_buffer_build();
        }
        if (mode == MODE_PIXELS) draw_pixel_test();
        if (mode == MODE_ICONS) draw_icon_sheet();
        if (mode == MODE_TEXT) draw_text_sample();
        frame_buffer_resolve();
        pipeline_present();
        system_sleep(10);
    }
    texture_release(window_icon_texture);
    textures_destroy();
    renderer_release();
    pool_release(POOL_MAIN);
    pool_release(POOL_TMP);
    display_close();
    system_release();
    return 0;
}
