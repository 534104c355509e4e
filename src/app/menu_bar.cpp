// The menu bar along the top of the window: 23 toolbar buttons (the ten object kinds only
// in place mode), smaller when the window is too narrow for all of them, drawn behind
// their own input gate, and what their clicks and the file
// and history shortcuts (control + n, o, s, z) do once everything is drawn. Main thread,
// in the frame.
#include "app/menu_bar.h"

#include <string.h>

#include "app/app.h"
#include "app/document.h"
#include "app/frame.h"
#include "app/frame_question.h"
#include "editor/editor.h"
#include "gfx/renderer.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "model/history.h"
#include "model/piece.h"
#include "panels/entry_panels.h"
#include "panels/file_panel.h"
#include "platform/system.h"
#include "sound/playback.h"
#include "ui/interaction.h"
#include "ui/panels.h"

struct KindButton {
    u8 kind;
    TextureSlot texture;
    const f32* color;
};

// The kinds in the order of their buttons, each with its icon and object colour.
static void kind_buttons(KindButton out[OBJECT_KIND_COUNT]) {
#define BUTTON(NAME, name, Type, list) \
    {OBJECT_##NAME, TEXTURE_##NAME, g_theme.name##_object_color},
    const KindButton by_kind[OBJECT_KIND_COUNT] = {OBJECT_KINDS(BUTTON)};
#undef BUTTON
    for (i32 i = 0; i < OBJECT_KIND_COUNT; i += 1) out[i] = by_kind[KIND_DISPLAY_ORDER[i]];
}

static u32 texture(TextureSlot slot) { return g_textures.ids[slot]; }

// The buttons are squares as high as the bar while they all fit; in a narrower window
// (place mode's 23 buttons need 1140 pixels at the default scale) they shrink to share
// its width, so that none is ever off screen.
static f32 menu_button_size(f32 width) {
    bool kinds = g_editor.place_mode != 0;
    i32 count = (i32)MENU_BUTTON_COUNT - (kinds ? 0 : (i32)OBJECT_KIND_COUNT);
    f32 gaps = (kinds ? 3.0f : 2.0f) * g_theme.offset;
    f32 size = (f32)math_floor((f64)((width - gaps) / (f32)count));
    f32 full = theme_menu_bar_height();
    if (!(size < full)) return full;
    return size > 1.0f ? size : 1.0f;
}

void menu_bar_draw() {
    ToolbarCursor* cursor = &g_frame.menu_cursor;
    ButtonState* b = g_frame.menu_buttons;
    Rect* r = g_frame.menu_rects;
    f32 width = (f32)g_window.width, height = (f32)g_window.height;
    cursor->size = menu_button_size(width);
    cursor->x = 0;
    f32 bar = theme_menu_bar_height();
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    interaction_push(mx >= 0 && mx < width && my >= height - bar && my < height &&
                     panels_modal_index() < 0);
    draw_rect(texture(TEXTURE_WHITE), g_theme.menu_background_color, 0, height - bar, width, bar,
              0, 0);

    r[MENU_NEW] = toolbar_button(&b[MENU_NEW], cursor, texture(TEXTURE_NEW), g_theme.new_color);
    r[MENU_OPEN] = toolbar_button(&b[MENU_OPEN], cursor, texture(TEXTURE_OPEN), g_theme.open_color);
    r[MENU_SAVE] = toolbar_button(&b[MENU_SAVE], cursor, texture(TEXTURE_SAVE), g_theme.save_color);
    r[MENU_UNDO] = toolbar_button(&b[MENU_UNDO], cursor, texture(TEXTURE_UNDO), g_theme.undo_color);
    r[MENU_REDO] = toolbar_button(&b[MENU_REDO], cursor, texture(TEXTURE_REDO), g_theme.redo_color);
    r[MENU_EXPORT] =
        toolbar_button(&b[MENU_EXPORT], cursor, texture(TEXTURE_STAR), g_theme.export_color);
    cursor->x += g_theme.offset;
    r[MENU_PLAY] = toolbar_button_switch(&b[MENU_PLAY], cursor, texture(TEXTURE_PLAY),
                                         texture(TEXTURE_PAUSE), playback_is_playing(),
                                         g_theme.play_color);
    r[MENU_STOP] =
        toolbar_button(&b[MENU_STOP], cursor, texture(TEXTURE_STOP), g_theme.close_color);
    cursor->x += g_theme.offset;
    r[MENU_ASSIGN_GROUP] = toolbar_button(&b[MENU_ASSIGN_GROUP], cursor, texture(TEXTURE_SPHERE),
                                          g_theme.group_color);
    r[MENU_MODE] = toolbar_button_switch(&b[MENU_MODE], cursor, texture(TEXTURE_SELECT_OBJECT),
                                         texture(TEXTURE_PLACE_OBJECT), g_editor.place_mode != 0,
                                         g_theme.placement_color);
    if (g_editor.place_mode) {
        KindButton kinds[OBJECT_KIND_COUNT];
        kind_buttons(kinds);
        for (i32 i = 0; i < OBJECT_KIND_COUNT; i += 1)
            r[MENU_KIND_FIRST + i] =
                toolbar_choice(&b[MENU_KIND_FIRST + i], cursor, texture(kinds[i].texture),
                               kinds[i].color, g_editor.place_kind == kinds[i].kind);
        cursor->x += g_theme.offset;
    } else {
        // Hidden buttons must not report a click made while they were shown.
        for (i32 i = 0; i < OBJECT_KIND_COUNT; i += 1) {
            memset(&b[MENU_KIND_FIRST + i], 0, sizeof(ButtonState));
            r[MENU_KIND_FIRST + i] = Rect{};
        }
    }
    r[MENU_SHOW_GROUPS] = toolbar_button(&b[MENU_SHOW_GROUPS], cursor, texture(TEXTURE_SPHERE2),
                                         g_theme.show_groups_color);
    r[MENU_SHOW_GROUP_PROPERTIES] =
        toolbar_button(&b[MENU_SHOW_GROUP_PROPERTIES], cursor, texture(TEXTURE_CONE),
                       g_theme.show_group_properties_color);
    r[MENU_SHOW_GLOBAL_PROPERTIES] =
        toolbar_button(&b[MENU_SHOW_GLOBAL_PROPERTIES], cursor, texture(TEXTURE_SETTINGS),
                       g_theme.show_global_properties_color);
    interaction_pop();
}

// The group selected in the group tree, or -1 when no group is current.
static i64 current_group() {
    for (i64 i = 0; i < g_piece.tree.count; i += 1) {
        const GroupTreeEntry* entry = &g_piece.tree[i];
        if (!entry->selected || entry->folder_begin || entry->folder_end) continue;
        if (group_find(&g_piece, entry->id)) return entry->id;
    }
    return -1;
}

static void assign_group() {
    i64 group = current_group();
    if (group < 0) return;
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(&g_piece, kind);
        for (i64 i = 0; i < list.count; i += 1) {
            ObjectHeader* object = object_list_get(list, i);
            if (!object->selected) continue;
            object->group_id = group;
            g_piece.modified = 1;
        }
    }
}

