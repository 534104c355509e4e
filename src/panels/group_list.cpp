// The group list panel: lays out the piece's group tree as rows, reads the mouse on them
// (selection, folder toggles, double clicks, dragging rows to a new place, the wheel),
// runs the four bottom buttons and the rename field, and draws the rows clipped to the
// list. The tree lives in g_piece; the panel record keeps only widgets and the press in
// progress, which it finds again by index and id, since any edit may shift the rows.
// Main thread only.
//
// Sections: tree helpers and operations; layout; input; drawing; the panel.
#include "panels/group_list.h"

#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "platform/system.h"
#include "ui/interaction.h"
#include "ui/panels.h"

// ---------------------------------------------------------------------------
// Tree helpers and operations
// ---------------------------------------------------------------------------
static bool is_group_row(const GroupTreeEntry* entry) {
    return !entry->folder_begin && !entry->folder_end;
}

i64 group_tree_folder_end(const Piece* piece, i64 begin) {
    i64 open = 0;
    for (i64 i = begin; i < piece->tree.count; i += 1) {
        const GroupTreeEntry* entry = &piece->tree.data[i];
        if (entry->folder_begin) open += 1;
        if (entry->folder_end) {
            open -= 1;
            if (open <= 0) return i;
        }
    }
    return piece->tree.count - 1;  // never closed: the folder runs to the end
}

// Marks the rows that a selection takes along: a selected folder with everything up to its
// end row, a selected group row on its own. End rows never go on their own (a tree read
// from a file may have them selected). `block` numbers each taken run, so a place inside a
// moved folder can be told from a place between two moved rows. Returns how many.
static i64 selection_mark(const Piece* piece, u8* taken, i64* block) {
    i64 count = 0, blocks = 0;
    i64 i = 0;
    while (i < piece->tree.count) {
        const GroupTreeEntry* entry = &piece->tree.data[i];
        if (entry->selected && entry->folder_begin) {
            i64 end = group_tree_folder_end(piece, i);
            for (i64 j = i; j <= end; j += 1) {
                taken[j] = 1;
                block[j] = blocks;
            }
            count += end - i + 1;
            blocks += 1;
            i = end + 1;
            continue;
        }
        if (entry->selected && !entry->folder_end) {
            taken[i] = 1;
            block[i] = blocks;
            blocks += 1;
            count += 1;
        }
        i += 1;
    }
    return count;
}

// Per-row scratch for the operations, in POOL_TMP; null when the pool refuses.
static bool scratch_rows(const Piece* piece, u8** taken, i64** block) {
    i64 count = piece->tree.count > 0 ? piece->tree.count : 1;
    *taken = (u8*)pool_alloc_zero(POOL_TMP, count);
    *block = (i64*)pool_alloc_zero(POOL_TMP, count * (i64)sizeof(i64));
    return *taken && *block;
}

static bool id_listed(const PoolArray<i64>* ids, i64 id) {
    for (i64 i = 0; i < ids->count; i += 1)
        if (ids->data[i] == id) return true;
    return false;
}

i64 group_id_take(Piece* piece) {
    // Tree ids are 32-bit: ids beyond that cannot meet a new one, and a new one must fit.
    const i64 limit = INT32_MAX;
    i64 next = piece->next_group_id > 0 ? piece->next_group_id : 0;
    for (i64 i = 0; i < piece->groups.count; i += 1) {
        i64 id = piece->groups.data[i].id;
        if (id >= next && id < limit) next = id + 1;
    }
    for (i64 i = 0; i < piece->tree.count; i += 1) {
        i64 id = piece->tree.data[i].id;
        if (id >= next && id < limit) next = id + 1;
    }
    // Objects may name a group that has no row (the editor's fallback group 0, a file's
    // leftovers): a new group must not adopt them.
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(piece, kind);
        for (i64 i = 0; i < list.count; i += 1) {
            i64 id = object_list_get(list, i)->group_id;
            if (id >= next && id < limit) next = id + 1;
        }
    }
    if (next >= limit) return -1;
    piece->next_group_id = next + 1;
    return next;
}

