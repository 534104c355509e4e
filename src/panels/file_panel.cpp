// The file panel of file_panel.h: listing and sorting a folder, walking folders, the name
// field, ok and cancel, and the confirm that hands the chosen path to the document code.
// The panel's state lives in POOL_MAIN; each listing reuses the storage of the last one.
// Main thread.
#include "panels/file_panel.h"

#include "base/format.h"
#include "base/merge_sort.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "gfx/view.h"
#include "platform/system.h"
#include "ui/interaction.h"
#include "ui/panels.h"

// ---------------------------------------------------------------------------
// Sorting
// ---------------------------------------------------------------------------
i32 str_compare(Str a, Str b) {
    i64 common = a.length < b.length ? a.length : b.length;
    for (i64 i = 0; i < common; i += 1)
        if (a.data[i] != b.data[i]) return a.data[i] < b.data[i] ? -1 : 1;
    if (a.length == b.length) return 0;
    return a.length < b.length ? -1 : 1;
}

static bool name_before(const Str* a, const Str* b) { return str_compare(*a, *b) < 0; }

void str_merge_sort(Str* names, i64 count, Str* scratch) {
    merge_sort(names, count, scratch, name_before);  // equal names keep their order
}

// ---------------------------------------------------------------------------
// Listing
// ---------------------------------------------------------------------------
static bool is_dot(Str name) { return name.length == 1 && name.data[0] == '.'; }
static bool is_dot_dot(Str name) {
    return name.length == 2 && name.data[0] == '.' && name.data[1] == '.';
}

// Copies the names into the panel's byte store (reserved first, so the views stay valid).
static void names_take(FilePanelState* state, const DirectoryContent* listing) {
    i64 bytes = 0;
    for (i64 i = 0; i < listing->folder_count; i += 1) bytes += listing->folders[i].length;
    for (i64 i = 0; i < listing->file_count; i += 1) bytes += listing->files[i].length;
    array_clear(&state->name_bytes);
    if (!array_reserve(&state->name_bytes, bytes)) return;
    for (i32 pass = 0; pass < 2; pass += 1) {
        bool folders = pass == 0;
        const Str* names = folders ? listing->folders : listing->files;
        i64 count = folders ? listing->folder_count : listing->file_count;
        for (i64 i = 0; i < count; i += 1) {
            Str name = names[i];
            if (folders && is_dot(name)) continue;
            u8* at = state->name_bytes.data + state->name_bytes.count;
            if (name.length > 0) memcpy(at, name.data, (size_t)name.length);
            state->name_bytes.count += name.length;
            array_push(folders ? &state->folders : &state->files, Str{at, name.length});
        }
    }
}

static void names_sort(FilePanelState* state, PoolArray<Str>* names) {
    if (names->count < 2) return;
    array_clear(&state->scratch);
    if (!array_resize(&state->scratch, names->count)) return;  // unsorted rather than nothing
    str_merge_sort(names->data, names->count, state->scratch.data);
}

void file_panel_list(FilePanelState* state, Str folder) {
    // The new folder may be a piece of the old one's bytes: through POOL_TMP first.
    Str copy = str_copy(POOL_TMP, folder);
    array_clear(&state->folder_bytes);
    if (copy.length > 0 && array_resize(&state->folder_bytes, copy.length))
        memcpy(state->folder_bytes.data, copy.data, (size_t)copy.length);
    state->folder = Str{state->folder_bytes.data, state->folder_bytes.count};

    array_clear(&state->folders);
    array_clear(&state->files);
    DirectoryContent listing = {};
    if (directory_get_content(state->folder, &listing)) names_take(state, &listing);
    // The way back up stays open even when the folder could not be listed.
    bool has_parent = false;
    for (i64 i = 0; i < state->folders.count; i += 1)
        if (is_dot_dot(state->folders[i])) has_parent = true;
    if (!has_parent) array_push(&state->folders, STR(".."));
    names_sort(state, &state->folders);
    names_sort(state, &state->files);
    state->scroll = 0;
}

Str file_panel_parent(Str folder) {
    for (i64 i = folder.length - 1; i >= 0; i -= 1)
        if (folder.data[i] == '/') return Str{folder.data, i};
    for (i64 i = folder.length - 1; i >= 0; i -= 1)
        if (folder.data[i] == '\\') return Str{folder.data, i};
    return Str{folder.data, 0};
}

void file_panel_open(Str title, u8 action) {
    FilePanelState* state =
        (FilePanelState*)pool_alloc_zero(POOL_MAIN, (i64)sizeof(FilePanelState));
    if (!state) return;
    state->action = action;
    array_init(&state->folders, POOL_MAIN);
    array_init(&state->files, POOL_MAIN);
    array_init(&state->name_bytes, POOL_MAIN);
    array_init(&state->folder_bytes, POOL_MAIN);
    array_init(&state->scratch, POOL_MAIN);
    array_init(&state->name_field.text, POOL_MAIN);
    array_init(&state->name_field.lines, POOL_MAIN);
    state->name_field.single_line = 1;
    // A name typed right away goes into the field, and from the next frame on the editor
    // takes no keys (the panel is first drawn then, and the field holds them from there).
    state->name_field.focused = 1;
    g_ui.keyboard_taken += 1;
    file_panel_list(state, Str{0, 0});
    f32 x = (f32)g_window.width / 2 - 150;
    f32 y = (f32)g_window.height / 2 - 200;
    Panel* panel = panel_create(PANEL_FILE, title, x, y, 300, 400, state);
    if (panel) panel_content_init(panel);
}

