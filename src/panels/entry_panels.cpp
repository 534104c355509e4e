// The colour picker and fraction entry panels of entry_panels.h, and the closing of panels
// bound to a piece that a file replaces. Content records live in POOL_MAIN for the rest of
// the run; the fraction entry's text field lives in a table of this file, found by panel
// id, since its content record belongs to the opener. Main thread.
#include "panels/entry_panels.h"

#include "base/text.h"
#include "gfx/font.h"
#include "gfx/resources.h"
#include "gfx/theme.h"
#include "gfx/view.h"
#include "model/piece.h"
#include "panels/object_panels.h"
#include "ui/interaction.h"
#include "ui/panels.h"
#include "ui/text_field.h"

// ---------------------------------------------------------------------------
// Colour bindings
// ---------------------------------------------------------------------------
ColorBinding color_binding_background() {
    ColorBinding binding = {};
    binding.target = COLOR_TARGET_BACKGROUND;
    return binding;
}

ColorBinding color_binding_group(i64 group_id) {
    ColorBinding binding = {};
    binding.target = COLOR_TARGET_GROUP;
    binding.id = group_id;
    return binding;
}

ColorBinding color_binding_object(u8 object_kind, i64 object_id, u8 which) {
    ColorBinding binding = {};
    binding.target = COLOR_TARGET_OBJECT;
    binding.object_kind = object_kind;
    binding.which = which;
    binding.id = object_id;
    return binding;
}

f32* color_binding_target(const ColorBinding* binding) {
    switch (binding->target) {
        case COLOR_TARGET_BACKGROUND: return g_piece.settings.background;
        case COLOR_TARGET_GROUP: {
            Group* group = group_find(&g_piece, binding->id);
            return group ? group->color : 0;
        }
        case COLOR_TARGET_OBJECT: {
            if (binding->which != 0) return 0;
            ObjectHeader* object = object_find(&g_piece, binding->object_kind, binding->id);
            if (!object) return 0;
            if (object->kind == OBJECT_MEASURE) return ((MeasureObject*)object)->bar_color;
            if (object->kind == OBJECT_TEXT) return ((TextObject*)object)->color;
            return 0;
        }
        default: return 0;
    }
}

bool color_binding_equal(const ColorBinding* a, const ColorBinding* b) {
    if (a->target != b->target) return false;
    if (a->target == COLOR_TARGET_BACKGROUND) return true;
    if (a->target == COLOR_TARGET_GROUP) return a->id == b->id;
    return a->object_kind == b->object_kind && a->id == b->id && a->which == b->which;
}

// Centred in the window, whatever the mouse position.
static Panel* panel_open_centred(u8 kind, Str title, f32 width, f32 height, void* content) {
    f32 x = (f32)g_window.width / 2 - width / 2;
    f32 y = (f32)g_window.height / 2 - height / 2;
    Panel* panel = panel_create(kind, title, x, y, width, height, content);
    if (panel) panel_content_init(panel);
    return panel;
}

// ---------------------------------------------------------------------------
// Colour picker
// ---------------------------------------------------------------------------
Panel* color_picker_open(ColorBinding binding) {
    f32* color = color_binding_target(&binding);
    if (!color) return 0;
    for (i64 i = 0; i < g_panels.panels.count; i += 1) {
        const Panel* open = &g_panels.panels[i];
        const ColorPickerContent* content = (const ColorPickerContent*)open->content;
        if (open->kind == PANEL_COLOR_PICKER && content && !content->close_requested &&
            color_binding_equal(&content->binding, &binding))
            return 0;
    }
    ColorPickerContent* content =
        (ColorPickerContent*)pool_alloc_zero(POOL_MAIN, (i64)sizeof(ColorPickerContent));
    if (!content) return 0;
    content->binding = binding;
    color_picker_prime(&content->picker, color);
    return panel_open_centred(PANEL_COLOR_PICKER, STR("color picker"), 300, 300, content);
}

