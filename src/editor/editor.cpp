// The editor step: the keys of both modes, the select mode (click, box and overlap
// selection, the per-object commands, deletion, the wheel highlight, duplication, auditions
// and properties panels) and the place mode (the cursor and new objects from the
// templates). Owns g_editor. Main thread, once per frame after the panels.
#include "editor/editor.h"

#include <string.h>

#include "base/format.h"
#include "editor/object_commands.h"
#include "editor/score_view.h"
#include "gfx/resources.h"
#include "gfx/theme.h"
#include "panels/object_panels.h"
#include "platform/system.h"
#include "sound/playback.h"
#include "ui/interaction.h"
#include "ui/panels.h"

EditorState g_editor;

void editor_reset() { memset((void*)&g_editor, 0, sizeof(g_editor)); }

// ---------------------------------------------------------------------------
// Templates and placing
// ---------------------------------------------------------------------------
static Curve template_curve(Fraction minimum, Fraction maximum, i64 resolution, Fraction x,
                            Fraction y) {
    Curve curve;
    curve_init(&curve, POOL_MAIN);
    curve.minimum = minimum;
    curve.maximum = maximum;
    curve.resolution = resolution;
    // The handle length of a point added at the camera's initial zoom of 10.
    curve_point_insert_with_handle(&curve, x, y, curve_handle_length(10.0f));
    return curve;
}

static void template_header(ObjectHeader* header, u8 kind) {
    memset((void*)header, 0, sizeof(*header));
    header->kind = kind;
    header->visible = 1;
    header->duration = Fraction{1, 1};
    header->pitch = Fraction{1, 1};
}

void templates_init() {
    EditorState* e = &g_editor;
    const Fraction zero = {0, 1};
    template_header(&e->note_template.header, OBJECT_NOTE);
    e->note_template.draw_size = 1.0f;

    template_header(&e->key_template.header, OBJECT_KEY);
    e->key_template.reference_frequency = 440.0;
    e->key_template.key_name = str_copy(POOL_MAIN, STR("key"));
    array_init(&e->key_template.classes, POOL_MAIN);
    array_init(&e->key_template.pitches, POOL_MAIN);

    template_header(&e->measure_template.header, OBJECT_MEASURE);
    e->measure_template.bar_length = Fraction{4, 1};
    memcpy(e->measure_template.bar_color, g_theme.measure_object_color, sizeof(f32) * 4);
    e->measure_template.bar_color[3] = 0.3f;

    template_header(&e->tempo_template.header, OBJECT_TEMPO);
    e->tempo_template.tempo =
        template_curve(Fraction{30, 1}, Fraction{240, 1}, 1, zero, Fraction{120, 1});

    template_header(&e->text_template.header, OBJECT_TEXT);
    e->text_template.font = font_default();
    memcpy(e->text_template.color, g_theme.text_object_color, sizeof(f32) * 4);
    e->text_template.text = str_copy(POOL_MAIN, STR("text"));
    e->text_template.size = 32.0;
    e->text_template.align_x = -1.0f;
    e->text_template.align_y = 0.0f;

    template_header(&e->volume_template.header, OBJECT_VOLUME);
    e->volume_template.volume = template_curve(zero, Fraction{2, 1}, 100, zero, Fraction{1, 1});
    e->volume_template.pan = template_curve(Fraction{-1, 1}, Fraction{1, 1}, 100, zero, zero);

    template_header(&e->pitch_template.header, OBJECT_PITCH);
    e->pitch_template.pitch =
        template_curve(Fraction{1, 2}, Fraction{2, 1}, 1000, zero, Fraction{1, 1});
    e->pitch_template.pitch.logarithmic = 1;

    template_header(&e->sound_template.header, OBJECT_SOUND);
    e->sound_template.wave_names[0] = str_copy(POOL_MAIN, STR("sine"));
    e->sound_template.wave_count = 1;
    e->sound_template.visible = 1;
    e->sound_template.editable = 1;
    for (i32 i = 0; i < SOUND_MAX_WAVES - 1; i += 1)
        e->sound_template.blend[i] = template_curve(zero, Fraction{1, 1}, 100, zero, zero);

    template_header(&e->shape_template.header, OBJECT_SHAPE);
    e->shape_template.time_offset = 0.0;

    template_header(&e->repeat_template.header, OBJECT_REPEAT);
    e->repeat_template.start = zero;
    e->repeat_template.end = zero;
    e->repeat_template.count = 1;

    e->selected_duration = Fraction{1, 1};
    e->cursor_time = zero;
    e->cursor_pitch = Fraction{1, 1};
}

