// The object properties panels, the "curve point" window and the fraction entry's opener:
// openers that prime each panel from what it edits, the lookups that find it again by id
// every frame, and the contents of PANEL_KEY to PANEL_TEXT and PANEL_CURVE_POINT. Content
// records live in POOL_MAIN for the rest of the run (panels are few and small). Main thread.
//
// Sections: curves of objects; openers; the fraction entry's binding; row layout; the
// object panels by kind; the sound's waves; the "curve point" window.
#include "panels/object_panels.h"

#include "base/format.h"
#include "base/text.h"
#include "gfx/font.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "gfx/view.h"
#include "model/curve.h"
#include "model/keys.h"
#include "panels/entry_panels.h"
#include "ui/panels.h"

Curve* object_curve(ObjectHeader* object, u8 curve_index) {
    if (!object) return 0;
    switch (object->kind) {
        case OBJECT_TEMPO: return curve_index == 0 ? &((TempoObject*)object)->tempo : 0;
        case OBJECT_PITCH: return curve_index == 0 ? &((PitchObject*)object)->pitch : 0;
        case OBJECT_VOLUME: {
            VolumeObject* volume = (VolumeObject*)object;
            return curve_index == 0 ? &volume->volume : curve_index == 1 ? &volume->pan : 0;
        }
        case OBJECT_SOUND: {
            SoundObject* sound = (SoundObject*)object;
            return (i64)curve_index + 1 < sound->wave_count && curve_index < SOUND_MAX_WAVES - 1
                       ? &sound->blend[curve_index]
                       : 0;
        }
        default: return 0;
    }
}

// Centred in the window, whatever the mouse position.
static Panel* panel_open_centred(u8 kind, Str title, f32 width, f32 height, i64 content_size) {
    void* content = pool_alloc_zero(POOL_MAIN, content_size);
    if (!content) return 0;
    f32 x = (f32)g_window.width / 2.0f - width / 2.0f;
    f32 y = (f32)g_window.height / 2.0f - height / 2.0f;
    return panel_create(kind, title, x, y, width, height, content);
}

// ---------------------------------------------------------------------------
// Object properties panels
// ---------------------------------------------------------------------------
struct ObjectPanelShape {
    u8 panel_kind;
    const char* title;
    f32 width, height;
};

static ObjectPanelShape object_panel_shape(u8 object_kind) {
    switch (object_kind) {
        case OBJECT_KEY: return {PANEL_KEY, "key menu", 300, 240};
        case OBJECT_MEASURE: return {PANEL_MEASURE, "measure", 300, 200};
        case OBJECT_TEMPO: return {PANEL_TEMPO, "tempo", 300, 240};
        case OBJECT_SOUND: return {PANEL_SOUND, "sound", 300, 360};
        case OBJECT_SHAPE: return {PANEL_SHAPE, "shape", 360, 200};
        case OBJECT_VOLUME: return {PANEL_VOLUME, "volume", 300, 300};
        case OBJECT_PITCH: return {PANEL_PITCH, "pitch", 300, 300};
        case OBJECT_REPEAT: return {PANEL_REPEAT, "repeat", 300, 240};
        case OBJECT_TEXT: return {PANEL_TEXT, "text", 300, 380};
        default: return {0, 0, 0, 0};
    }
}

u8 object_panel_kind(u8 object_kind) { return object_panel_shape(object_kind).panel_kind; }

Panel* object_panel_open(u8 object_kind, i64 object_id) {
    ObjectPanelShape shape = object_panel_shape(object_kind);
    if (!shape.panel_kind) return 0;
    for (i64 i = 0; i < g_panels.panels.count; i += 1) {
        const Panel* open = &g_panels.panels.data[i];
        const ObjectPanelContent* content = (const ObjectPanelContent*)open->content;
        if (open->kind == shape.panel_kind && content && content->object_id == (u64)object_id)
            return 0;
    }
    Panel* panel = panel_open_centred(shape.panel_kind, str_from_cstring(shape.title), shape.width,
                                      shape.height, (i64)sizeof(ObjectPanelContent));
    if (!panel) return 0;
    ObjectPanelContent* content = (ObjectPanelContent*)panel->content;
    content->object_id = (u64)object_id;
    content->object_kind = object_kind;
    ObjectHeader* object = object_panel_object(content);
    if (object) object_panel_prime(content, object);
    return panel;
}

