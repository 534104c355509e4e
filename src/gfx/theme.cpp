// The theme: built-in defaults, then "theme.txt" over them, then the fields derived from
// both. Colours are kept exactly as written; the renderer decides where gamma applies.
// Written at start-up on the main thread, read-only afterwards.
#include "gfx/theme.h"

#include <string.h>

#include "base/text.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "model/files.h"
#include "model/piece.h"

Theme g_theme;

static void set(f32* color, f32 r, f32 g, f32 b, f32 a) {
    color[0] = r;
    color[1] = g;
    color[2] = b;
    color[3] = a;
}

// The colours new objects and unreadable colours take follow the theme.
static void share_with_the_piece() {
    for (i32 i = 0; i < 4; i += 1) {
        g_piece_defaults.note_color[i] = g_theme.note_object_color[i];
        g_piece_defaults.group_color[i] = g_theme.group_color[i];
        g_piece_defaults.folder_color[i] = g_theme.directory_color[i];
        g_piece_defaults.measure_color[i] = g_theme.measure_object_color[i];
        g_piece_defaults.text_color[i] = g_theme.text_object_color[i];
    }
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
    set(g_theme.undo_color, 1, 0.6f, 0.2f, 1);
    set(g_theme.redo_color, 0.2f, 0.8f, 1, 1);
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
    set(g_theme.error_color, 0.6f, 0.15f, 0.15f, 1);
    share_with_the_piece();
}

struct ThemeKey {
    const char* key;
    i64 offset;  // of the field in Theme
};

#define THEME_FIELD(key, field) {key, (i64)offsetof(Theme, field)}

static const ThemeKey COLOR_KEYS[] = {
    THEME_FIELD("color", color),
    THEME_FIELD("hover_color", hover_color),
    THEME_FIELD("pressed_color", pressed_color),
    THEME_FIELD("menu_background_color", menu_background_color),
    THEME_FIELD("text_color", text_color),
    THEME_FIELD("check_color", check_color),
    THEME_FIELD("selection_color", selection_color),
    THEME_FIELD("scroll_highlight_color", scroll_highlight_color),
    THEME_FIELD("directory_color", directory_color),
    THEME_FIELD("file_color", file_color),
    THEME_FIELD("minimize_color", minimize_color),
    THEME_FIELD("close_color", close_color),
    THEME_FIELD("group_color", group_color),
    THEME_FIELD("note_object_color", note_object_color),
    THEME_FIELD("key_object_color", key_object_color),
    THEME_FIELD("measure_object_color", measure_object_color),
    THEME_FIELD("tempo_object_color", tempo_object_color),
    THEME_FIELD("sound_object_color", sound_object_color),
    THEME_FIELD("shape_object_color", shape_object_color),
    THEME_FIELD("volume_object_color", volume_object_color),
    THEME_FIELD("pitch_object_color", pitch_object_color),
    THEME_FIELD("repeat_object_color", repeat_object_color),
    THEME_FIELD("text_object_color", text_object_color),
    THEME_FIELD("new_color", new_color),
    THEME_FIELD("open_color", open_color),
    THEME_FIELD("save_color", save_color),
    THEME_FIELD("undo_color", undo_color),
    THEME_FIELD("redo_color", redo_color),
    THEME_FIELD("export_color", export_color),
    THEME_FIELD("play_color", play_color),
    THEME_FIELD("add_point_color", add_point_color),
    THEME_FIELD("placement_color", placement_color),
    // "colors", unlike its neighbours: the key is matched as files have always written it.
    THEME_FIELD("show_groups_colors", show_groups_color),
    THEME_FIELD("show_group_properties_color", show_group_properties_color),
    THEME_FIELD("show_global_properties_color", show_global_properties_color),
    THEME_FIELD("cursor_color", cursor_color),
    THEME_FIELD("error_color", error_color),
};

static const ThemeKey NUMBER_KEYS[] = {
    THEME_FIELD("scale", scale),
    THEME_FIELD("offset", offset),
    THEME_FIELD("text_scale", text_scale),
    THEME_FIELD("text_offset", text_offset),
    THEME_FIELD("cursor_width", cursor_width),
};

static f32* theme_field(const ThemeKey* keys, i64 count, Str word) {
    for (i64 i = 0; i < count; i += 1)
        if (str_equal(word, str_from_cstring(keys[i].key)))
            return (f32*)((u8*)&g_theme + keys[i].offset);
    return 0;
}

static f32 word_number(Str word) {
    TextCursor cursor = text_cursor(word);
    return (f32)text_parse_number(&cursor);
}

// A line of single-space separated words: five or more set a colour, two to four a number.
static void theme_line(Str line) {
    Str words[5];
    i64 count = 0;
    TextCursor cursor = text_cursor(line);
    while (cursor.position < cursor.length) {
        Str word = text_read_until(&cursor, ' ');
        if (count < 5) words[count] = word;
        count += 1;
        cursor.position += 1;  // the space
    }
    if (count >= 5) {
        f32* color = theme_field(COLOR_KEYS, ARRAY_COUNT(COLOR_KEYS), words[0]);
        if (!color) return;
        for (i32 i = 0; i < 4; i += 1) color[i] = word_number(words[i + 1]);
    } else if (count >= 2) {
        f32* number = theme_field(NUMBER_KEYS, ARRAY_COUNT(NUMBER_KEYS), words[0]);
        if (number) *number = word_number(words[1]);
    }
}

void theme_parse(Str text) {
    TextCursor cursor = text_cursor(text);
    while (cursor.position < cursor.end) {
        Str line = text_read_line(&cursor);
        cursor.position += 1;
        theme_line(line);
    }
    share_with_the_piece();
}

void theme_load() {
    theme_parse(read_entire_file(STR("theme.txt"), POOL_TMP));
    g_theme.font = font_default();
    g_theme.row_offset = g_theme.offset;
    g_theme.row_size = g_theme.scale;
    g_theme.row_offset2 = g_theme.offset;
    g_theme.icon_size = g_theme.scale * 0.75f;
    g_theme.folder_closed_texture = g_textures.ids[TEXTURE_MAXIMIZE2];
    g_theme.folder_open_texture = g_textures.ids[TEXTURE_MINIMIZE];
}

f32 theme_menu_bar_height() { return 2.0f * g_theme.scale; }