static void select_only(Piece* piece, i64 index) {
    for (i64 i = 0; i < piece->tree.count; i += 1) piece->tree.data[i].selected = i == index;
}

i64 group_list_new_group(Piece* piece) {
    i64 id = group_id_take(piece);
    if (id < 0) return -1;
    piece->next_group_id = id;  // piece_group_add takes the counter and advances it
    if (piece_group_add(piece, STR("new group")) < 0) return -1;
    i64 index = piece->tree.count - 1;
    select_only(piece, index);
    piece->modified = 1;
    return index;
}

i64 group_list_new_folder(Piece* piece) {
    i64 id = group_id_take(piece);
    if (id < 0 || !array_reserve(&piece->tree, piece->tree.count + 2)) return -1;
    GroupTreeEntry row = {};
    for (i32 c = 0; c < 4; c += 1) row.color[c] = g_theme.directory_color[c];
    row.id = (i32)id;
    row.name = str_copy(piece->pool, STR("new folder"));
    row.folder_begin = 1;  // and collapsed: expanded stays 0
    array_push(&piece->tree, row);
    row.folder_begin = 0;
    row.folder_end = 1;
    row.name = Str{0, 0};
    array_push(&piece->tree, row);
    i64 index = piece->tree.count - 2;
    select_only(piece, index);
    piece->modified = 1;
    return index;
}

// The group ids that the selection reaches: selected group rows and every group row inside
// a selected folder, each once. In POOL_TMP.
static PoolArray<i64> selected_group_ids(const Piece* piece) {
    PoolArray<i64> ids;
    array_init(&ids, POOL_TMP);
    u8* taken;
    i64* block;
    if (!scratch_rows(piece, &taken, &block)) return ids;
    selection_mark(piece, taken, block);
    for (i64 i = 0; i < piece->tree.count; i += 1) {
        const GroupTreeEntry* entry = &piece->tree.data[i];
        if (taken[i] && is_group_row(entry) && !id_listed(&ids, entry->id))
            array_push(&ids, (i64)entry->id);
    }
    return ids;
}

static void row_alpha_follow(Piece* piece, i64 id) {
    const Group* group = group_find(piece, id);
    if (!group) return;
    for (i64 i = 0; i < piece->tree.count; i += 1) {
        GroupTreeEntry* entry = &piece->tree.data[i];
        if (is_group_row(entry) && entry->id == id) entry->color[3] = group->visible ? 1.0f : 0.5f;
    }
}

void group_list_toggle_visibility(Piece* piece) {
    PoolArray<i64> ids = selected_group_ids(piece);
    for (i64 i = 0; i < ids.count; i += 1) {
        Group* group = group_find(piece, ids.data[i]);
        if (!group) continue;
        group->visible = group->visible ? 0 : 1;
        row_alpha_follow(piece, ids.data[i]);
        piece->modified = 1;
    }
}

template <typename T>
static void objects_of_group_remove(PoolArray<T>* list, i64 group) {
    i64 kept = 0;
    for (i64 i = 0; i < list->count; i += 1) {
        if (list->data[i].header.group_id == group) continue;
        if (kept != i) memcpy((void*)&list->data[kept], (const void*)&list->data[i], sizeof(T));
        kept += 1;
    }
    list->count = kept;
}

// The group, and every object in it, leave the piece. Panels bound to those objects find
// nothing from now on and draw nothing.
static void group_delete(Piece* piece, i64 id) {
    for (i64 i = 0; i < piece->groups.count; i += 1) {
        if (piece->groups.data[i].id == id) {
            array_remove(&piece->groups, i);
            break;
        }
    }
#define REMOVE(NAME, name, Type, list) objects_of_group_remove(&piece->list, id);
    OBJECT_KINDS(REMOVE)
#undef REMOVE
}

