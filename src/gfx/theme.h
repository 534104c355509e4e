// Interface colours and metrics: built-in defaults, then "theme.txt" over them. Written at
// start-up on the main thread, read-only afterwards.
#pragma once

#include "base/types.h"

struct Font;

struct Theme {
    f32 color[4];
    f32 hover_color[4];
    f32 pressed_color[4];
    f32 menu_background_color[4];
    f32 score_marking_color1[4];
    f32 score_marking_color2[4];
    f32 scale;
    f32 offset;
    Font* font;
    f32 text_scale;
    f32 text_color[4];
    f32 text_offset;
    f32 check_color[4];
    f32 double_click_time;
    f32 selection_color[4];
    f32 scroll_highlight_color[4];
    f32 directory_color[4];
    f32 file_color[4];
    f32 minimize_color[4];
    f32 close_color[4];
    f32 group_color[4];
    f32 note_object_color[4];
    f32 key_object_color[4];
    f32 measure_object_color[4];
    f32 tempo_object_color[4];
    f32 sound_object_color[4];
    f32 shape_object_color[4];
    f32 volume_object_color[4];
    f32 pitch_object_color[4];
    f32 repeat_object_color[4];
    f32 text_object_color[4];
    f32 new_color[4];
    f32 open_color[4];
    f32 save_color[4];
    f32 undo_color[4];
    f32 redo_color[4];
    f32 export_color[4];
    f32 play_color[4];
    f32 add_point_color[4];
    f32 placement_color[4];
    f32 show_groups_color[4];
    f32 show_group_properties_color[4];
    f32 show_global_properties_color[4];
    u8 smooth_scrolling;
    f32 cursor_width;
    f32 cursor_color[4];
    f32 error_color[4];  // behind a field whose value was not taken
    // Derived when the theme is loaded.
    f32 row_offset;
    f32 row_size;
    f32 row_offset2;
    f32 icon_size;
    u32 folder_closed_texture;
    u32 folder_open_texture;
};

extern Theme g_theme;

void theme_set_defaults();  // every default; derived fields and the font are 0
void theme_load();          // "theme.txt" over the defaults, then the derived fields
// The lines of a theme text over the current values; the derived fields are left alone.
void theme_parse(Str text);
f32 theme_menu_bar_height();  // 2 x scale