i64 editor_current_group() {
    for (i64 i = 0; i < g_piece.tree.count; i += 1) {
        const GroupTreeEntry* entry = &g_piece.tree.data[i];
        if (entry->selected && !entry->folder_begin && !entry->folder_end) return entry->id;
    }
    return 0;
}

ObjectHeader* editor_template(u8 kind) {
    switch (kind) {
#define TEMPLATE(NAME, name, Type, list) \
    case OBJECT_##NAME: return &g_editor.name##_template.header;
        OBJECT_KINDS(TEMPLATE)
#undef TEMPLATE
        default: return 0;
    }
}

void editor_placement_header(ObjectHeader* header) {
    header->time = g_editor.cursor_time;
    header->duration = g_editor.selected_duration;
    header->pitch = g_editor.cursor_pitch;
    header->group_id = editor_current_group();
    bool local = header->kind == OBJECT_SOUND || header->kind == OBJECT_SHAPE ||
                 header->kind == OBJECT_VOLUME || header->kind == OBJECT_PITCH;
    header->scope = local ? SCOPE_LOCAL : SCOPE_GLOBAL;
}

ObjectHeader* editor_place(u8 kind) {
    ObjectHeader* source = editor_template(kind);
    if (!source) return 0;
    alignas(16) u8 record[OBJECT_MAX_SIZE];
    memcpy(record, (const void*)source, (size_t)object_size(kind));
    ObjectHeader* header = (ObjectHeader*)record;
    editor_placement_header(header);
    header->visible = 1;
    header->selected = header->removed = header->highlight = header->mark = 0;
    if (kind == OBJECT_KEY) {
        // The key definitions load after the templates, so the scale is looked up here.
        KeyObject* key = (KeyObject*)record;
        const KeyDefinition* definition = key_by_name(key->key_name);
        if (definition) {
            key->classes = definition->classes;
            key->pitches = definition->pitches;
        }
    } else if (kind == OBJECT_NOTE) {
        const Group* group = group_find(&g_piece, header->group_id);
        ((NoteObject*)record)->draw_size = group ? (f32)group->size : 1.0f;
    }
    ObjectHeader* added = piece_object_add(&g_piece, header);
    if (added) g_piece.modified = 1;
    return added;
}

// ---------------------------------------------------------------------------
// Keys of both modes
// ---------------------------------------------------------------------------
// The key commands run once for each press of the frame, in the order pressed, with the
// modifiers held at that press: a slow frame gathers several presses, and every one of
// them moves the cursor or edits the piece. This is the press being handled.
static KeyPress s_press;

static bool pressed(i32 code) { return s_press.code == code; }
static bool control_held() { return (s_press.modifiers & MODIFIER_CONTROL) != 0; }

static void duration_keys() {
    Fraction* d = &g_editor.selected_duration;
    bool control = control_held();
    // Digits 1 to 5 choose 4, 2, 1, 1/2 and 1/4 beats, or add them with control.
    const Fraction lengths[5] = {{4, 1}, {2, 1}, {1, 1}, {1, 2}, {1, 4}};
    if (pressed(KEY_DIGIT(0)) && !control) *d = Fraction{0, 1};
    for (i32 i = 0; i < 5; i += 1)
        if (pressed(KEY_DIGIT(i + 1))) *d = control ? fraction_add(*d, lengths[i]) : lengths[i];
    if (pressed(KEY_DIGIT(6))) *d = fraction_mul(*d, control ? Fraction{2, 3} : Fraction{1, 3});
    if (pressed(KEY_DIGIT(7))) *d = fraction_mul(*d, Fraction{3, 1});
    if (pressed(KEY_DIGIT(8))) *d = fraction_mul(*d, Fraction{1, 2});
    if (pressed(KEY_DIGIT(9))) *d = fraction_mul(*d, Fraction{2, 1});
}

static f64 note_height(const NoteObject* note) {
    const Group* group = group_find(&g_piece, note->header.group_id);
    return group ? group->size : 1.0;
}

