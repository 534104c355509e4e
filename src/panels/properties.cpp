// Property sections and the two properties panels of properties.h. Values are bound anew
// every frame from the piece (its settings, the current group found by id), so nothing
// here holds a pointer into the piece from one frame to the next. Main thread.
#include "panels/properties.h"

#include "base/format.h"
#include "base/text.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "model/piece.h"
#include "platform/system.h"
#include "ui/interaction.h"
#include "ui/panels.h"

static const f32 LABEL_COLOR[4] = {1.0f, 1.0f, 1.0f, 1.0f};
static const f32 UNTINTED[4] = {1.0f, 1.0f, 1.0f, 1.0f};
static const f32 LETTER_COLORS[4][4] = {
    {0.6f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.6f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.8f, 1.0f},
    {0.4f, 0.0f, 0.8f, 1.0f}};

void property_section_init(PropertySection* section, Str title, u8 pool) {
    memset(section, 0, sizeof(*section));
    section->title = str_copy(POOL_MAIN, title);
    array_init(&section->rows, pool);
}

PropertyRow* property_section_add_row(PropertySection* section, u8 type, Str label) {
    PropertyRow* row = array_push_zero(&section->rows);
    if (!row) return 0;
    row->type = type;
    row->label = str_copy(POOL_MAIN, label);
    array_init(&row->field.text, POOL_MAIN);
    array_init(&row->field.lines, POOL_MAIN);
    row->field.single_line = type == PROPERTY_LONG_STRING ? 0 : 1;
    for (i32 i = 0; i < 4; i += 1) {
        array_init(&row->color_fields[i].text, POOL_MAIN);
        array_init(&row->color_fields[i].lines, POOL_MAIN);
        row->color_fields[i].single_line = 1;
    }
    return row;
}

// ---------------------------------------------------------------------------
// Synchronisation
// ---------------------------------------------------------------------------
// The field shows the value. While the field holds the keyboard, what the user typed
// stays as long as it still reads as the value ("1/" while typing 1/3, "0." while typing
// 0.5); a value changed elsewhere replaces it.
// A refused text also stays while it is being typed, marked, for the user to mend.
static void field_show(TextField* field, Str shown, bool reads_as_value) {
    if (field->focused && (reads_as_value || field->refused)) return;
    if (!str_equal(text_field_text(field), shown)) text_field_set_text(field, shown);
}

static i64 parse_integer(Str text) {
    TextCursor cursor = text_cursor(text);
    return text_parse_integer(&cursor);
}

static f64 parse_number(Str text) {
    TextCursor cursor = text_cursor(text);
    return text_parse_number(&cursor);
}

static Str integer_text(i64 value) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    print_integer(&builder, value, number_format_default());
    return str_builder_text(&builder);
}

static Str float_text(f64 value) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    print_float(&builder, value, number_format_default());
    return str_builder_text(&builder);
}

static bool same_terms(Fraction a, Fraction b) {
    return a.numerator == b.numerator && a.denominator == b.denominator;
}

// An edit reported by a field is taken once: the flag is cleared here, so a section that
// is not drawn in the next frames (collapsed) does not take it again.
static bool field_edited(TextField* field) {
    bool edited = field->changed != 0;
    field->changed = 0;
    return edited;
}

static bool finite(f64 value) { return value - value == 0.0; }

// Whether the typed text may become the value; otherwise the field is marked and the value
// stays as it was.
static bool field_accepts(TextField* field, bool acceptable) {
    if (!acceptable) field->refused = 1;
    return acceptable;
}