ObjectHeader* object_panel_object(const ObjectPanelContent* content) {
    return object_find(&g_piece, content->object_kind, (i64)content->object_id);
}

// ---------------------------------------------------------------------------
// The "curve point" window
// ---------------------------------------------------------------------------
Panel* curve_point_panel_open(u8 object_kind, i64 object_id, u8 curve_index, i64 point_index) {
    for (i64 i = 0; i < g_panels.panels.count; i += 1) {
        const Panel* open = &g_panels.panels.data[i];
        const CurvePointPanelContent* content = (const CurvePointPanelContent*)open->content;
        if (open->kind == PANEL_CURVE_POINT && content && content->object_id == (u64)object_id &&
            content->object_kind == object_kind && content->curve_index == curve_index &&
            content->point_index == point_index)
            return 0;
    }
    Panel* panel = panel_open_centred(PANEL_CURVE_POINT, STR("curve point"), 300, 260,
                                      (i64)sizeof(CurvePointPanelContent));
    if (!panel) return 0;
    CurvePointPanelContent* content = (CurvePointPanelContent*)panel->content;
    content->object_id = (u64)object_id;
    content->object_kind = object_kind;
    content->curve_index = curve_index;
    content->point_index = point_index;
    const CurvePoint* point = curve_point_panel_point(content, 0);
    if (point) curve_point_panel_prime(content, point, false);
    return panel;
}

CurvePoint* curve_point_panel_point(const CurvePointPanelContent* content, Curve** curve) {
    ObjectHeader* object = object_find(&g_piece, content->object_kind, (i64)content->object_id);
    Curve* found = object_curve(object, content->curve_index);
    if (curve) *curve = found;
    if (!found || content->point_index < 0 || content->point_index >= found->points.count) return 0;
    return &found->points.data[content->point_index];
}

// ---------------------------------------------------------------------------
// The fraction entry
// ---------------------------------------------------------------------------
FractionBinding fraction_binding_object(u8 object_kind, i64 object_id, u8 field) {
    FractionBinding binding = {};
    binding.object_kind = object_kind;
    binding.object_id = object_id;
    binding.field = field;
    return binding;
}

FractionBinding fraction_binding_value(Fraction* value, u8 field) {
    FractionBinding binding = {};
    binding.editor_value = value;
    binding.field = field;
    return binding;
}

bool fraction_binding_accepts(const FractionBinding* binding, Fraction value) {
    if (value.denominator <= 0) return false;
    if (binding->transpose_count > 0 || binding->field != FRACTION_FIELD_TIME)
        return value.numerator > 0;
    return true;
}

FractionBinding fraction_binding_transpose_selection() {
    FractionBinding binding = {};
    i64 count = 0;
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(&g_piece, kind);
        for (i64 i = 0; i < list.count; i += 1) count += object_list_get(list, i)->selected;
    }
    if (count == 0) return binding;
    ObjectRef* refs = (ObjectRef*)pool_alloc(POOL_MAIN, count * (i64)sizeof(ObjectRef));
    if (!refs) return binding;
    i64 used = 0;
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(&g_piece, kind);
        for (i64 i = 0; i < list.count; i += 1) {
            const ObjectHeader* object = object_list_get(list, i);
            if (!object->selected) continue;
            bool commands = object->visible || (kind != OBJECT_NOTE && kind != OBJECT_SHAPE);
            if (commands) refs[used++] = ObjectRef{kind, object->id};
        }
    }
    binding.transpose_objects = refs;
    binding.transpose_count = used;
    return binding;
}