// Every note that overlaps an earlier note of the list (strictly, on all four sides)
// becomes selected.
static void select_overlapping_notes() {
    PoolArray<NoteObject>* notes = &g_piece.notes;
    for (i64 j = 1; j < notes->count; j += 1) {
        const ObjectHeader* b = &notes->data[j].header;
        f64 b_left = fraction_to_double(b->time);
        f64 b_right = fraction_to_double(fraction_add(b->time, b->duration));
        f64 b_bottom = pitch_to_y(b->pitch);
        f64 b_top = b_bottom + note_height(&notes->data[j]);
        for (i64 i = 0; i < j; i += 1) {
            const ObjectHeader* a = &notes->data[i].header;
            f64 a_left = fraction_to_double(a->time);
            f64 a_right = fraction_to_double(fraction_add(a->time, a->duration));
            f64 a_bottom = pitch_to_y(a->pitch);
            f64 a_top = a_bottom + note_height(&notes->data[i]);
            if (a_left < b_right && b_left < a_right && a_bottom < b_top && b_bottom < a_top) {
                notes->data[j].header.selected = 1;
                break;
            }
        }
    }
}

// p: play from the cursor's time in place mode, from the earliest selected object in
// select mode (from the cursor when nothing is selected).
static void play_from_here() {
    Fraction from = g_editor.cursor_time;
    if (!g_editor.place_mode && g_editor.selection.count > 0) {
        from = g_editor.selection[0]->time;
        for (i64 i = 1; i < g_editor.selection.count; i += 1)
            if (fraction_less(g_editor.selection[i]->time, from)) from = g_editor.selection[i]->time;
    }
    playback_play_from(from);
}

static void common_keys() {
    EditorState* e = &g_editor;
    if (pressed(KEY_TAB)) e->place_mode = !e->place_mode;
    if (pressed(KEY_F5)) select_overlapping_notes();
    if (pressed(KEY_LETTER('p'))) play_from_here();
    if (e->place_mode && pressed(KEY_INSERT)) {
        piece_time_insert(&g_piece, e->cursor_time, e->selected_duration);
        g_piece.modified = 1;
    }
    if (e->place_mode && pressed(KEY_BACKSPACE)) {
        piece_time_remove(&g_piece, e->cursor_time, e->selected_duration);
        g_piece.modified = 1;
    }
    if (pressed(KEY_LETTER('b'))) {
        e->box_armed = !e->box_armed;
        Vec2f mouse = mouse_to_canvas();
        e->box_start_x = mouse.x;
        e->box_start_y = mouse.y;
    }
    // Control + n and control + o belong to the menu bar (new piece, open).
    if (pressed(KEY_LETTER('n')) && !control_held())
        e->place_kind = (u8)((e->place_kind + OBJECT_KIND_COUNT - 1) % OBJECT_KIND_COUNT);
    if (pressed(KEY_LETTER('m'))) e->place_kind = (u8)((e->place_kind + 1) % OBJECT_KIND_COUNT);
    duration_keys();
}

// ---------------------------------------------------------------------------
// Select mode
// ---------------------------------------------------------------------------
const u8 KIND_DISPLAY_ORDER[OBJECT_KIND_COUNT] = {
    OBJECT_NOTE,  OBJECT_KEY,   OBJECT_MEASURE, OBJECT_TEMPO,  OBJECT_VOLUME,
    OBJECT_PITCH, OBJECT_SOUND, OBJECT_SHAPE,   OBJECT_REPEAT, OBJECT_TEXT,
};

static void object_remove(u8 kind, i64 index) {
    switch (kind) {
#define REMOVE(NAME, name, Type, list) \
    case OBJECT_##NAME: array_remove(&g_piece.list, index); break;
        OBJECT_KINDS(REMOVE)
#undef REMOVE
        default: break;
    }
}

static void deselect_all() {
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(&g_piece, kind);
        for (i64 i = 0; i < list.count; i += 1) object_list_get(list, i)->selected = 0;
    }
}

// Selects every visible object whose row and duration meet the box from the box start to
// the mouse.
static void box_select() {
    Vec2f mouse = mouse_to_canvas();
    f64 x0 = g_editor.box_start_x, y0 = g_editor.box_start_y;
    f64 left = x0 < mouse.x ? x0 : mouse.x, right = x0 < mouse.x ? mouse.x : x0;
    f64 bottom = y0 < mouse.y ? y0 : mouse.y, top = y0 < mouse.y ? mouse.y : y0;
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(&g_piece, kind);
        for (i64 i = 0; i < list.count; i += 1) {
            ObjectHeader* object = object_list_get(list, i);
            if (!object->visible) continue;
            f64 row = pitch_to_y(object->pitch);
            f64 start = fraction_to_double(object->time);
            f64 end = fraction_to_double(fraction_add(object->time, object->duration));
            if (row + 0.5 >= bottom && top > row - 0.5 && right > start && end >= left)
                object->selected = 1;
        }
    }
}

