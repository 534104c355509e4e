// Scene encoder: writes the piece field by field, little-endian, in list order, without
// reducing anything. One walk over the piece serves twice: without a buffer it only
// counts the bytes, so the file is built in one exactly sized block, never regrown.
#include <string.h>

#include "model/scene.h"

struct SceneWriter {
    u8* data;  // null while counting
    i64 position;
};

static void put_uint(SceneWriter* writer, u64 value, i32 bytes) {
    if (writer->data) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        // The file's byte order is the machine's: the low bytes go as they lie.
        memcpy(writer->data + writer->position, &value, (size_t)bytes);
#else
        for (i32 i = 0; i < bytes; i += 1)
            writer->data[writer->position + i] = (u8)(value >> (8 * i));
#endif
    }
    writer->position += bytes;
}

static void put_u8(SceneWriter* writer, u8 value) { put_uint(writer, value, 1); }
static void put_i64(SceneWriter* writer, i64 value) { put_uint(writer, (u64)value, 8); }
// Counts keep their low 32 bits.
static void put_count(SceneWriter* writer, i64 count) {
    put_uint(writer, (u64)count & 0xFFFFFFFFu, 4);
}

static void put_f32(SceneWriter* writer, f32 value) {
    u32 bits;
    memcpy(&bits, &value, sizeof(bits));
    put_uint(writer, bits, 4);
}

static void put_f64(SceneWriter* writer, f64 value) {
    u64 bits;
    memcpy(&bits, &value, sizeof(bits));
    put_uint(writer, bits, 8);
}

static void put_fraction(SceneWriter* writer, Fraction value) {
    put_i64(writer, value.numerator);
    put_i64(writer, value.denominator);
}

static void put_rgba(SceneWriter* writer, const f32* color) {
    for (i32 i = 0; i < 4; i += 1) put_f32(writer, color[i]);
}

static void put_str(SceneWriter* writer, Str text) {
    i64 length = text.length > 0 ? text.length : 0;
    put_i64(writer, length);
    if (writer->data && length > 0)
        memcpy(writer->data + writer->position, text.data, (size_t)length);
    writer->position += length;
}

static void put_header(SceneWriter* writer, const ObjectHeader* header) {
    put_i64(writer, header->id);
    put_i64(writer, header->group_id);
    put_u8(writer, header->scope);
    put_fraction(writer, header->time);
    put_fraction(writer, header->duration);
    put_fraction(writer, header->pitch);
}

static void put_curve(SceneWriter* writer, const Curve* curve) {
    u8 flags = (curve->logarithmic ? 1 : 0) | (curve->visible ? 2 : 0) | (curve->editable ? 4 : 0);
    put_u8(writer, flags);
    put_fraction(writer, curve->minimum);
    put_fraction(writer, curve->maximum);
    i64 count = curve->points.count > 0 ? curve->points.count : 0;
    put_count(writer, count);
    for (i64 i = 0; i < count; i += 1) {
        const CurvePoint* point = &curve->points.data[i];
        put_fraction(writer, point->x);
        put_fraction(writer, point->y);
        put_fraction(writer, point->in_x);
        put_fraction(writer, point->in_y);
        put_fraction(writer, point->out_x);
        put_fraction(writer, point->out_y);
    }
}

// ---------------------------------------------------------------------------
// One record of each kind
// ---------------------------------------------------------------------------
static void put_note(SceneWriter* writer, const NoteObject* note) {
    put_header(writer, &note->header);
}

static void put_key(SceneWriter* writer, const KeyObject* key) {
    put_header(writer, &key->header);
    put_f64(writer, key->reference_frequency);
    put_str(writer, key->key_name);
}

static void put_measure(SceneWriter* writer, const MeasureObject* measure) {
    put_header(writer, &measure->header);
    put_fraction(writer, measure->bar_length);
    put_rgba(writer, measure->bar_color);
}

static void put_tempo(SceneWriter* writer, const TempoObject* tempo) {
    put_header(writer, &tempo->header);
    put_curve(writer, &tempo->tempo);
}

static void put_sound(SceneWriter* writer, const SoundObject* sound) {
    put_header(writer, &sound->header);
    put_u8(writer, (sound->visible ? 1 : 0) | (sound->editable ? 2 : 0));
    i64 waves = sound_wave_count(sound);
    put_count(writer, waves);
    for (i64 w = 0; w < waves; w += 1) put_str(writer, sound->wave_names[w]);
    for (i64 c = 0; c < waves - 1; c += 1) put_curve(writer, &sound->blend[c]);
}

static void put_shape(SceneWriter* writer, const ShapeObject* shape) {
    put_header(writer, &shape->header);
    put_str(writer, shape->shape_name);
    put_f64(writer, shape->time_offset);
}

static void put_volume(SceneWriter* writer, const VolumeObject* volume) {
    put_header(writer, &volume->header);
    put_curve(writer, &volume->volume);
    put_curve(writer, &volume->pan);
}

static void put_pitch(SceneWriter* writer, const PitchObject* pitch) {
    put_header(writer, &pitch->header);
    put_curve(writer, &pitch->pitch);
}

static void put_repeat(SceneWriter* writer, const RepeatObject* repeat) {
    put_header(writer, &repeat->header);
    put_count(writer, repeat->count);
    put_fraction(writer, repeat->start);
    put_fraction(writer, repeat->end);
}

static void put_text(SceneWriter* writer, const TextObject* text) {
    put_header(writer, &text->header);
    put_rgba(writer, text->color);
    put_str(writer, text->text);
}

static void put_piece(SceneWriter* writer, const Piece* piece) {
    put_uint(writer, SCENE_MAGIC, 4);
    put_uint(writer, SCENE_VERSION, 2);

    put_count(writer, piece->groups.count);
    for (i64 i = 0; i < piece->groups.count; i += 1) {
        const Group* group = &piece->groups.data[i];
        put_i64(writer, group->id);
        put_u8(writer, group->visible);
        put_f64(writer, group->size);
        put_rgba(writer, group->color);
        put_str(writer, group->texture_name);
    }

    put_count(writer, piece->tree.count);
    for (i64 i = 0; i < piece->tree.count; i += 1) {
        const GroupTreeEntry* entry = &piece->tree.data[i];
        put_str(writer, entry->name);
        put_i64(writer, (i64)entry->id);
        u8 flags = (entry->selected ? 1 : 0) | (entry->folder_begin ? 2 : 0) |
                   (entry->folder_end ? 4 : 0) | (entry->expanded ? 8 : 0);
        put_u8(writer, flags);
    }

#define PUT_LIST(NAME, name, Type, list)                                      \
    put_count(writer, piece->list.count);                                     \
    for (i64 i = 0; i < piece->list.count; i += 1) put_##name(writer, &piece->list.data[i]);
    OBJECT_KINDS(PUT_LIST)
#undef PUT_LIST

    const PieceSettings* settings = &piece->settings;
    put_fraction(writer, settings->start_time);
    put_fraction(writer, settings->end_time);
    put_i64(writer, settings->sample_rate);
    put_u8(writer, settings->stereo);
    put_u8(writer, settings->sample_type);
    put_rgba(writer, settings->background);
}

i64 scene_encoded_size(const Piece* piece) {
    SceneWriter counter = {0, 0};
    put_piece(&counter, piece);
    return counter.position;
}

Str scene_encode(const Piece* piece, u8 pool) {
    i64 size = scene_encoded_size(piece);
    u8* block = (u8*)pool_alloc(pool, size);
    if (!block) return Str{0, 0};
    SceneWriter writer = {block, 0};
    put_piece(&writer, piece);
    return Str{block, writer.position};
}