bool pitches_transpose(const FractionBinding* binding, Fraction ratio) {
    // Either sign may sit in either term; the ratio is positive when they agree.
    bool positive = ratio.numerator != 0 && ratio.denominator != 0 &&
                    (ratio.numerator > 0) == (ratio.denominator > 0);
    if (!positive) return false;
    if (ratio.denominator < 0) ratio = Fraction{-ratio.numerator, -ratio.denominator};
    ratio = fraction_normalize(ratio);
    bool changed = false;
    for (i64 i = 0; i < binding->transpose_count; i += 1) {
        const ObjectRef* ref = &binding->transpose_objects[i];
        ObjectHeader* object = object_find(&g_piece, ref->kind, ref->id);
        if (!object) continue;
        Fraction before = object->pitch;
        object->pitch = fraction_mul(object->pitch, ratio);
        changed = changed || memcmp(&before, &object->pitch, sizeof(before)) != 0;
    }
    return changed;
}

// What a transposition's entry starts from and shows: the ratio 1.
static Fraction s_transpose_identity = {1, 1};

Fraction* fraction_binding_target(const FractionBinding* binding) {
    if (binding->editor_value) return binding->editor_value;
    if (binding->transpose_count > 0) {
        for (i64 i = 0; i < binding->transpose_count; i += 1) {
            const ObjectRef* ref = &binding->transpose_objects[i];
            if (object_find(&g_piece, ref->kind, ref->id)) {
                s_transpose_identity = Fraction{1, 1};
                return &s_transpose_identity;
            }
        }
        return 0;
    }
    ObjectHeader* object = object_find(&g_piece, binding->object_kind, binding->object_id);
    if (!object) return 0;
    switch (binding->field) {
        case FRACTION_FIELD_PITCH: return &object->pitch;
        case FRACTION_FIELD_TIME: return &object->time;
        case FRACTION_FIELD_DURATION: return &object->duration;
        default: return 0;
    }
}

static bool binding_equal(const FractionBinding* a, const FractionBinding* b) {
    if (a->editor_value || b->editor_value) return a->editor_value == b->editor_value;
    // One transposition entry at a time, whatever it was opened on.
    if (a->transpose_count > 0 || b->transpose_count > 0)
        return a->transpose_count > 0 && b->transpose_count > 0;
    return a->object_kind == b->object_kind && a->object_id == b->object_id && a->field == b->field;
}

Panel* fraction_entry_open(Str label, FractionBinding binding) {
    Fraction* target = fraction_binding_target(&binding);
    if (!target) return 0;
    for (i64 i = 0; i < g_panels.panels.count; i += 1) {
        const Panel* open = &g_panels.panels.data[i];
        const FractionEntryContent* content = (const FractionEntryContent*)open->content;
        if (open->kind == PANEL_FRACTION && content && binding_equal(&content->binding, &binding))
            return 0;
    }
    Panel* panel = panel_open_centred(PANEL_FRACTION, STR("fraction"), 300, 160,
                                      (i64)sizeof(FractionEntryContent));
    if (!panel) return 0;
    FractionEntryContent* content = (FractionEntryContent*)panel->content;
    content->label = str_copy(POOL_MAIN, label);
    content->binding = binding;
    content->initial_text = str_copy(POOL_MAIN, fraction_format_tmp(*target));
    return panel;
}

// ---------------------------------------------------------------------------
// Row layout
// ---------------------------------------------------------------------------
// Rows go from the top down, one every s + o, labels at the left, widgets in the value
// column; "ok" sits centred at the bottom.
struct Rows {
    f32 label_x;
    f32 top;  // top of the next row
    f32 value_x, value_width;
    f32 s, o;
};

static Rows rows_begin(Rect content, f32 label_columns, f32 margins) {
    f32 s = g_theme.scale, o = g_theme.offset;
    Rows rows;
    rows.label_x = content.x + o;
    rows.top = content.y + content.height - o;
    rows.value_x = content.x + o + label_columns * s;
    rows.value_width = content.width - label_columns * s - margins * o;
    rows.s = s;
    rows.o = o;
    return rows;
}

static Font* theme_font() { return g_theme.font ? g_theme.font : font_default(); }