// The per-object steps, list by list, for one key press or (null) the mouse. An object
// marked removed is deleted at once and the object that moves into its place is stepped
// next, so none is skipped or repeated.
static void objects_step(const KeyPress* key, bool clicks) {
    for (i64 k = 0; k < OBJECT_KIND_COUNT; k += 1) {
        u8 kind = KIND_DISPLAY_ORDER[k];
        i64 index = 0;
        while (index < piece_objects(&g_piece, kind).count) {
            ObjectHeader* object = object_list_get(piece_objects(&g_piece, kind), index);
            object_step(object, key, clicks);
            if (object->removed) {
                object_remove(kind, index);
                g_piece.modified = 1;
            } else {
                index += 1;
            }
        }
    }
}

// The selection from the selected flags, in list order (POOL_TMP: this frame only). The
// select mode sets the highlights afresh; elsewhere they stay as they were.
static void selection_collect(bool highlights = false) {
    array_init(&g_editor.selection, POOL_TMP);
    for (i64 k = 0; k < OBJECT_KIND_COUNT; k += 1) {
        ObjectList list = piece_objects(&g_piece, KIND_DISPLAY_ORDER[k]);
        for (i64 i = 0; i < list.count; i += 1) {
            ObjectHeader* object = object_list_get(list, i);
            if (highlights) object->highlight = 0;
            if (object->selected) array_push(&g_editor.selection, object);
        }
    }
}

static void selection_highlight() {
    i64 count = g_editor.selection.count;
    if (g_editor.wheel_index < 0) g_editor.wheel_index = count - 1;
    if (g_editor.wheel_index >= count) g_editor.wheel_index = 0;
    if (g_editor.wheel_index < 0) g_editor.wheel_index = 0;  // nothing selected
    for (i64 i = 0; i < count; i += 1) g_editor.selection[i]->highlight = i == g_editor.wheel_index;
}

// Copies of the selected objects, appended with new ids and selected in their place;
// the originals are deselected. The lists may move, so objects are found by index. Copies
// that found no room are left out whole, and the user is told how many.
static void duplicate_selection() {
    i64 refused = 0;
    for (i64 k = 0; k < OBJECT_KIND_COUNT; k += 1) {
        u8 kind = KIND_DISPLAY_ORDER[k];
        i64 count = piece_objects(&g_piece, kind).count;
        for (i64 i = 0; i < count; i += 1) {
            ObjectHeader* object = object_list_get(piece_objects(&g_piece, kind), i);
            if (!object->selected) continue;
            object->selected = 0;
            alignas(16) u8 record[OBJECT_MAX_SIZE];
            memcpy(record, (const void*)object, (size_t)object_size(kind));
            ObjectHeader* copy = (ObjectHeader*)record;
            copy->selected = 1;
            copy->highlight = 0;
            if (piece_object_add(&g_piece, copy))
                g_piece.modified = 1;
            else
                refused += 1;
        }
    }
    if (refused == 0) return;
    const FormatArg args[] = {fa_i64(refused)};
    show_simple_message_box(
        0, STR("duplicate incomplete"),
        format_tmp(STR("not enough memory: %a of the selected objects could not be duplicated"),
                   args, ARRAY_COUNT(args)));
}

static void audition_selected_notes() {
    i64 count = 0;
    const NoteObject** notes = (const NoteObject**)pool_alloc(
        POOL_TMP, g_editor.selection.count * (i64)sizeof(NoteObject*));
    if (!notes) return;
    for (i64 i = 0; i < g_editor.selection.count; i += 1)
        if (g_editor.selection[i]->kind == OBJECT_NOTE)
            notes[count++] = (const NoteObject*)g_editor.selection[i];
    audition_notes(notes, count);
}

static void select_mode_step() {
    bool press = input_mouse_is_pressed(MOUSE_LEFT) && canvas_takes_mouse();
    if (press && !input_key_is_held(KEY_CONTROL)) deselect_all();
    bool boxed = false;
    if (g_editor.box_armed && press) {
        box_select();
        g_editor.box_armed = 0;
        boxed = true;
    }
    // The press that closes a box is not also a click on the object under the mouse,
    // which would toggle that object out of the box's selection again.
    objects_step(nullptr, !boxed);

    selection_collect(true);
    selection_highlight();

    if (input_mouse_is_pressed(MOUSE_RIGHT) && canvas_takes_mouse() &&
        g_editor.selection.count > 0) {
        for (i64 i = 0; i < g_editor.selection.count; i += 1)
            if (!g_editor.selection[i]->highlight) g_editor.selection[i]->selected = 0;
        selection_collect(true);
        selection_highlight();
    }
}

