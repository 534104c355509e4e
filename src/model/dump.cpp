// The listing of a piece for `sorvane-render --dump`: sections in scene-file order, one
// line per record, curves and their points indented under their object. Only reads.
#include "model/dump.h"

static void text(StrBuilder* out, Str words) { str_builder_append(out, words); }

static void field_i64(StrBuilder* out, Str name, i64 value) {
    const FormatArg args[] = {fa_str(name), fa_i64(value)};
    format_append(out, STR(" %a=%b"), args, ARRAY_COUNT(args));
}

static void field_f64(StrBuilder* out, Str name, f64 value) {
    const FormatArg args[] = {fa_str(name), fa_f64(value)};
    format_append(out, STR(" %a=%b"), args, ARRAY_COUNT(args));
}

static void fraction_value(StrBuilder* out, Fraction value) {
    const FormatArg args[] = {fa_i64(value.numerator), fa_i64(value.denominator)};
    format_append(out, STR("%a/%b"), args, ARRAY_COUNT(args));
}

static void field_fraction(StrBuilder* out, Str name, Fraction value) {
    const FormatArg args[] = {fa_str(name)};
    format_append(out, STR(" %a="), args, ARRAY_COUNT(args));
    fraction_value(out, value);
}

static void field_color(StrBuilder* out, Str name, const f32* color) {
    const FormatArg args[] = {fa_str(name), fa_f64(color[0]), fa_f64(color[1]), fa_f64(color[2]),
                              fa_f64(color[3])};
    format_append(out, STR(" %a=%b,%c,%d,%e"), args, ARRAY_COUNT(args));
}

static const char hex_digits[] = "0123456789abcdef";

void dump_string(StrBuilder* out, Str value) {
    str_builder_put(out, '"');
    for (i64 i = 0; i < value.length; i += 1) {
        u8 byte = value.data[i];
        if (byte == '"' || byte == '\\') {
            str_builder_put(out, '\\');
            str_builder_put(out, byte);
        } else if (byte == '\n') {
            text(out, STR("\\n"));
        } else if (byte == '\t') {
            text(out, STR("\\t"));
        } else if (byte == '\r') {
            text(out, STR("\\r"));
        } else if (byte < 0x20 || byte == 0x7F) {
            text(out, STR("\\x"));
            str_builder_put(out, (u8)hex_digits[byte >> 4]);
            str_builder_put(out, (u8)hex_digits[byte & 15]);
        } else {
            str_builder_put(out, byte);
        }
    }
    str_builder_put(out, '"');
}

static void field_string(StrBuilder* out, Str name, Str value) {
    const FormatArg args[] = {fa_str(name)};
    format_append(out, STR(" %a="), args, ARRAY_COUNT(args));
    dump_string(out, value);
}

static void section(StrBuilder* out, Str name, i64 count) {
    text(out, name);
    field_i64(out, STR("count"), count);
    str_builder_put(out, '\n');
}

static void header_fields(StrBuilder* out, const ObjectHeader* header) {
    field_i64(out, STR("id"), header->id);
    field_i64(out, STR("group"), header->group_id);
    if (header->scope <= SCOPE_LOCAL) {
        text(out, STR(" scope="));
        text(out, scope_name(header->scope));
    } else {
        field_i64(out, STR("scope"), header->scope);
    }
    field_fraction(out, STR("time"), header->time);
    field_fraction(out, STR("duration"), header->duration);
    field_fraction(out, STR("pitch"), header->pitch);
}

static void curve_lines(StrBuilder* out, Str name, const Curve* curve) {
    text(out, STR("  curve "));
    text(out, name);
    field_i64(out, STR("visible"), curve->visible);
    field_i64(out, STR("editable"), curve->editable);
    field_i64(out, STR("logarithmic"), curve->logarithmic);
    field_fraction(out, STR("minimum"), curve->minimum);
    field_fraction(out, STR("maximum"), curve->maximum);
    field_i64(out, STR("points"), curve->points.count);
    str_builder_put(out, '\n');
    for (i64 i = 0; i < curve->points.count; i += 1) {
        const CurvePoint* point = &curve->points.data[i];
        text(out, STR("    point"));
        field_fraction(out, STR("x"), point->x);
        field_fraction(out, STR("y"), point->y);
        field_fraction(out, STR("in_x"), point->in_x);
        field_fraction(out, STR("in_y"), point->in_y);
        field_fraction(out, STR("out_x"), point->out_x);
        field_fraction(out, STR("out_y"), point->out_y);
        str_builder_put(out, '\n');
    }
}