// The next row, `lines` rows high, with its label centred on its first line; the value
// column's rectangle.
static Rect row_next(Rows* rows, Str label, f32 lines = 1) {
    f32 height = rows->s * lines + rows->o * (lines - 1);
    Rect rect = {rows->value_x, rows->top - height, rows->value_width, height};
    if (label.length > 0)
        draw_string(theme_font(), g_theme.text_color, label, rows->label_x, rows->top - rows->s / 2,
                    g_theme.text_scale, g_theme.text_scale, TEXT_LEFT, TEXT_CENTERED);
    rows->top -= height + rows->o;
    return rect;
}

// "ok": 2s wide, s high, centred at the bottom; true when clicked.
static bool ok_button(ButtonState* ok, Rect content) {
    f32 s = g_theme.scale, o = g_theme.offset;
    text_button(ok, Rect{content.x + content.width / 2 - s, content.y + o, 2 * s, s}, STR("ok"));
    return ok->clicked != 0;
}

static bool row_text(Rows* rows, TextField* field, Str label, f32 lines = 1) {
    text_field(field, row_next(rows, label, lines));
    return field->changed != 0;
}

// A check box showing `value`; true in the frame the user flipped it (its `on` is the new
// value then).
static bool row_toggle(Rows* rows, ButtonState* button, Str label, u8 value) {
    button->on = value ? 1 : 0;
    Rect rect = row_next(rows, label);
    toggle(button, Rect{rect.x, rect.y, rows->s, rows->s});
    return button->changed != 0;
}

static bool row_scope(Rows* rows, ButtonState* button, ObjectHeader* object) {
    text_button(button, row_next(rows, STR("scope")), scope_name(object->scope));
    if (!button->clicked) return false;
    object->scope = (u8)((object->scope + 1) % 3);
    return true;
}

// A swatch in the colour itself; a click opens the colour picker on that colour of the
// object, found again by id every frame.
static void row_swatch(Rows* rows, ButtonState* button, Str label, const f32* color,
                       const ObjectHeader* object) {
    icon_button(button, row_next(rows, label), g_textures.ids[TEXTURE_CIRCLE], color);
    if (button->clicked) color_picker_open(color_binding_object(object->kind, object->id, 0));
}

static Fraction field_fraction(const TextField* field) {
    return text_parse_fraction(text_field_text(field));
}

static f64 field_number(const TextField* field) {
    TextCursor cursor = text_cursor(text_field_text(field));
    return text_parse_number(&cursor);
}

static i64 field_integer(const TextField* field) {
    TextCursor cursor = text_cursor(text_field_text(field));
    return text_parse_integer(&cursor);
}

// The typed value when it can be right: a denominator above zero, a finite number, and
// with `above_zero` a value above zero. Otherwise the field is marked as refused and the
// value is not to be written.
static bool field_fraction_taken(TextField* field, bool above_zero, Fraction* value) {
    Fraction typed = field_fraction(field);
    bool taken = typed.denominator > 0 && (typed.numerator > 0 || !above_zero);
    if (!taken) field->refused = 1;
    if (taken) *value = typed;
    return taken;
}

static bool field_number_taken(TextField* field, bool above_zero, f64* value) {
    f64 typed = field_number(field);
    bool taken = typed - typed == 0.0 && (typed > 0.0 || !above_zero);
    if (!taken) field->refused = 1;
    if (taken) *value = typed;
    return taken;
}

// A copy of the field's text in the piece's pool; false (and `to` kept) when refused.
static bool field_copy(const TextField* field, Str* to) {
    return piece_string_set(&g_piece, to, text_field_text(field));
}

static void field_set_fraction(TextField* field, Fraction value) {
    text_field_set_text(field, fraction_format_tmp(value));
}

static void field_set_number(TextField* field, f64 value) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    print_float(&builder, value, number_format_default());
    text_field_set_text(field, str_builder_text(&builder));
}

static void field_set_integer(TextField* field, i64 value) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    print_integer(&builder, value, number_format_default());
    text_field_set_text(field, str_builder_text(&builder));
}

// ---------------------------------------------------------------------------
// The sound's waves
// ---------------------------------------------------------------------------