// One press in select mode: the selected objects and the picked curve points take it,
// then the selection's own keys (duplicate, transpose, audition).
static void select_mode_key() {
    objects_step(&s_press, false);
    selection_collect(true);
    selection_highlight();
    if (pressed(KEY_LETTER('c')) && g_editor.selection.count > 0) {
        duplicate_selection();
        selection_collect(true);
        selection_highlight();
    }
    // t: one entry "transpose" for the whole selection, its ratio applied on ok.
    if (pressed(KEY_LETTER('t')) && g_editor.selection.count > 0) {
        FractionBinding binding = fraction_binding_transpose_selection();
        if (binding.transpose_count > 0) fraction_entry_open(STR("transpose"), binding);
    }
    if (!pressed(KEY_SPACE) || g_editor.selection.count == 0) return;
    audition_selected_notes();
    if (g_editor.selection.count == 1)
        object_panel_open(g_editor.selection[0]->kind, g_editor.selection[0]->id);
}

// ---------------------------------------------------------------------------
// Place mode
// ---------------------------------------------------------------------------
static void place_mode_key() {
    EditorState* e = &g_editor;
    i64 group = editor_current_group();
    u32 modifiers = s_press.modifiers;
    if (pressed(KEY_LETTER('i'))) pitch_step_up(&e->cursor_pitch, e->cursor_time, group, modifiers);
    if (pressed(KEY_LETTER('k')))
        pitch_step_down(&e->cursor_pitch, e->cursor_time, group, modifiers);
    if (pressed(KEY_LETTER('l')))
        e->cursor_time = fraction_add(e->cursor_time, e->selected_duration);
    if (pressed(KEY_LETTER('j')))
        e->cursor_time = fraction_sub(e->cursor_time, e->selected_duration);
    if (pressed(KEY_LETTER('u'))) time_snap(&e->cursor_time, e->selected_duration);
    if (pressed(KEY_LETTER('o')) && !control_held())
        e->cursor_pitch = key_snap_pitch(&g_piece, e->cursor_pitch, e->cursor_time, group);
    if (pressed(KEY_LETTER('f')))
        fraction_entry_open(STR("pitch"),
                            fraction_binding_value(&e->cursor_pitch, FRACTION_FIELD_PITCH));
    if (pressed(KEY_LETTER('g')))
        fraction_entry_open(STR("time"),
                            fraction_binding_value(&e->cursor_time, FRACTION_FIELD_TIME));
    if (pressed(KEY_LETTER('h')))
        fraction_entry_open(STR("duration"), fraction_binding_value(&e->selected_duration,
                                                                    FRACTION_FIELD_DURATION));
    if (!pressed(KEY_SPACE)) return;

    ObjectHeader* added = editor_place(e->place_kind);
    if (!added) return;
    if (!control_held())
        e->cursor_time = fraction_add(e->cursor_time, e->selected_duration);
    if (added->kind == OBJECT_NOTE) {
        const NoteObject* placed[] = {(const NoteObject*)added};
        audition_notes(placed, 1);
    }
}

void editor_frame() {
    playback_frame();
    // The selection of the previous frame pointed into memory emptied since.
    array_init(&g_editor.selection, POOL_TMP);
    // A waiting question is modal: nothing on the canvas changes until it is answered.
    if (playback_is_waiting() || !g_ui.keyboard_free || panels_modal_index() >= 0) {
        selection_collect();
        return;
    }
    // The wheel scrolls a panel when it is over one, not the highlight.
    if (canvas_takes_mouse()) g_editor.wheel_index += input_mouse_wheel();
    for (i64 i = 0; i < input_key_press_count(); i += 1) {
        s_press = input_key_press(i);
        if (s_press.repeat) continue;  // holding a key does not repeat its command
        i64 panels = g_panels.panels.count;
        common_keys();
        if (g_editor.place_mode) place_mode_key();
        else select_mode_key();
        // What was typed after a press that opened a panel (an entry, say) is for that
        // panel: it comes again next frame, when the panel may hold the keyboard.
        if (g_panels.panels.count > panels) {
            input_key_presses_defer(i + 1);
            break;
        }
    }
    s_press = KeyPress{};
    if (g_editor.place_mode) selection_collect();
    else select_mode_step();
}
