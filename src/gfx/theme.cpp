// Placeholder until the drawing code lands: the built-in defaults only.
#include "gfx/theme.h"

#include <string.h>

Theme g_theme;

static void set(f32* color, f32 r, f32 g, f32 b, f32 a) {
    color[0] = r;
    color[1] = g;
    color[2] = b;
    color[3] = a;
}

void theme_set_defaults() {
    memset(&g_theme, 0, sizeof(g_theme));
    set(g_theme.color, 0.3f, 0.3f, 1, 1);
    set(g_theme.hover_color, 1, 1, 1, 0.2f);
    set(g_theme.pressed_color, 0, 0, 0, 0.5f);
    set(g_theme.menu_background_color, 0, 0, 0, 0.95f);
    set(g_theme.score_marking_color1, 1, 0, 0, 0.25f);
    set(g_theme.score_marking_color2, 0.3f, 0.3f, 1, 0.25f);
    g_theme.scale = 24;
    g_theme.offset = 12;
    g_theme.text_scale = 0.67f;
    set(g_theme.text_color, 1, 1, 1, 1);
    g_theme.text_offset = 8;
    set(g_theme.check_color, 1, 1, 1, 1);
    g_theme.double_click_time = 0.5f;
    set(g_theme.selection_color, 0.5f, 0.5f, 1, 0.5f);
    set(g_theme.scroll_highlight_color, 1, 0.8f, 0, 0.5f);
    set(g_theme.directory_color, 0.5f, 0, 1, 1);
    set(g_theme.file_color, 1, 0.8f, 0, 1);
    set(g_theme.minimize_color, 1, 0.4f, 0, 1);
    set(g_theme.close_color, 1, 0, 0, 1);
    set(g_theme.group_color, 1, 0, 0, 1);
    set(g_theme.note_object_color, 1, 0, 0, 1);
    set(g_theme.key_object_color, 0, 1, 0.5f, 1);
    set(g_theme.measure_object_color, 0.1f, 0, 1, 1);
    set(g_theme.tempo_object_color, 1, 0.8f, 0, 1);
    set(g_theme.sound_object_color, 1, 0.4f, 0, 1);
    set(g_theme.shape_object_color, 0.6f, 0.2f, 0.2f, 1);
    set(g_theme.volume_object_color, 0.7f, 0.5f, 0, 1);
    set(g_theme.pitch_object_color, 1, 0, 1, 1);
    set(g_theme.repeat_object_color, 0, 1, 1, 1);
    set(g_theme.text_object_color, 0.5f, 0, 1, 1);
    set(g_theme.new_color, 1, 0.8f, 0, 1);
    set(g_theme.open_color, 0, 1, 0.4f, 1);
    set(g_theme.save_color, 0.2f, 0.2f, 1, 1);
    set(g_theme.export_color, 0.5f, 0, 1, 1);
    set(g_theme.play_color, 0, 1, 0.4f, 1);
    set(g_theme.add_point_color, 0.5f, 0, 1, 1);
    set(g_theme.placement_color, 1, 1, 0.5f, 1);
    set(g_theme.show_groups_color, 0.8f, 0.8f, 1, 1);
    set(g_theme.show_group_properties_color, 0.8f, 0.8f, 1, 1);
    set(g_theme.show_global_properties_color, 0.8f, 0.8f, 1, 1);
    g_theme.smooth_scrolling = 1;
    g_theme.cursor_width = 6;
    set(g_theme.cursor_color, 1, 0, 0, 1);
}

void theme_load() {}

f32 theme_menu_bar_height() { return 2.0f * g_theme.scale; }