bool sound_wave_remove(SoundObject* sound, i64 index) {
    i64 count = sound_wave_count(sound);
    if (index < 0 || index >= count) return false;
    for (i64 i = index; i + 1 < count; i += 1) sound->wave_names[i] = sound->wave_names[i + 1];
    sound->wave_names[count - 1] = Str{0, 0};
    if (count >= 2) {
        i64 dropped = index > 0 ? index - 1 : 0;
        for (i64 i = dropped; i + 1 < count - 1; i += 1) sound->blend[i] = sound->blend[i + 1];
        // The freed slot must not share the points of the curve that moved out of it.
        curve_init(&sound->blend[count - 2], g_piece.pool);
    }
    sound->wave_count = count - 1;
    return true;
}

bool sound_wave_add(SoundObject* sound) {
    i64 count = sound_wave_count(sound);
    if (count >= SOUND_MAX_WAVES) return false;
    Str name = str_copy(g_piece.pool, STR("sine"));
    if (name.length == 0) return false;
    if (count >= 1) {
        // The new wave starts silent: a flat blend curve at 0 between it and the one before.
        Curve* blend = &sound->blend[count - 1];
        curve_init(blend, g_piece.pool);
        if (curve_point_insert(blend, Fraction{0, 1}, Fraction{0, 1}, g_camera.zoom) < 0) return false;
    }
    sound->wave_names[count] = name;
    sound->wave_count = count + 1;
    return true;
}

Str sound_wave_label(const SoundObject* sound, i64 index) {
    if (sound_wave_count(sound) == 1) return STR("wave");
    const FormatArg args[] = {fa_i64(index + 1)};
    return format_tmp(STR("wave %."), args, ARRAY_COUNT(args));
}

static void sound_fields_prime(ObjectPanelContent* content, const SoundObject* sound) {
    for (i64 i = 0; i < SOUND_MAX_WAVES; i += 1)
        text_field_set_text(&content->fields[i],
                            i < sound_wave_count(sound) ? sound->wave_names[i] : Str{0, 0});
}

// ---------------------------------------------------------------------------
// The object panels by kind
// ---------------------------------------------------------------------------
// The curve whose "visible", "editable", "minimum" and "maximum" rows a panel shows.
static Curve* object_main_curve(ObjectHeader* object) { return object_curve(object, 0); }

void object_panel_prime(ObjectPanelContent* content, const ObjectHeader* object) {
    for (i32 i = 0; i < OBJECT_PANEL_FIELDS; i += 1) {
        content->fields[i].single_line = 1;
        text_field_set_text(&content->fields[i], Str{0, 0});
    }
    ObjectHeader* header = (ObjectHeader*)object;
    Curve* curve = object_main_curve(header);
    if (curve) {
        content->visible.on = curve->visible;
        content->editable.on = curve->editable;
        field_set_fraction(&content->fields[0], curve->minimum);
        field_set_fraction(&content->fields[1], curve->maximum);
    }
    switch (object->kind) {
        case OBJECT_KEY: {
            const KeyObject* key = (const KeyObject*)object;
            text_field_set_text(&content->fields[0], key->key_name);
            field_set_number(&content->fields[1], key->reference_frequency);
        } break;
        case OBJECT_MEASURE:
            field_set_fraction(&content->fields[0], ((const MeasureObject*)object)->bar_length);
            break;
        case OBJECT_VOLUME: content->panning.on = ((const VolumeObject*)object)->pan.visible; break;
        case OBJECT_SOUND: {
            const SoundObject* sound = (const SoundObject*)object;
            content->visible.on = sound->visible;
            content->editable.on = sound->editable;
            sound_fields_prime(content, sound);
        } break;
        case OBJECT_REPEAT: {
            const RepeatObject* repeat = (const RepeatObject*)object;
            field_set_integer(&content->fields[0], repeat->count);
            field_set_fraction(&content->fields[1], repeat->start);
            field_set_fraction(&content->fields[2], repeat->end);
        } break;
        case OBJECT_SHAPE: {
            const ShapeObject* shape = (const ShapeObject*)object;
            field_set_number(&content->fields[0], shape->time_offset);
            text_field_set_text(&content->fields[1], shape->shape_name);
        } break;
        case OBJECT_TEXT:
            content->fields[0].single_line = 0;  // a text may run over several lines
            text_field_set_text(&content->fields[0], ((const TextObject*)object)->text);
            break;
        default: break;
    }
}