static void row_synchronise(PropertyRow* row) {
    row->changed = false;
    if (!row->value) return;
    TextField* field = &row->field;
    Str text = text_field_text(field);
    switch (row->type) {
        case PROPERTY_BOOL: {
            u8* flag = (u8*)row->value;
            if (row->toggle.changed) {
                *flag = row->toggle.on;
                row->toggle.changed = 0;
                row->changed = true;
            } else {
                row->toggle.on = *flag ? 1 : 0;
            }
        } break;
        case PROPERTY_INTEGER: {
            i64* value = (i64*)row->value;
            if (field_edited(field)) {
                i64 typed = parse_integer(text);
                if (!field_accepts(field, typed > 0 || !row->above_zero)) break;
                *value = typed;
                row->changed = true;
            } else {
                field_show(field, integer_text(*value), parse_integer(text) == *value);
            }
        } break;
        case PROPERTY_FLOAT: {
            f64* value = (f64*)row->value;
            if (field_edited(field)) {
                f64 typed = parse_number(text);
                if (!field_accepts(field, finite(typed) && (typed > 0.0 || !row->above_zero)))
                    break;
                *value = typed;
                row->changed = true;
            } else {
                field_show(field, float_text(*value), parse_number(text) == *value);
            }
        } break;
        case PROPERTY_COLOR: {
            f32* color = (f32*)row->value;
            for (i32 i = 0; i < 4; i += 1) {
                TextField* component = &row->color_fields[i];
                Str component_text = text_field_text(component);
                if (field_edited(component)) {
                    f32 typed = (f32)parse_number(component_text);
                    if (!field_accepts(component, finite((f64)typed))) continue;
                    color[i] = typed;
                    row->changed = true;
                } else {
                    field_show(component, float_text(color[i]),
                               (f32)parse_number(component_text) == color[i]);
                }
            }
        } break;
        case PROPERTY_FRACTION: {
            Fraction* value = (Fraction*)row->value;
            if (field_edited(field)) {
                Fraction typed = text_parse_fraction(text);
                if (!field_accepts(field, typed.denominator > 0)) break;
                *value = typed;
                row->changed = true;
            } else {
                field_show(field, fraction_format_tmp(*value),
                           same_terms(text_parse_fraction(text), *value));
            }
        } break;
        case PROPERTY_STRING:
        case PROPERTY_LONG_STRING: {
            Str* value = (Str*)row->value;
            // The one string row names the group's texture: a string of the piece.
            if (field_edited(field) && piece_string_set(&g_piece, value, text)) {
                row->changed = true;
            } else {
                field_show(field, *value, false);
            }
        } break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------
static Font* theme_font() { return g_theme.font ? g_theme.font : font_default(); }

static void label(Str text, const f32* color, f32 x, f32 y_centre) {
    draw_string(theme_font(), color, text, x, y_centre, g_theme.text_scale, g_theme.text_scale,
                TEXT_LEFT, TEXT_CENTERED);
}

static Str sample_type_name(u8 value) {
    switch (value) {
        case SAMPLE_TYPE_SHORT: return STR("short");
        case SAMPLE_TYPE_LONG: return STR("long");
        case SAMPLE_TYPE_FLOAT: return STR("float");
        default: return STR("short");
    }
}

// One row's editor at the value column v, field width f; moves *y past it.
static void row_draw(PropertySection* section, PropertyRow* row, f32 v, f32 f, f32* y) {
    f32 s = g_theme.scale, o = g_theme.offset;
    switch (row->type) {
        case PROPERTY_INFO:
            label(row->info, LABEL_COLOR, v, *y + s / 2);
            *y -= s + o;
            break;
        case PROPERTY_INTEGER:
        case PROPERTY_FLOAT:
        case PROPERTY_FRACTION:
        case PROPERTY_STRING:
            text_field(&row->field, Rect{v, *y, f, s});
            *y -= s + o;
            break;
        case PROPERTY_LONG_STRING:
            *y -= 7 * s;
            text_field(&row->field, Rect{v, *y, f, 8 * s});
            *y -= s + o;
            break;
        case PROPERTY_BOOL:
            toggle(&row->toggle, Rect{v, *y, s, s});
            *y -= s + o;
            break;
        case PROPERTY_COLOR: {
            for (i32 i = 0; i < 4; i += 1) {
                f32 line = *y - (f32)i * s;
                const char letters[4] = {'r', 'g', 'b', 'a'};
                label(Str{(u8*)&letters[i], 1}, LETTER_COLORS[i], v + s / 2, line + s / 2);
                text_field(&row->color_fields[i], Rect{v + 1.5f * s, line, f - 1.5f * s, s});
            }
            *y -= 4 * s + o;
            if (row->value) {
                icon_button(&row->swatch, Rect{v, *y, f, s}, g_textures.ids[TEXTURE_CIRCLE],
                            (const f32*)row->value);
                if (row->swatch.clicked) color_picker_open(row->color_binding);
                *y -= s + o;
            }
        } break;
        case PROPERTY_SAMPLE_TYPE: {
            u8* value = (u8*)row->value;
            text_button(&row->choice, Rect{v, *y, f, s}, sample_type_name(value ? *value : 0));
            if (row->choice.clicked && value) {
                *value = (u8)((*value + 1) % 3);
                row->changed = true;
                section->changed = true;
            }
            *y -= s + o;
        } break;
        default: *y -= s + o; break;
    }
}

void property_section(PropertySection* section, f32 label_width, f32 x, f32 width, f32* y) {
    f32 s = g_theme.scale;
    section->changed = false;
    for (i64 i = 0; i < section->rows.count; i += 1) {
        PropertyRow* row = &section->rows[i];
        row_synchronise(row);
        if (row->changed) section->changed = true;
    }

    u32 icon = g_textures.ids[section->collapsed ? TEXTURE_MAXIMIZE2 : TEXTURE_MINIMIZE];
    icon_button(&section->collapse, Rect{x + s / 2, *y, s, s}, icon, UNTINTED);
    if (section->collapse.clicked) section->collapsed = !section->collapsed;
    label(section->title, LABEL_COLOR, x + 2 * s, *y + s / 2);
    *y -= s;
    if (section->collapsed || section->rows.count == 0) return;

    f32 v = x + s / 2 + label_width;
    f32 f = width - 2.5f * s - label_width;
    for (i64 i = 0; i < section->rows.count; i += 1) {
        PropertyRow* row = &section->rows[i];
        label(row->label, LABEL_COLOR, x + s / 2, *y + s / 2);
        row_draw(section, row, v, f, y);
    }
}

// ---------------------------------------------------------------------------
// The two panels
// ---------------------------------------------------------------------------
i64 properties_current_group() {
    for (i64 i = 0; i < g_piece.tree.count; i += 1) {
        const GroupTreeEntry* entry = &g_piece.tree[i];
        if (!entry->selected || entry->folder_begin || entry->folder_end) continue;
        if (group_find(&g_piece, entry->id)) return entry->id;
    }
    return -1;
}

void* properties_panel_create(u8 kind) {
    if (kind != PANEL_GLOBAL_PROPERTIES && kind != PANEL_GROUP_PROPERTIES) return 0;
    PropertiesPanel* panel =
        (PropertiesPanel*)pool_alloc_zero(POOL_MAIN, (i64)sizeof(PropertiesPanel));
    if (!panel) return 0;
    panel->kind = kind;
    panel->scroll.position = 1;  // the top of the sections first
    if (kind == PANEL_GLOBAL_PROPERTIES) {
        PropertySection* audio = &panel->sections[0];
        property_section_init(audio, STR("audio"), POOL_MAIN);
        PropertyRow* rate = property_section_add_row(audio, PROPERTY_INTEGER, STR("sample rate"));
        if (rate) rate->above_zero = 1;
        property_section_add_row(audio, PROPERTY_BOOL, STR("stereo"));
        property_section_add_row(audio, PROPERTY_SAMPLE_TYPE, STR("sample type"));
        property_section_add_row(audio, PROPERTY_FRACTION, STR("start time"));
        property_section_add_row(audio, PROPERTY_FRACTION, STR("end time"));
        PropertySection* rendering = &panel->sections[1];
        property_section_init(rendering, STR("rendering"), POOL_MAIN);
        property_section_add_row(rendering, PROPERTY_COLOR, STR("background"));
        panel->section_count = 2;
    } else {
        PropertySection* note = &panel->sections[0];
        property_section_init(note, STR("note"), POOL_MAIN);
        property_section_add_row(note, PROPERTY_BOOL, STR("visible"));
        property_section_add_row(note, PROPERTY_COLOR, STR("color"));
        property_section_add_row(note, PROPERTY_STRING, STR("texture"));
        PropertyRow* size = property_section_add_row(note, PROPERTY_FLOAT, STR("size"));
        if (size) size->above_zero = 1;
        panel->section_count = 1;
    }
    return panel;
}

static void bind(PropertySection* section, i64 index, void* value) {
    if (index < section->rows.count) section->rows[index].value = value;
}

static void bind_color(PropertySection* section, i64 index, f32* value, ColorBinding binding) {
    if (index >= section->rows.count) return;
    section->rows[index].value = value;
    section->rows[index].color_binding = binding;
}

// Binds the rows to this frame's values; false when there is nothing to show.
static bool properties_bind(PropertiesPanel* panel, Group** group) {
    *group = 0;
    if (panel->kind == PANEL_GLOBAL_PROPERTIES) {
        PieceSettings* settings = &g_piece.settings;
        PropertySection* audio = &panel->sections[0];
        bind(audio, GLOBAL_ROW_SAMPLE_RATE, &settings->sample_rate);
        bind(audio, GLOBAL_ROW_STEREO, &settings->stereo);
        bind(audio, GLOBAL_ROW_SAMPLE_TYPE, &settings->sample_type);
        bind(audio, GLOBAL_ROW_START_TIME, &settings->start_time);
        bind(audio, GLOBAL_ROW_END_TIME, &settings->end_time);
        bind_color(&panel->sections[1], GLOBAL_ROW_BACKGROUND, settings->background,
                   color_binding_background());
        return true;
    }
    i64 id = properties_current_group();
    *group = id >= 0 ? group_find(&g_piece, id) : 0;
    PropertySection* note = &panel->sections[0];
    if (!*group) {
        for (i64 i = 0; i < note->rows.count; i += 1) note->rows[i].value = 0;
        return false;
    }
    bind(note, GROUP_ROW_VISIBLE, &(*group)->visible);
    bind_color(note, GROUP_ROW_COLOR, (*group)->color, color_binding_group(id));
    bind(note, GROUP_ROW_TEXTURE, &(*group)->texture_name);
    bind(note, GROUP_ROW_SIZE, &(*group)->size);
    return true;
}

void properties_panel(Panel* panel_record, Rect content) {
    PropertiesPanel* panel = (PropertiesPanel*)panel_record->content;
    Group* group = 0;
    if (!properties_bind(panel, &group)) return;
    f32 s = g_theme.scale, o = g_theme.offset;
    f32 x = content.x, y = content.y, w = content.width, h = content.height;

    ScrollBarState* scroll = &panel->scroll;
    scroll->min_thumb_length = s;
    scroll->visible_fraction = h / (panel->content_height + h);
    Rect list = {x, y, w - s - o, h};
    i32 wheel = input_mouse_wheel();
    if (wheel != 0 && interaction_allowed() && rect_contains(list, g_ui.mouse_x, g_ui.mouse_y))
        scroll->position += 0.125f * (f32)wheel;
    scroll_bar(scroll, Rect{x + w - s - o, y + o, s, h - 2 * o});
    if (scroll->position < 0) scroll->position = 0;
    if (scroll->position > 1) scroll->position = 1;

    f32 start = y + h - s - o + (1 - scroll->position) * panel->content_height;
    f32 cursor = start;
    bool changed = false;
    for (i64 i = 0; i < panel->section_count; i += 1) {
        property_section(&panel->sections[i], 6 * s, x, w, &cursor);
        changed = changed || panel->sections[i].changed;
    }
    f32 reach = start - cursor + o - h;
    panel->content_height = reach > 0 ? reach : 0;

    if (changed) g_piece.modified = 1;
}