void group_list_delete_selected(Piece* piece) {
    u8* taken;
    i64* block;
    if (!scratch_rows(piece, &taken, &block) || selection_mark(piece, taken, block) == 0) return;
    PoolArray<i64> gone;
    array_init(&gone, POOL_TMP);
    i64 kept = 0;
    for (i64 i = 0; i < piece->tree.count; i += 1) {
        GroupTreeEntry entry = piece->tree.data[i];
        if (taken[i]) {
            if (is_group_row(&entry) && !id_listed(&gone, entry.id))
                array_push(&gone, (i64)entry.id);
            continue;
        }
        piece->tree.data[kept++] = entry;
    }
    piece->tree.count = kept;
    // A group that still has a row elsewhere (a file may hold two) stays.
    for (i64 g = 0; g < gone.count; g += 1) {
        bool still_shown = false;
        for (i64 i = 0; i < piece->tree.count; i += 1)
            if (is_group_row(&piece->tree.data[i]) && piece->tree.data[i].id == gone.data[g])
                still_shown = true;
        if (!still_shown) group_delete(piece, gone.data[g]);
    }
    piece->modified = 1;
}

bool group_list_move_selected(Piece* piece, i64 before) {
    i64 count = piece->tree.count;
    if (before < 0) before = 0;
    if (before > count) before = count;
    u8* taken;
    i64* block;
    if (!scratch_rows(piece, &taken, &block)) return false;
    i64 moved = selection_mark(piece, taken, block);
    if (moved == 0) return false;
    // Between two rows of one moved folder: the folder cannot go inside itself.
    if (before > 0 && before < count && taken[before - 1] && taken[before] &&
        block[before - 1] == block[before])
        return false;
    GroupTreeEntry* order =
        (GroupTreeEntry*)pool_alloc(POOL_TMP, count * (i64)sizeof(GroupTreeEntry));
    if (!order) return false;
    i64 at = 0;
    for (i64 i = 0; i < before; i += 1)
        if (!taken[i]) order[at++] = piece->tree.data[i];
    for (i64 i = 0; i < count; i += 1)
        if (taken[i]) order[at++] = piece->tree.data[i];
    for (i64 i = before; i < count; i += 1)
        if (!taken[i]) order[at++] = piece->tree.data[i];
    bool same = memcmp((const void*)order, (const void*)piece->tree.data,
                       (size_t)count * sizeof(GroupTreeEntry)) == 0;
    memcpy((void*)piece->tree.data, (const void*)order, (size_t)count * sizeof(GroupTreeEntry));
    if (!same) piece->modified = 1;
    return true;
}

// ---------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------
GroupListLayout group_list_layout(Rect c) {
    f32 s = g_theme.scale, o = g_theme.offset;
    GroupListLayout layout;
    for (i32 i = 0; i < 4; i += 1)
        layout.buttons[i] = Rect{c.x + o + (f32)i * (s + o / 2), c.y + o, s, s};
    layout.rename = Rect{c.x + o, c.y + 2 * o + s, c.width - 2 * o, s};
    f32 list_height = c.height - 2 * s - 4 * o;
    layout.list =
        Rect{c.x + o, c.y + 3 * o + 2 * s, c.width - 2 * o, list_height > 0 ? list_height : 0};
    return layout;
}

static f32 row_size() { return g_theme.row_size > 0 ? g_theme.row_size : g_theme.scale; }
static f32 icon_size() { return g_theme.icon_size > 0 ? g_theme.icon_size : 0.75f * g_theme.scale; }

// One shown row: its tree index and nesting depth (1 outside any folder). An end row
// stands at its folder's depth, under the folder's toggle.
struct ShownRow {
    i64 index;
    i32 depth;
};

// The rows not hidden by a collapsed folder, in order, in POOL_TMP.
static PoolArray<ShownRow> shown_rows(const Piece* piece) {
    PoolArray<ShownRow> rows;
    array_init(&rows, POOL_TMP);
    i32 open = 0;
    i32 hidden_below = -1;  // folder level whose contents are hidden, -1 for none
    for (i64 i = 0; i < piece->tree.count; i += 1) {
        const GroupTreeEntry* entry = &piece->tree.data[i];
        bool shown = hidden_below < 0;
        i32 depth = open + 1;
        if (entry->folder_begin) {
            open += 1;
            if (shown && !entry->expanded) hidden_below = open;
        } else if (entry->folder_end && open > 0) {
            depth = open;
            if (hidden_below == open) hidden_below = -1;
            open -= 1;
        }
        if (shown && !array_push(&rows, ShownRow{i, depth})) break;
    }
    return rows;
}