void color_picker_panel(Panel* panel, Rect content) {
    ColorPickerContent* picker = (ColorPickerContent*)panel->content;
    if (picker->close_requested) return;
    // Found again every frame: the object may have been deleted, or its list may have
    // grown and moved, since the last frame.
    f32* color = color_binding_target(&picker->binding);
    if (!color) {
        picker->close_requested = 1;
        return;
    }
    picker->picker.target = color;
    f32 before[4] = {color[0], color[1], color[2], color[3]};
    color_picker(&picker->picker, content);
    picker->picker.target = 0;
    for (i32 i = 0; i < 4; i += 1)
        if (before[i] != color[i]) g_piece.modified = 1;
    if (picker->picker.done) picker->close_requested = 1;
}

// ---------------------------------------------------------------------------
// Fraction entry
// ---------------------------------------------------------------------------
// The widgets of one open entry. Its content record is the opener's, sized by it, so the
// field lives here, keyed by the panel's id and its content record.
struct FractionEntryWidgets {
    u64 panel_id;
    const void* content;
    TextField field;
    ButtonState ok;
};

// The table lives in POOL_MAIN. The program may be started again in the same process (the
// tests do), and then POOL_MAIN is a new pool: a table of the old one must not be used. The
// table carries a marker word known only to this file; a table outside the pool's used
// bytes, or without its marker there, belongs to an earlier pool and is forgotten.
struct FractionEntryTable {
    u64 marker;
    PoolArray<FractionEntryWidgets> entries;
};

static FractionEntryTable* s_entry_table;
static u64 s_entry_marker;
static u64 s_entry_tables_made;

static bool entry_table_current() {
    const Pool* pool = &g_pools[POOL_MAIN];
    const u8* table = (const u8*)s_entry_table;
    if (!table || !pool->base) return false;
    if (table < pool->base || table + sizeof(FractionEntryTable) > pool->base + pool->used)
        return false;
    return s_entry_table->marker == s_entry_marker;
}

static FractionEntryTable* entry_table() {
    if (entry_table_current()) return s_entry_table;
    FractionEntryTable* table =
        (FractionEntryTable*)pool_alloc_zero(POOL_MAIN, (i64)sizeof(FractionEntryTable));
    if (!table) return 0;
    s_entry_tables_made += 1;
    s_entry_marker = ((u64)(uintptr_t)table ^ 0x9E3779B97F4A7C15ull) + s_entry_tables_made;
    table->marker = s_entry_marker;
    array_init(&table->entries, POOL_MAIN);
    s_entry_table = table;
    return table;
}

static bool entry_is_open(const FractionEntryWidgets* entry) {
    const Panel* panel = panel_find(entry->panel_id);
    return panel && panel->kind == PANEL_FRACTION && panel->content == entry->content;
}

// The widgets of the panel; made (or a closed entry's slot reused) on its first frame,
// with the field holding the value's display form from when the entry opened.
static FractionEntryWidgets* entry_widgets(const Panel* panel, bool* made) {
    FractionEntryTable* table = entry_table();
    if (!table) return 0;
    FractionEntryWidgets* free_slot = 0;
    for (i64 i = 0; i < table->entries.count; i += 1) {
        FractionEntryWidgets* entry = &table->entries[i];
        if (entry->panel_id == panel->id && entry->content == panel->content) return entry;
        if (!free_slot && !entry_is_open(entry)) free_slot = entry;
    }
    if (!free_slot) free_slot = array_push_zero(&table->entries);
    if (!free_slot) return 0;
    // A reused slot keeps its text storage; everything else starts afresh (a zeroed field
    // is an empty one in POOL_MAIN).
    PoolArray<u8> text = free_slot->field.text;
    PoolArray<i32> lines = free_slot->field.lines;
    memset(free_slot, 0, sizeof(*free_slot));
    free_slot->field.text = text;
    free_slot->field.lines = lines;
    free_slot->panel_id = panel->id;
    free_slot->content = panel->content;
    free_slot->field.single_line = 1;
    const FractionEntryContent* content = (const FractionEntryContent*)panel->content;
    text_field_set_text(&free_slot->field, content->initial_text);
    *made = true;
    return free_slot;
}