// "minimum" and "maximum" of a curve, adopted in the frame their field reports an edit.
// A tempo's bounds are tempos, above zero.
static bool curve_range_rows(Rows* rows, ObjectPanelContent* content, Curve* curve) {
    bool above_zero = content->object_kind == OBJECT_TEMPO;
    bool changed = false;
    if (row_text(rows, &content->fields[0], STR("minimum")) &&
        field_fraction_taken(&content->fields[0], above_zero, &curve->minimum))
        changed = true;
    if (row_text(rows, &content->fields[1], STR("maximum")) &&
        field_fraction_taken(&content->fields[1], above_zero, &curve->maximum))
        changed = true;
    return changed;
}

// "visible", "editable", "minimum", "maximum" of one curve. True when something changed.
static bool curve_rows(Rows* rows, ObjectPanelContent* content, Curve* curve) {
    bool changed = false;
    if (row_toggle(rows, &content->visible, STR("visible"), curve->visible)) {
        curve->visible = content->visible.on;
        changed = true;
    }
    if (row_toggle(rows, &content->editable, STR("editable"), curve->editable)) {
        curve->editable = content->editable.on;
        changed = true;
    }
    return curve_range_rows(rows, content, curve) || changed;
}

static bool key_rows(Rows* rows, ObjectPanelContent* content, KeyObject* key) {
    bool changed = row_scope(rows, &content->scope, &key->header);
    if (row_text(rows, &content->fields[0], STR("key")) &&
        field_copy(&content->fields[0], &key->key_name)) {
        // The scale comes with the name; an unknown name leaves the key without one.
        const KeyDefinition* definition = key_by_name(key->key_name);
        if (definition) {
            key->classes = definition->classes;
            key->pitches = definition->pitches;
        } else {
            array_init(&key->classes, POOL_MAIN);
            array_init(&key->pitches, POOL_MAIN);
        }
        changed = true;
    }
    if (row_text(rows, &content->fields[1], STR("frequency")) &&
        field_number_taken(&content->fields[1], true, &key->reference_frequency))
        changed = true;
    return changed;
}

static bool measure_rows(Rows* rows, ObjectPanelContent* content, MeasureObject* measure) {
    bool changed = false;
    if (row_text(rows, &content->fields[0], STR("length")) &&
        field_fraction_taken(&content->fields[0], true, &measure->bar_length))
        changed = true;
    row_swatch(rows, &content->swatch, STR("color"), measure->bar_color, &measure->header);
    return changed;
}

// The pan curve is shown while "visible" and "panning" are both on; "panning" itself is
// the panel's, so turning "visible" off and on again brings the pan curve back as it was.
static bool volume_rows(Rows* rows, ObjectPanelContent* content, VolumeObject* volume) {
    bool changed = row_scope(rows, &content->scope, &volume->header);
    if (row_toggle(rows, &content->visible, STR("visible"), volume->volume.visible)) {
        volume->volume.visible = content->visible.on;
        volume->pan.visible = content->visible.on && content->panning.on;
        changed = true;
    }
    if (row_toggle(rows, &content->editable, STR("editable"), volume->volume.editable)) {
        volume->volume.editable = content->editable.on;
        volume->pan.editable = content->editable.on;
        changed = true;
    }
    if (row_toggle(rows, &content->panning, STR("panning"), content->panning.on)) {
        volume->pan.visible = content->panning.on && volume->volume.visible;
        changed = true;
    }
    return curve_range_rows(rows, content, &volume->volume) || changed;
}