struct RowPlace {
    f32 x;       // where the row's icon starts, after the indentation and toggle column
    f32 bottom;  // the row spans bottom .. bottom + row size
};

static RowPlace row_place(const GroupListLayout* layout, const GroupListPanel* panel, i64 shown,
                          i32 depth) {
    f32 top = layout->list.y + layout->list.height + panel->scroll - (f32)shown * row_size();
    f32 x = layout->list.x + (f32)(depth - 1) * g_theme.row_offset + icon_size();
    return RowPlace{x, top - row_size()};
}

static Rect toggle_rect(RowPlace place) {
    f32 side = icon_size();
    return Rect{place.x - side, place.bottom + (row_size() - side) / 2, side, side};
}

// The shown row under the mouse, -1 for none (also outside the list area).
static i64 shown_row_at(const GroupListLayout* layout, const GroupListPanel* panel, i64 count,
                        f32 mx, f32 my) {
    if (!rect_contains(layout->list, mx, my)) return -1;
    f32 from_top = layout->list.y + layout->list.height + panel->scroll - my;
    i64 row = (i64)math_floor((f64)(from_top / row_size()));
    return row >= 0 && row < count ? row : -1;
}

// Where dragged rows would go for a mouse height: the upper half of a row puts them before
// it, the lower half after it. After an open folder's row is first inside that folder; after
// a closed one, past its end row; an end row's upper half is still inside its folder and
// its lower half outside. Above every row is the top, below every row the end.
static i64 drop_index_at(const GroupListLayout* layout, const GroupListPanel* panel,
                         const PoolArray<ShownRow>* rows, f32 my, f32* line_y) {
    f32 rs = row_size();
    f32 top = layout->list.y + layout->list.height + panel->scroll;
    f32 from_top = top - my;
    if (rows->count == 0 || from_top < 0) {
        *line_y = top;
        return 0;
    }
    i64 shown = (i64)math_floor((f64)(from_top / rs));
    if (shown >= rows->count) {
        *line_y = top - (f32)rows->count * rs;
        return g_piece.tree.count;
    }
    const ShownRow row = rows->data[shown];
    bool upper = from_top - (f32)shown * rs < rs / 2;
    *line_y = top - (f32)(shown + (upper ? 0 : 1)) * rs;
    if (upper) return row.index;
    const GroupTreeEntry* entry = &g_piece.tree.data[row.index];
    if (entry->folder_begin && !entry->expanded)
        return group_tree_folder_end(&g_piece, row.index) + 1;
    return row.index + 1;
}

