// The openers of the object properties panels, the "curve point" window and the fraction
// entry, and the lookups their content uses to find what it edits again. Content records
// live in POOL_MAIN for the rest of the run (panels are few and small). Main thread.
#include "editor/object_panels.h"

#include "core/app.h"
#include "core/panels.h"

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
    f32 x = (f32)g_app.window_width / 2.0f - width / 2.0f;
    f32 y = (f32)g_app.window_height / 2.0f - height / 2.0f;
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

FractionBinding fraction_binding_value(Fraction* value) {
    FractionBinding binding = {};
    binding.editor_value = value;
    return binding;
}

Fraction* fraction_binding_target(const FractionBinding* binding) {
    if (binding->editor_value) return binding->editor_value;
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

// Placeholders until the panels' contents land: the panels open empty.
void object_panel_content(Panel*, Rect) {}
void curve_point_panel_content(Panel*, Rect) {}