static bool sound_rows(Rows* rows, ObjectPanelContent* content, SoundObject* sound) {
    bool changed = row_scope(rows, &content->scope, &sound->header);
    if (row_toggle(rows, &content->visible, STR("visible"), sound->visible)) {
        sound->visible = content->visible.on;
        changed = true;
    }
    if (row_toggle(rows, &content->editable, STR("editable"), sound->editable)) {
        sound->editable = content->editable.on;
        changed = true;
    }
    i64 removed = -1;
    f32 s = rows->s, o = rows->o;
    for (i64 i = 0; i < sound_wave_count(sound); i += 1) {
        Rect row = row_next(rows, sound_wave_label(sound, i));
        Rect name = {row.x, row.y, row.width - s - o / 2, row.height};
        TextField* field = &content->fields[i];
        text_field(field, name);
        if (field->changed && field_copy(field, &sound->wave_names[i])) changed = true;
        icon_button(&content->remove_wave[i], Rect{row.x + row.width - s, row.y, s, s},
                    g_textures.ids[TEXTURE_CLOSE], g_theme.close_color);
        if (content->remove_wave[i].clicked) removed = i;
    }
    // Refused at four waves: the button is not there then.
    if (sound_wave_count(sound) < SOUND_MAX_WAVES) {
        text_button(&content->add_wave, row_next(rows, Str{0, 0}), STR("add wave"));
        if (content->add_wave.clicked && sound_wave_add(sound)) {
            sound_fields_prime(content, sound);
            changed = true;
        }
    }
    if (removed >= 0 && sound_wave_remove(sound, removed)) {
        sound_fields_prime(content, sound);  // the later names moved up a row
        changed = true;
    }
    return changed;
}

static bool repeat_rows(Rows* rows, ObjectPanelContent* content, RepeatObject* repeat) {
    bool changed = row_scope(rows, &content->scope, &repeat->header);
    if (row_text(rows, &content->fields[0], STR("num"))) {
        i64 count = field_integer(&content->fields[0]);
        if (count >= 0 && count <= INT32_MAX) {  // saved in 32 bits
            repeat->count = count;
            changed = true;
        } else {
            content->fields[0].refused = 1;
        }
    }
    if (row_text(rows, &content->fields[1], STR("start")) &&
        field_fraction_taken(&content->fields[1], false, &repeat->start))
        changed = true;
    if (row_text(rows, &content->fields[2], STR("end")) &&
        field_fraction_taken(&content->fields[2], false, &repeat->end))
        changed = true;
    return changed;
}

static bool shape_rows(Rows* rows, ObjectPanelContent* content, ShapeObject* shape) {
    bool changed = row_scope(rows, &content->scope, &shape->header);
    if (row_text(rows, &content->fields[0], STR("time offset")) &&
        field_number_taken(&content->fields[0], false, &shape->time_offset))
        changed = true;
    if (row_text(rows, &content->fields[1], STR("volume curve")) &&
        field_copy(&content->fields[1], &shape->shape_name))
        changed = true;
    return changed;
}

static bool text_rows(Rows* rows, ObjectPanelContent* content, TextObject* text) {
    bool changed = false;
    if (row_text(rows, &content->fields[0], STR("text"), 5) &&
        field_copy(&content->fields[0], &text->text))
        changed = true;
    row_swatch(rows, &content->swatch, STR("color"), text->color, &text->header);
    return changed;
}