// ---------------------------------------------------------------------------
// Confirm and cancel
// ---------------------------------------------------------------------------
static void name_field_reset(FilePanelState* state) {
    text_field_set_text(&state->name_field, Str{0, 0});
    state->name_field.focused = 0;
    state->name_field.changed = 0;
}

static FileConfirmAction confirm_action;

void file_panel_on_confirm(FileConfirmAction action) { confirm_action = action; }

void file_panel_confirm(FilePanelState* state) {
    state->done = 1;
    if (confirm_action) confirm_action(state->action, state->folder, text_field_text(&state->name_field));
    name_field_reset(state);
}

// ---------------------------------------------------------------------------
// The panel's content
// ---------------------------------------------------------------------------
// The name of visible row `index`: folders first (no ".", ".." only below the working
// directory), then files. Empty past the end.
static Str row_name(const FilePanelState* state, i64 index, bool* folder) {
    bool top = state->folder.length == 0;
    for (i64 i = 0; i < state->folders.count; i += 1) {
        Str name = state->folders[i];
        if (top && is_dot_dot(name)) continue;
        if (index == 0) {
            *folder = true;
            return name;
        }
        index -= 1;
    }
    *folder = false;
    return index < state->files.count ? state->files[index] : Str{0, 0};
}

static i64 row_count(const FilePanelState* state) {
    i64 count = state->folders.count + state->files.count;
    if (state->folder.length == 0)
        for (i64 i = 0; i < state->folders.count; i += 1)
            if (is_dot_dot(state->folders[i])) count -= 1;
    return count;
}

// The folder a click on a folder row leads to, in POOL_TMP.
static Str folder_after_click(const FilePanelState* state, Str name) {
    if (is_dot_dot(name)) return file_panel_parent(state->folder);
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    if (state->folder.length > 0) {
        str_builder_append(&builder, state->folder);
        str_builder_put(&builder, '/');
    }
    str_builder_append(&builder, name);
    return str_builder_text(&builder);
}

void file_panel_update(Panel* panel, Rect content) {
    FilePanelState* state = (FilePanelState*)panel->content;
    if (state->done) return;
    f32 s = g_theme.scale, o = g_theme.offset;
    f32 x = content.x, y = content.y, w = content.width;
    Font* font = font_default();
    f32 h = (f32)((f64)g_theme.text_scale * font->size * font->line_height);

    text_button(&state->ok, Rect{x + o, y + o, 3 * s, s}, STR("ok"));
    text_button(&state->cancel, Rect{x + o + 3 * s + o, y + o, 3 * s, s}, STR("cancel"));
    text_field(&state->name_field, Rect{x + o, y + 2 * o + s, w - 2 * o, h});
    bool exporting = state->action == FILE_ACTION_EXPORT || state->action == FILE_ACTION_EXPORT_MPE;
    if (exporting) {
        // How a MIDI file is tuned; a wave file does not care.
        bool mpe = state->action == FILE_ACTION_EXPORT_MPE;
        text_button(&state->midi_tuning, Rect{x + o + 6 * s + 2 * o, y + o, 5 * s, s},
                    mpe ? STR("MIDI: MPE") : STR("MIDI: MTS"));
        if (state->midi_tuning.clicked) state->action = mpe ? FILE_ACTION_EXPORT : FILE_ACTION_EXPORT_MPE;
    }

    Rect list = {x, y + 3 * s + o, w, content.height - 3 * s - 2 * o};
    f32 list_top = list.y + list.height;
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    bool mouse_in_list = interaction_allowed() && rect_contains(list, mx, my);
    i64 rows = row_count(state);
    i32 wheel = input_mouse_wheel();
    if (mouse_in_list && wheel != 0) {
        state->scroll -= 16.0f * (f32)wheel;
        // Never above the first row nor past the last.
        f32 most = (f32)rows * h + 2 * o - list.height;
        if (state->scroll > most) state->scroll = most;
        if (state->scroll < 0) state->scroll = 0;
    }

    const f32 clip[4] = {list.x, list.y, list.width, list.height};
    u32 white = g_textures.ids[TEXTURE_WHITE];
    Str clicked = {};
    bool clicked_folder = false, clicked_any = false;
    for (i64 i = 0; i < rows; i += 1) {
        bool folder = false;
        Str name = row_name(state, i, &folder);
        f32 bottom = list_top - o - h - (f32)i * h + state->scroll;
        if (bottom > list_top || bottom + h < list.y) continue;  // wholly outside
        Rect row = {x, bottom, w, h};
        if (mouse_in_list && rect_contains(row, mx, my)) {
            draw_rect_clipped(white, g_theme.hover_color, row.x, row.y, row.width, row.height,
                              clip, UV_FULL);
            if (input_mouse_is_pressed(MOUSE_LEFT)) {
                clicked = name;
                clicked_folder = folder;
                clicked_any = true;
            }
        }
        draw_string_clipped(font, folder ? g_theme.directory_color : g_theme.file_color, clip,
                            name, x + g_theme.text_offset, bottom + h / 2, g_theme.text_scale,
                            g_theme.text_scale);
    }

    if (state->name_field.entered || state->ok.clicked) {
        file_panel_confirm(state);
        return;
    }
    if (state->cancel.clicked) {
        state->done = 1;
        name_field_reset(state);
        return;
    }
    if (!clicked_any) return;
    if (clicked_folder)
        file_panel_list(state, folder_after_click(state, clicked));
    else
        text_field_set_text(&state->name_field, clicked);
    // The press took the focus from the field; the name stays ready for typing and Return.
    state->name_field.focused = 1;
}