// Opens a panel of a kind shown once at most; an open one is raised instead.
static void panel_show(u8 kind, Str title, f32 x, f32 y) {
    for (i64 i = 0; i < g_panels.panels.count; i += 1) {
        if (g_panels.panels[i].kind != kind) continue;
        i64 top = g_panels.panels.count - 1;
        Panel raised = g_panels.panels[i];
        raised.collapsed = false;
        g_panels.panels[i] = g_panels.panels[top];
        g_panels.panels[top] = raised;
        return;
    }
    Panel* panel = panel_create(kind, title, x, y, 300, 400, 0);
    if (panel) panel_content_init(panel);
}

static void new_piece() {
    // With unsaved changes piece_new asks first (the save question, new-piece follow-up).
    piece_check_unsaved();
    piece_new();
}

static void open_piece() {
    if (piece_check_unsaved())
        save_question_open(FOLLOW_UP_OPEN);
    else
        file_panel_open(STR("open piece"), FILE_ACTION_OPEN);
}

// Whether the key went down this frame with control held at that press.
static bool control_pressed(i32 code) {
    for (i64 i = 0; i < input_key_press_count(); i += 1) {
        KeyPress key = input_key_press(i);
        if (key.code == code && !key.repeat && (key.modifiers & MODIFIER_CONTROL)) return true;
    }
    return false;
}

// Control + z undoes, with shift it redoes, once for each press and in their order; not
// while a text field has the keyboard (its own text is what the user edits there) nor
// while a render reads the piece.
// Panels bound to objects by id could name other objects, or none, once the piece is read
// over, so they close.
static void history_step(bool forward) {
    if (forward ? history_redo() : history_undo()) panels_close_piece_bound();
}

static void history_actions(const ButtonState* b) {
    if (playback_is_waiting()) return;
    if (b[MENU_UNDO].clicked) history_step(false);
    if (b[MENU_REDO].clicked) history_step(true);
    if (!g_ui.keyboard_free) return;
    for (i64 i = 0; i < input_key_press_count(); i += 1) {
        KeyPress key = input_key_press(i);
        if (key.code != KEY_LETTER('z') || key.repeat || !(key.modifiers & MODIFIER_CONTROL))
            continue;
        history_step((key.modifiers & MODIFIER_SHIFT) != 0);
    }
}

void menu_bar_actions() {
    // A waiting question is answered first; its buttons and shortcuts wait with it.
    if (panels_modal_index() >= 0) return;
    const ButtonState* b = g_frame.menu_buttons;
    history_actions(b);
    if (b[MENU_NEW].clicked || control_pressed(KEY_LETTER('n'))) new_piece();
    if (b[MENU_OPEN].clicked || control_pressed(KEY_LETTER('o'))) open_piece();
    if (b[MENU_SAVE].clicked || control_pressed(KEY_LETTER('s'))) piece_save(0, 0);
    if (b[MENU_EXPORT].clicked) file_panel_open(STR("export data"), FILE_ACTION_EXPORT);
    if (b[MENU_PLAY].clicked) playback_play_pause();
    if (b[MENU_STOP].clicked) playback_stop();
    if (b[MENU_ASSIGN_GROUP].clicked) assign_group();
    if (b[MENU_MODE].clicked) g_editor.place_mode = g_editor.place_mode ? 0 : 1;
    KindButton kinds[OBJECT_KIND_COUNT];
    kind_buttons(kinds);
    for (i32 i = 0; i < OBJECT_KIND_COUNT; i += 1)
        if (b[MENU_KIND_FIRST + i].clicked) g_editor.place_kind = kinds[i].kind;
    f32 right = (f32)g_window.width - 310;
    if (b[MENU_SHOW_GROUPS].clicked) panel_show(PANEL_GROUPS, STR("group"), 10, 400);
    if (b[MENU_SHOW_GROUP_PROPERTIES].clicked)
        panel_show(PANEL_GROUP_PROPERTIES, STR("group properties"), right, 10);
    if (b[MENU_SHOW_GLOBAL_PROPERTIES].clicked)
        panel_show(PANEL_GLOBAL_PROPERTIES, STR("global properties"), right, 10);
}