// By the list's kind, not the header's, so a wrong kind byte cannot misread a record.
static void object_line(StrBuilder* out, u8 kind, const ObjectHeader* header) {
    text(out, object_kind_name(kind));
    header_fields(out, header);
    switch (kind) {
        case OBJECT_KEY: {
            const KeyObject* key = (const KeyObject*)header;
            field_f64(out, STR("frequency"), key->reference_frequency);
            field_string(out, STR("name"), key->key_name);
        } break;
        case OBJECT_MEASURE: {
            const MeasureObject* measure = (const MeasureObject*)header;
            field_fraction(out, STR("bar_length"), measure->bar_length);
            field_color(out, STR("color"), measure->bar_color);
        } break;
        case OBJECT_SOUND: {
            const SoundObject* sound = (const SoundObject*)header;
            field_i64(out, STR("visible"), sound->visible);
            field_i64(out, STR("editable"), sound->editable);
            field_i64(out, STR("waves"), sound->wave_count);
            for (i64 i = 0; i < sound->wave_count && i < SOUND_MAX_WAVES; i += 1)
                field_string(out, STR("wave"), sound->wave_names[i]);
        } break;
        case OBJECT_SHAPE: {
            const ShapeObject* shape = (const ShapeObject*)header;
            field_string(out, STR("name"), shape->shape_name);
            field_f64(out, STR("time_offset"), shape->time_offset);
        } break;
        case OBJECT_REPEAT: {
            const RepeatObject* repeat = (const RepeatObject*)header;
            field_fraction(out, STR("start"), repeat->start);
            field_fraction(out, STR("end"), repeat->end);
            field_i64(out, STR("count"), repeat->count);
        } break;
        case OBJECT_TEXT: {
            const TextObject* text_object = (const TextObject*)header;
            field_color(out, STR("color"), text_object->color);
            field_string(out, STR("text"), text_object->text);
        } break;
        default: break;
    }
    str_builder_put(out, '\n');

    switch (kind) {
        case OBJECT_TEMPO:
            curve_lines(out, STR("tempo"), &((const TempoObject*)header)->tempo);
            break;
        case OBJECT_PITCH:
            curve_lines(out, STR("pitch"), &((const PitchObject*)header)->pitch);
            break;
        case OBJECT_VOLUME:
            curve_lines(out, STR("volume"), &((const VolumeObject*)header)->volume);
            curve_lines(out, STR("pan"), &((const VolumeObject*)header)->pan);
            break;
        case OBJECT_SOUND: {
            const SoundObject* sound = (const SoundObject*)header;
            const Str names[SOUND_MAX_WAVES - 1] = {STR("blend1"), STR("blend2"), STR("blend3")};
            for (i64 i = 0; i < sound->wave_count - 1 && i < SOUND_MAX_WAVES - 1; i += 1)
                curve_lines(out, names[i], &sound->blend[i]);
        } break;
        default: break;
    }
}

void piece_dump(StrBuilder* out, const Piece* piece) {
    text(out, STR("scene version=0\n"));
    section(out, STR("groups"), piece->groups.count);
    for (i64 i = 0; i < piece->groups.count; i += 1) {
        const Group* group = &piece->groups.data[i];
        text(out, STR("group"));
        field_i64(out, STR("id"), group->id);
        field_i64(out, STR("visible"), group->visible);
        field_f64(out, STR("size"), group->size);
        field_color(out, STR("color"), group->color);
        field_string(out, STR("texture"), group->texture_name);
        str_builder_put(out, '\n');
    }
    section(out, STR("tree"), piece->tree.count);
    for (i64 i = 0; i < piece->tree.count; i += 1) {
        const GroupTreeEntry* entry = &piece->tree.data[i];
        text(out, STR("entry"));
        field_i64(out, STR("id"), entry->id);
        field_string(out, STR("name"), entry->name);
        field_i64(out, STR("folder_begin"), entry->folder_begin);
        field_i64(out, STR("folder_end"), entry->folder_end);
        field_i64(out, STR("expanded"), entry->expanded);
        field_i64(out, STR("selected"), entry->selected);
        str_builder_put(out, '\n');
    }
#define SECTION(NAME, name, Type, list) STR(#list),
    const Str sections[OBJECT_KIND_COUNT] = {OBJECT_KINDS(SECTION)};
#undef SECTION
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(piece, kind);
        section(out, sections[kind], list.count);
        for (i64 i = 0; i < list.count; i += 1) object_line(out, kind, object_list_get(list, i));
    }
    const PieceSettings* settings = &piece->settings;
    text(out, STR("settings"));
    field_fraction(out, STR("start_time"), settings->start_time);
    field_fraction(out, STR("end_time"), settings->end_time);
    field_i64(out, STR("sample_rate"), settings->sample_rate);
    field_i64(out, STR("stereo"), settings->stereo);
    field_i64(out, STR("sample_type"), settings->sample_type);
    field_color(out, STR("background"), settings->background);
    str_builder_put(out, '\n');
}