void object_panel_content(Panel* panel, Rect content_rect) {
    // Only the content record is used: opening the colour picker may move the panel list.
    ObjectPanelContent* content = (ObjectPanelContent*)panel->content;
    if (content->close_requested) return;
    ObjectHeader* object = object_panel_object(content);
    if (!object) return;  // deleted meanwhile: nothing shown, nothing written
    bool key = object->kind == OBJECT_KEY;
    Rows rows = rows_begin(content_rect, key ? 5.0f : 4.0f, key ? 3.0f : 2.0f);
    bool changed = false;
    switch (object->kind) {
        case OBJECT_KEY: changed = key_rows(&rows, content, (KeyObject*)object); break;
        case OBJECT_MEASURE: changed = measure_rows(&rows, content, (MeasureObject*)object); break;
        case OBJECT_TEMPO:
            changed = curve_rows(&rows, content, &((TempoObject*)object)->tempo);
            break;
        case OBJECT_VOLUME: changed = volume_rows(&rows, content, (VolumeObject*)object); break;
        case OBJECT_PITCH:
            changed = row_scope(&rows, &content->scope, object);
            changed = curve_rows(&rows, content, &((PitchObject*)object)->pitch) || changed;
            break;
        case OBJECT_SOUND: changed = sound_rows(&rows, content, (SoundObject*)object); break;
        case OBJECT_REPEAT: changed = repeat_rows(&rows, content, (RepeatObject*)object); break;
        case OBJECT_SHAPE: changed = shape_rows(&rows, content, (ShapeObject*)object); break;
        case OBJECT_TEXT: changed = text_rows(&rows, content, (TextObject*)object); break;
        default: break;
    }
    if (changed) g_piece.modified = 1;
    if (ok_button(&content->ok, content_rect)) content->close_requested = 1;
}

// ---------------------------------------------------------------------------
// The "curve point" window
// ---------------------------------------------------------------------------
void curve_point_panel_prime(CurvePointPanelContent* content, const CurvePoint* point,
                             bool handles_only) {
    const Fraction values[6] = {point->x,    point->y,     point->in_x,
                                point->in_y, point->out_x, point->out_y};
    for (i32 i = handles_only ? 2 : 0; i < 6; i += 1) {
        content->fields[i].single_line = 1;
        field_set_fraction(&content->fields[i], values[i]);
    }
}

void curve_point_panel_content(Panel* panel, Rect content_rect) {
    CurvePointPanelContent* content = (CurvePointPanelContent*)panel->content;
    if (content->close_requested) return;
    Curve* curve = 0;
    CurvePoint* point = curve_point_panel_point(content, &curve);
    if (!point) return;  // its object, curve or point is gone
    Rows rows = rows_begin(content_rect, 4.0f, 2.0f);
    f32 half = (rows.value_width - rows.o / 2) / 2;
    const char* labels[3] = {"point", "in", "out"};
    bool changed = false;
    bool position_moved = false;
    for (i32 r = 0; r < 3; r += 1) {
        Rect row = row_next(&rows, str_from_cstring(labels[r]));
        for (i32 c = 0; c < 2; c += 1) {
            i32 index = r * 2 + c;
            TextField* field = &content->fields[index];
            text_field(field, Rect{row.x + (f32)c * (half + rows.o / 2), row.y, half, row.height});
            if (!field->changed) continue;
            // The values of a tempo curve are tempos, above zero.
            bool above_zero = content->object_kind == OBJECT_TEMPO && index % 2 == 1;
            Fraction value;
            if (!field_fraction_taken(field, above_zero, &value)) continue;
            Fraction old_x = point->x, old_y = point->y;
            Fraction* targets[6] = {&point->x,    &point->y,     &point->in_x,
                                    &point->in_y, &point->out_x, &point->out_y};
            *targets[index] = value;
            if (index < 2) {
                // The handles go along with the point, and the point stays between its
                // neighbours so the curve keeps increasing in x.
                curve_point_moved(point, old_x, old_y, curve->logarithmic);
                curve_point_keep_order(curve, content->point_index);
                position_moved = true;
            }
            changed = true;
        }
    }
    Rect buttons = row_next(&rows, Str{0, 0});
    text_button(&content->continuous, Rect{buttons.x, buttons.y, half, buttons.height},
                STR("continuous"));
    text_button(&content->flat,
                Rect{buttons.x + half + rows.o / 2, buttons.y, half, buttons.height}, STR("flat"));
    if (content->continuous.clicked) curve_point_continuous(point, curve->logarithmic);
    if (content->flat.clicked) curve_point_flat(point);
    // The handles' fields follow what the window itself did to them.
    if (position_moved || content->continuous.clicked || content->flat.clicked) {
        curve_point_panel_prime(content, point, true);
        changed = true;
    }
    if (changed) g_piece.modified = 1;
    if (ok_button(&content->ok, content_rect)) content->close_requested = 1;
}