// ---------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------
static void rows_press(GroupListPanel* panel, const GroupListLayout* layout,
                       const PoolArray<ShownRow>* rows, bool* focus_rename) {
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    i64 shown = shown_row_at(layout, panel, rows->count, mx, my);
    bool control = input_key_is_held(KEY_CONTROL), shift = input_key_is_held(KEY_SHIFT);
    Piece* piece = &g_piece;
    if (shown < 0 || piece->tree.data[rows->data[shown].index].folder_end) {
        // Empty space (or a folder's closing bar): a plain press lets go of the selection.
        if (!control && !shift) select_only(piece, -1);
        return;
    }
    ShownRow row = rows->data[shown];
    GroupTreeEntry* entry = &piece->tree.data[row.index];
    RowPlace place = row_place(layout, panel, shown, row.depth);
    if (entry->folder_begin && rect_contains(toggle_rect(place), mx, my)) {
        panel->toggle_row = row.index;
        panel->toggle_id = entry->id;
        return;
    }

    f64 dx = (f64)mx - panel->press_x, dy = (f64)my - panel->press_y;
    panel->double_clicked = dx * dx + dy * dy <= 500.0 && panel->double_click_timer > 0.0f;
    if (!panel->double_clicked)
        panel->double_click_timer =
            g_theme.double_click_time > 0 ? g_theme.double_click_time : 0.5f;
    panel->press_x = mx;
    panel->press_y = my;

    panel->press_keeps_others = 0;
    if (control) {
        entry->selected = entry->selected ? 0 : 1;
    } else if (shift) {
        i64 first = -1, last = -1;
        for (i64 i = 0; i < piece->tree.count; i += 1) {
            if (!piece->tree.data[i].selected) continue;
            if (first < 0) first = i;
            last = i;
        }
        i64 from = row.index, to = row.index;
        if (first >= 0 && first < row.index)
            from = first;
        else if (last > row.index)
            to = last;
        for (i64 i = from; i <= to; i += 1)
            if (!piece->tree.data[i].folder_end) piece->tree.data[i].selected = 1;
    } else if (!entry->selected) {
        select_only(piece, row.index);
    } else {
        panel->press_keeps_others = 1;
    }
    panel->pressed_on_row = 1;
    panel->press_row = row.index;
    panel->press_id = entry->id;

    if (panel->double_clicked) {
        if (entry->folder_begin)
            entry->expanded = entry->expanded ? 0 : 1;
        else
            *focus_rename = true;
    }
}

static bool press_row_alive(const GroupListPanel* panel) {
    return panel->press_row >= 0 && panel->press_row < g_piece.tree.count &&
           g_piece.tree.data[panel->press_row].id == panel->press_id;
}

static void rows_input(GroupListPanel* panel, const GroupListLayout* layout, bool* focus_rename) {
    PoolArray<ShownRow> rows = shown_rows(&g_piece);
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    if (interaction_allowed() && input_mouse_is_pressed(MOUSE_LEFT) &&
        rect_contains(layout->list, mx, my))
        rows_press(panel, layout, &rows, focus_rename);

    if (panel->pressed_on_row && !panel->dragging && input_mouse_is_held(MOUSE_LEFT)) {
        f64 dx = (f64)mx - panel->press_x, dy = (f64)my - panel->press_y;
        if (dx * dx + dy * dy >= 64.0) panel->dragging = 1;
    }
    f32 line_y = 0;
    if (panel->dragging) panel->drop_index = drop_index_at(layout, panel, &rows, my, &line_y);

    if (!input_mouse_is_released(MOUSE_LEFT)) return;
    if (panel->dragging) {
        group_list_move_selected(&g_piece, panel->drop_index);
    } else if (panel->pressed_on_row && panel->press_keeps_others && press_row_alive(panel)) {
        select_only(&g_piece, panel->press_row);
    }
    if (panel->toggle_row >= 0 && panel->toggle_row < g_piece.tree.count &&
        g_piece.tree.data[panel->toggle_row].id == panel->toggle_id) {
        // Flipped only when released on the same icon.
        for (i64 s = 0; s < rows.count; s += 1) {
            if (rows.data[s].index != panel->toggle_row) continue;
            RowPlace place = row_place(layout, panel, s, rows.data[s].depth);
            GroupTreeEntry* folder = &g_piece.tree.data[panel->toggle_row];
            if (rect_contains(toggle_rect(place), mx, my))
                folder->expanded = folder->expanded ? 0 : 1;
        }
    }
    panel->toggle_row = -1;
    panel->pressed_on_row = 0;
    panel->dragging = 0;
}

// The wheel moves the list 72 units a notch while the mouse is over it and there is more
// than fits; the offset always stays within 0 .. content - area.
static void rows_scroll(GroupListPanel* panel, const GroupListLayout* layout, bool wheel) {
    PoolArray<ShownRow> rows = shown_rows(&g_piece);
    panel->content_height = (f32)rows.count * row_size();
    f32 area = layout->list.height;
    if (wheel && interaction_allowed() &&
        rect_contains(layout->list, g_ui.mouse_x, g_ui.mouse_y) && panel->content_height > area)
        panel->scroll -= (f32)input_mouse_wheel() * 72.0f;
    f32 most = panel->content_height - area;
    if (panel->scroll > most) panel->scroll = most;
    if (!(panel->scroll > 0)) panel->scroll = 0;
}