TextField* fraction_entry_field(const Panel* panel) {
    if (!entry_table_current()) return 0;
    for (i64 i = 0; i < s_entry_table->entries.count; i += 1) {
        FractionEntryWidgets* entry = &s_entry_table->entries[i];
        if (entry->panel_id == panel->id && entry->content == panel->content) return &entry->field;
    }
    return 0;
}

void fraction_entry_panel(Panel* panel, Rect content) {
    FractionEntryContent* entry = (FractionEntryContent*)panel->content;
    if (entry->close_requested) return;
    // An entry on an object that was deleted meanwhile has nothing left to write to.
    if (!fraction_binding_target(&entry->binding)) {
        entry->close_requested = 1;
        return;
    }
    bool made = false;
    FractionEntryWidgets* widgets = entry_widgets(panel, &made);
    if (!widgets) return;

    f32 s = g_theme.scale, o = g_theme.offset;
    f32 top = content.y + content.height - o;
    Font* font = g_theme.font ? g_theme.font : font_default();
    draw_string(font, g_theme.text_color, entry->label, content.x + content.width / 2,
                top - s / 2, g_theme.text_scale, g_theme.text_scale, TEXT_CENTER, TEXT_CENTERED);
    text_field(&widgets->field, Rect{content.x + o, top - (s + o) - s, content.width - 2 * o, s});
    if (made) {
        // Focused from the next frame on (the key that opened the entry is not typed into
        // it), with the whole value selected: what is typed replaces it, Return writes it.
        // The keyboard is held from the next frame too, so the editor does not also act.
        widgets->field.focused = 1;
        widgets->field.anchor = 0;
        g_ui.keyboard_taken += 1;
    }
    text_button(&widgets->ok, Rect{content.x + content.width / 2 - s, content.y + o, 2 * s, s},
                STR("ok"));
    if (!widgets->ok.clicked && !widgets->field.entered) return;

    // A value that cannot be right stays in the field, marked, for the user to mend.
    Fraction value = text_parse_fraction(text_field_text(&widgets->field));
    if (!fraction_binding_accepts(&entry->binding, value)) {
        widgets->field.refused = 1;
        widgets->field.focused = 1;
        return;
    }
    // Found again at the moment of writing: the list may have moved since the last frame.
    entry->close_requested = 1;
    Fraction* target = fraction_binding_target(&entry->binding);
    if (!target) return;
    if (entry->binding.transpose_count > 0) {
        if (pitches_transpose(&entry->binding, value)) g_piece.modified = 1;
        return;
    }
    *target = value;
    if (!entry->binding.editor_value) g_piece.modified = 1;
}

// ---------------------------------------------------------------------------
// Replacing the piece
// ---------------------------------------------------------------------------
static bool bound_to_piece(const Panel* panel) {
    switch (panel->kind) {
        case PANEL_KEY:
        case PANEL_MEASURE:
        case PANEL_TEMPO:
        case PANEL_VOLUME:
        case PANEL_PITCH:
        case PANEL_SOUND:
        case PANEL_REPEAT:
        case PANEL_SHAPE:
        case PANEL_TEXT:
        case PANEL_CURVE_POINT:
        case PANEL_COLOR_PICKER: return true;
        case PANEL_FRACTION:
            return ((const FractionEntryContent*)panel->content)->binding.editor_value == 0;
        default: return false;
    }
}

void panels_close_piece_bound() {
    for (i64 i = 0; i < g_panels.panels.count; i += 1) {
        Panel* panel = &g_panels.panels[i];
        // Every closable kind's content begins with its close request.
        if (panel->content && bound_to_piece(panel)) *(u8*)panel->content = 1;
    }
}