// The single selected row the rename field edits (end rows have no name), or -1.
static i64 rename_target() {
    i64 found = -1;
    for (i64 i = 0; i < g_piece.tree.count; i += 1) {
        const GroupTreeEntry* entry = &g_piece.tree.data[i];
        if (!entry->selected || entry->folder_end) continue;
        if (found >= 0) return -1;
        found = i;
    }
    return found;
}

static void rename_field(GroupListPanel* panel, const GroupListLayout* layout, bool focus) {
    i64 row = rename_target();
    if (row < 0) {
        panel->rename_row = -1;
        panel->rename.focused = 0;
        return;
    }
    GroupTreeEntry* entry = &g_piece.tree.data[row];
    bool rebound = row != panel->rename_row || entry->id != panel->rename_id ||
                   entry->folder_begin != panel->rename_folder;
    // The field shows the row's name unless the user's edit is what the name already is;
    // so a name changed elsewhere (another piece opened, a row moved) is shown, never
    // overwritten by stale text.
    if (rebound || !str_equal(entry->name, text_field_text(&panel->rename))) {
        if (rebound) panel->rename.focused = 0;
        text_field_set_text(&panel->rename, entry->name);
        panel->rename_row = row;
        panel->rename_id = entry->id;
        panel->rename_folder = entry->folder_begin;
    }
    text_field(&panel->rename, layout->rename);
    if (focus) {
        panel->rename.focused = 1;
        panel->rename.anchor = 0;
        panel->rename.caret = (i32)panel->rename.text.count;
    }
    if (!panel->rename.changed) return;
    Str name = text_field_text(&panel->rename);
    Str copy = str_copy(g_piece.pool, name);
    if (name.length > 0 && copy.length == 0) return;  // the pool refused: keep the old name
    g_piece.tree.data[row].name = copy;
    g_piece.modified = 1;
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------
static void rows_draw(GroupListPanel* panel, const GroupListLayout* layout) {
    PoolArray<ShownRow> rows = shown_rows(&g_piece);
    const f32 clip[4] = {layout->list.x, layout->list.y, layout->list.width, layout->list.height};
    u32 white = g_textures.ids[TEXTURE_WHITE];
    Font* font = g_theme.font ? g_theme.font : font_default();
    f32 rs = row_size();
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    i64 hovered = interaction_allowed() ? shown_row_at(layout, panel, rows.count, mx, my) : -1;
    bool held = input_mouse_is_held(MOUSE_LEFT);
    f32 list_right = layout->list.x + layout->list.width;

    for (i64 s = 0; s < rows.count; s += 1) {
        const GroupTreeEntry* entry = &g_piece.tree.data[rows.data[s].index];
        RowPlace place = row_place(layout, panel, s, rows.data[s].depth);
        if (place.bottom + rs < layout->list.y ||
            place.bottom > layout->list.y + layout->list.height)
            continue;
        f32 full_x = layout->list.x, full_w = layout->list.width;
        if (entry->selected && !entry->folder_end)
            draw_rect_clipped(white, g_theme.selection_color, full_x, place.bottom, full_w, rs,
                              clip, UV_FULL);
        if (entry->folder_end) {
            f32 bar = g_theme.row_offset;
            f32 left = place.x - icon_size();
            draw_rect_clipped(white, entry->color, left, place.bottom + (rs - bar) / 2,
                              list_right - left, bar, clip, UV_FULL);
        } else {
            if (entry->folder_begin) {
                Rect toggle = toggle_rect(place);
                u32 texture =
                    entry->expanded ? g_theme.folder_open_texture : g_theme.folder_closed_texture;
                if (!texture)
                    texture =
                        g_textures.ids[entry->expanded ? TEXTURE_MINIMIZE : TEXTURE_MAXIMIZE2];
                draw_rect_clipped(texture, g_theme.text_color, toggle.x, toggle.y, toggle.width,
                                  toggle.height, clip, UV_FULL);
                bool on_toggle = s == hovered && rect_contains(toggle, mx, my);
                if (on_toggle && panel->toggle_row == rows.data[s].index && held)
                    draw_rect_clipped(white, g_theme.pressed_color, toggle.x, toggle.y,
                                      toggle.width, toggle.height, clip, UV_FULL);
                else if (on_toggle && !held)
                    draw_rect_clipped(white, g_theme.hover_color, toggle.x, toggle.y, toggle.width,
                                      toggle.height, clip, UV_FULL);
            }
            bool folder = entry->folder_begin || entry->folder_end;
            u32 icon = g_textures.ids[folder ? TEXTURE_STAR3D : TEXTURE_SPHERE];
            draw_rect_clipped(icon, entry->color, place.x, place.bottom, rs, rs, clip, UV_FULL);
            draw_string_clipped(font, g_theme.text_color, clip, entry->name,
                                place.x + rs + g_theme.text_offset, place.bottom + rs / 2,
                                g_theme.text_scale, g_theme.text_scale);
        }
        if (s == hovered && panel->toggle_row < 0) {
            bool pressed_here =
                held && panel->pressed_on_row && panel->press_row == rows.data[s].index;
            if (pressed_here)
                draw_rect_clipped(white, g_theme.pressed_color, full_x, place.bottom, full_w, rs,
                                  clip, UV_FULL);
            else if (!held)
                draw_rect_clipped(white, g_theme.hover_color, full_x, place.bottom, full_w, rs,
                                  clip, UV_FULL);
        }
    }

    if (panel->dragging) {
        f32 line_y = 0;
        drop_index_at(layout, panel, &rows, my, &line_y);
        draw_rect_clipped(white, g_theme.cursor_color, layout->list.x, line_y - 1,
                          layout->list.width, 2, clip, UV_FULL);
    }
}

// ---------------------------------------------------------------------------
// The panel
// ---------------------------------------------------------------------------
void* group_list_panel_create() {
    GroupListPanel* panel = (GroupListPanel*)pool_alloc_zero(POOL_MAIN, sizeof(GroupListPanel));
    if (!panel) return 0;
    panel->rename.single_line = 1;
    panel->press_row = -1;
    panel->toggle_row = -1;
    panel->rename_row = -1;
    panel->drop_index = -1;
    return panel;
}

void group_list_panel(Panel* owner, Rect content) {
    GroupListPanel* panel = (GroupListPanel*)owner->content;
    GroupListLayout layout = group_list_layout(content);
    panel->double_click_timer -= (f32)g_ui.frame_seconds;
    if (panel->double_click_timer < 0) panel->double_click_timer = 0;

    rows_scroll(panel, &layout, true);
    bool focus_rename = false;
    rows_input(panel, &layout, &focus_rename);

    const u32* ids = g_textures.ids;
    icon_button(&panel->new_group, layout.buttons[0], ids[TEXTURE_MAXIMIZE2], g_theme.group_color);
    icon_button(&panel->new_folder, layout.buttons[1], ids[TEXTURE_STAR3D],
                g_theme.directory_color);
    icon_button(&panel->visibility, layout.buttons[2], ids[TEXTURE_EYE], g_theme.text_color);
    icon_button(&panel->remove, layout.buttons[3], ids[TEXTURE_CLOSE], g_theme.close_color);
    if (panel->new_group.clicked) group_list_new_group(&g_piece);
    if (panel->new_folder.clicked) group_list_new_folder(&g_piece);
    if (panel->visibility.clicked) group_list_toggle_visibility(&g_piece);
    if (panel->remove.clicked) group_list_delete_selected(&g_piece);

    rename_field(panel, &layout, focus_rename);
    rows_scroll(panel, &layout, false);  // the list may have shrunk: clamp again
    rows_draw(panel, &layout);
}
