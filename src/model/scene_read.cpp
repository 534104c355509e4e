// Scene decoder. The same walk over the file runs twice: first it only measures and
// checks (counts, string lengths, wave counts, every byte inside the file) and writes
// nothing; then, with all memory reserved, it fills the piece. A damaged or hostile file
// therefore fails in the first walk and leaves the piece alone, and the second walk has
// nothing left that can fail.
#include <string.h>

#include "model/keys.h"
#include "model/scene.h"

// Smallest size of one record of each list, for refusing counts the file cannot hold.
enum {
    GROUP_MIN_BYTES = 8 + 1 + 8 + 16 + 8,
    TREE_MIN_BYTES = 8 + 8 + 1,
    NOTE_MIN_BYTES = SCENE_HEADER_BYTES,
    KEY_MIN_BYTES = SCENE_HEADER_BYTES + 8 + 8,
    MEASURE_MIN_BYTES = SCENE_HEADER_BYTES + 16 + 16,
    TEMPO_MIN_BYTES = SCENE_HEADER_BYTES + SCENE_CURVE_BYTES,
    SOUND_MIN_BYTES = SCENE_HEADER_BYTES + 1 + 4,
    SHAPE_MIN_BYTES = SCENE_HEADER_BYTES + 8 + 8,
    VOLUME_MIN_BYTES = SCENE_HEADER_BYTES + 2 * SCENE_CURVE_BYTES,
    PITCH_MIN_BYTES = SCENE_HEADER_BYTES + SCENE_CURVE_BYTES,
    REPEAT_MIN_BYTES = SCENE_HEADER_BYTES + 4 + 32,
    TEXT_MIN_BYTES = SCENE_HEADER_BYTES + 16 + 8,
};

// The lists of the file: groups, the tree, then one per object kind in kind order.
static const i32 LIST_GROUPS = 0, LIST_TREE = 1, LIST_OBJECTS = 2;
static const i32 LIST_COUNT = LIST_OBJECTS + OBJECT_KIND_COUNT;

struct SceneReader {
    const u8* data;
    i64 size;
    i64 position;
    bool failed;
    u8 pool;
    Piece* piece;  // null while measuring: nothing is written then
    i64 counts[LIST_COUNT];
    i64 string_bytes;  // measured total, then bytes handed out while filling
    i64 point_count;   // the same for curve points
    u8* strings;
    CurvePoint* points;
    i64 largest_object_id;
    i64 largest_group_id;
};

// ---------------------------------------------------------------------------
// Bounded primitives: a read that does not fit in the file fails the reader and yields 0.
// ---------------------------------------------------------------------------
static bool reader_need(SceneReader* reader, i64 bytes) {
    if (reader->failed || bytes < 0 || bytes > reader->size - reader->position) {
        reader->failed = true;
        return false;
    }
    return true;
}

static u64 read_uint(SceneReader* reader, i32 bytes) {
    if (!reader_need(reader, bytes)) return 0;
    u64 value = 0;
    for (i32 i = 0; i < bytes; i += 1) value |= (u64)reader->data[reader->position + i] << (8 * i);
    reader->position += bytes;
    return value;
}

static u8 read_u8(SceneReader* reader) { return (u8)read_uint(reader, 1); }
static i64 read_i64(SceneReader* reader) { return (i64)read_uint(reader, 8); }

static f32 read_f32(SceneReader* reader) {
    u32 bits = (u32)read_uint(reader, 4);
    f32 value;
    memcpy(&value, &bits, sizeof(value));
    return value;
}

static f64 read_f64(SceneReader* reader) {
    u64 bits = read_uint(reader, 8);
    f64 value;
    memcpy(&value, &bits, sizeof(value));
    return value;
}

static Fraction read_fraction(SceneReader* reader) {
    Fraction value;
    value.numerator = read_i64(reader);
    value.denominator = read_i64(reader);
    return value;
}

// Numbers a file can hold but the piece cannot use (NaN, infinities) take the value a new
// object gets, so that they never reach the drawing or the sound.
static f64 finite_or(f64 value, f64 fallback) {
    return value - value == 0.0 ? value : fallback;  // false for NaN and both infinities
}

static f64 read_f64_or(SceneReader* reader, f64 fallback) {
    return finite_or(read_f64(reader), fallback);
}

static void read_rgba(SceneReader* reader, f32* color, const f32* fallback) {
    for (i32 i = 0; i < 4; i += 1)
        color[i] = (f32)finite_or((f64)read_f32(reader), (f64)fallback[i]);
}

// A 32-bit count, read as signed: negative counts (2^31 or more) and counts of records
// that cannot fit in the rest of the file are refused before anything is sized by them.
static i64 read_count(SceneReader* reader, i64 smallest_record) {
    i32 count = (i32)(u32)read_uint(reader, 4);
    if (reader->failed) return 0;
    if (count < 0 || (i64)count > (reader->size - reader->position) / smallest_record) {
        reader->failed = true;
        return 0;
    }
    return count;
}

// While measuring, the length is checked and counted; while filling, the bytes are
// copied into the piece's storage block and the copy is returned.
static Str read_str(SceneReader* reader) {
    i64 length = read_i64(reader);
    if (!reader_need(reader, length)) return Str{0, 0};
    const u8* source = reader->data + reader->position;
    reader->position += length;
    if (!reader->piece) {
        reader->string_bytes += length;
        return Str{0, 0};
    }
    if (length == 0) return Str{0, 0};
    u8* copy = reader->strings + reader->string_bytes;
    memcpy(copy, source, (size_t)length);
    reader->string_bytes += length;
    return Str{copy, length};
}

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------
static void raise(i64* largest, i64 id) {
    if (id > *largest) *largest = id;
}

static void read_header(SceneReader* reader, ObjectHeader* header, u8 kind) {
    header->kind = kind;
    header->id = read_i64(reader);
    header->group_id = read_i64(reader);
    header->scope = read_u8(reader);
    header->time = read_fraction(reader);
    header->duration = read_fraction(reader);
    header->pitch = read_fraction(reader);
    header->visible = 1;
    raise(&reader->largest_object_id, header->id);
}

static void read_curve(SceneReader* reader, Curve* curve) {
    curve_init(curve, reader->pool);
    u8 flags = read_u8(reader);
    curve->logarithmic = flags & 1;
    curve->visible = (flags >> 1) & 1;
    curve->editable = (flags >> 2) & 1;
    curve->minimum = read_fraction(reader);
    curve->maximum = read_fraction(reader);
    i64 count = read_count(reader, SCENE_POINT_BYTES);
    if (reader->failed || count == 0) return;
    if (!reader->piece) {
        reader->position += count * SCENE_POINT_BYTES;  // read_count has bounded it
        reader->point_count += count;
        return;
    }
    CurvePoint* points = reader->points + reader->point_count;
    reader->point_count += count;
    for (i64 i = 0; i < count; i += 1) {
        points[i].x = read_fraction(reader);
        points[i].y = read_fraction(reader);
        points[i].in_x = read_fraction(reader);
        points[i].in_y = read_fraction(reader);
        points[i].out_x = read_fraction(reader);
        points[i].out_y = read_fraction(reader);
    }
    curve->points.data = points;
    curve->points.count = count;
    curve->points.capacity = count;
}

static void read_group(SceneReader* reader, Group* group) {
    group->id = read_i64(reader);
    group->visible = read_u8(reader);
    group->size = read_f64_or(reader, 1.0);
    read_rgba(reader, group->color, g_piece_defaults.note_color);
    group->texture_name = read_str(reader);
    raise(&reader->largest_group_id, group->id);
}

static void read_tree_entry(SceneReader* reader, GroupTreeEntry* entry) {
    entry->name = read_str(reader);
    i64 id = read_i64(reader);
    entry->id = (i32)id;  // kept in 32 bits, as the tree panel holds it
    u8 flags = read_u8(reader);
    entry->selected = flags & 1;
    entry->folder_begin = (flags >> 1) & 1;
    entry->folder_end = (flags >> 2) & 1;
    entry->expanded = (flags >> 3) & 1;
    raise(&reader->largest_group_id, entry->id);
    if (!reader->piece) return;
    const Group* group = group_find(reader->piece, entry->id);
    if (group) {
        for (i32 i = 0; i < 3; i += 1) entry->color[i] = group->color[i];
        entry->color[3] = group->visible ? 1.0f : 0.5f;
    } else if (entry->folder_begin || entry->folder_end) {
        // Folder rows look as the tree panel makes them; they would be invisible otherwise.
        for (i32 i = 0; i < 4; i += 1) entry->color[i] = g_piece_defaults.folder_color[i];
    }
}

static void read_note(SceneReader* reader, NoteObject* note) {
    read_header(reader, &note->header, OBJECT_NOTE);
    const Group* group = reader->piece ? group_find(reader->piece, note->header.group_id) : 0;
    note->draw_size = group ? (f32)group->size : 1.0f;
}

static void read_key(SceneReader* reader, KeyObject* key) {
    read_header(reader, &key->header, OBJECT_KEY);
    key->reference_frequency = read_f64_or(reader, 440.0);
    key->key_name = read_str(reader);
    const KeyDefinition* definition = reader->piece ? key_by_name(key->key_name) : 0;
    if (definition) {
        key->classes = definition->classes;
        key->pitches = definition->pitches;
    } else {
        array_init(&key->classes, reader->pool);
        array_init(&key->pitches, reader->pool);
    }
}

static void read_measure(SceneReader* reader, MeasureObject* measure) {
    read_header(reader, &measure->header, OBJECT_MEASURE);
    measure->bar_length = read_fraction(reader);
    const f32* measure_color = g_piece_defaults.measure_color;
    const f32 bar_color[4] = {measure_color[0], measure_color[1], measure_color[2], 0.3f};
    read_rgba(reader, measure->bar_color, bar_color);
}

static void read_tempo(SceneReader* reader, TempoObject* tempo) {
    read_header(reader, &tempo->header, OBJECT_TEMPO);
    read_curve(reader, &tempo->tempo);
}

static void read_sound(SceneReader* reader, SoundObject* sound) {
    read_header(reader, &sound->header, OBJECT_SOUND);
    u8 flags = read_u8(reader);
    sound->visible = flags & 1;
    sound->editable = (flags >> 1) & 1;
    i32 waves = (i32)(u32)read_uint(reader, 4);
    if (waves < 0 || waves > SOUND_MAX_WAVES) {  // the record holds four names
        reader->failed = true;
        return;
    }
    sound->wave_count = waves;
    for (i32 i = 0; i < waves; i += 1) sound->wave_names[i] = read_str(reader);
    for (i32 i = 0; i < SOUND_MAX_WAVES - 1; i += 1) curve_init(&sound->blend[i], reader->pool);
    for (i32 i = 0; i < waves - 1; i += 1) read_curve(reader, &sound->blend[i]);
}

static void read_shape(SceneReader* reader, ShapeObject* shape) {
    read_header(reader, &shape->header, OBJECT_SHAPE);
    shape->shape_name = read_str(reader);
    shape->time_offset = read_f64_or(reader, 0.0);
}

static void read_volume(SceneReader* reader, VolumeObject* volume) {
    read_header(reader, &volume->header, OBJECT_VOLUME);
    read_curve(reader, &volume->volume);
    read_curve(reader, &volume->pan);
}

static void read_pitch(SceneReader* reader, PitchObject* pitch) {
    read_header(reader, &pitch->header, OBJECT_PITCH);
    read_curve(reader, &pitch->pitch);
}

static void read_repeat(SceneReader* reader, RepeatObject* repeat) {
    read_header(reader, &repeat->header, OBJECT_REPEAT);
    repeat->count = (i32)(u32)read_uint(reader, 4);
    repeat->start = read_fraction(reader);
    repeat->end = read_fraction(reader);
}

static void read_text(SceneReader* reader, TextObject* text) {
    read_header(reader, &text->header, OBJECT_TEXT);
    read_rgba(reader, text->color, g_piece_defaults.text_color);
    text->text = read_str(reader);
    // Not in the file: every text takes the values a new text gets (the view draws a
    // text without a font in the default one).
    text->size = 32.0;
    text->align_x = -1.0f;
    text->align_y = 0.0f;
}

static void read_settings(SceneReader* reader, PieceSettings* settings) {
    settings->start_time = read_fraction(reader);
    settings->end_time = read_fraction(reader);
    settings->sample_rate = read_i64(reader);
    settings->stereo = read_u8(reader) ? 1 : 0;
    settings->sample_type = read_u8(reader);
    PieceSettings defaults;
    piece_settings_default(&defaults);
    read_rgba(reader, settings->background, defaults.background);
}

// One list: its count, then the records. Measuring reads each record into a scratch
// record; filling resizes the piece's array (its room was reserved) and reads in place.
template <typename T>
static void read_list(SceneReader* reader, i32 list, PoolArray<T>* array,
                      i64 smallest_record, void (*read_one)(SceneReader*, T*)) {
    i64 count = read_count(reader, smallest_record);
    if (reader->failed) return;
    if (!reader->piece) {
        reader->counts[list] = count;
        T scratch;
        for (i64 i = 0; i < count && !reader->failed; i += 1) {
            memset((void*)&scratch, 0, sizeof(scratch));
            read_one(reader, &scratch);
        }
        return;
    }
    array_resize(array, count);
    for (i64 i = 0; i < count; i += 1) {
        memset((void*)&array->data[i], 0, sizeof(T));
        read_one(reader, &array->data[i]);
    }
}

// The walk over everything after the magic and the version, in file order.
static void read_piece(SceneReader* reader, Piece* piece) {
    read_list(reader, LIST_GROUPS, &piece->groups, GROUP_MIN_BYTES, read_group);
    read_list(reader, LIST_TREE, &piece->tree, TREE_MIN_BYTES, read_tree_entry);
#define READ_LIST(NAME, name, Type, list) \
    read_list(reader, LIST_OBJECTS + OBJECT_##NAME, &piece->list, NAME##_MIN_BYTES, read_##name);
    OBJECT_KINDS(READ_LIST)
#undef READ_LIST
    PieceSettings scratch;
    read_settings(reader, reader->piece ? &piece->settings : &scratch);
}

// ---------------------------------------------------------------------------
// Reserving: room for every list and for the storage block, taken into copies of the
// array headers so that a refusal halfway leaves the piece's own headers as they were
// (nothing is given back before everything is reserved, so the old blocks stay valid).
// ---------------------------------------------------------------------------
template <typename T>
static bool reserve_list(PoolArray<T>* grown, const PoolArray<T>* array, u8 pool, i64 count) {
    *grown = *array;
    if (grown->pool != pool) array_init(grown, pool);  // the old storage is in another pool
    return array_reserve(grown, count);
}

struct ReservedLists {
    PoolArray<Group> groups;
    PoolArray<GroupTreeEntry> tree;
#define LIST(NAME, name, Type, list) PoolArray<Type> list;
    OBJECT_KINDS(LIST)
#undef LIST
    PoolArray<u8> storage;
};

static bool reserve_all(ReservedLists* lists, const Piece* piece, const SceneReader* measured,
                        u8 pool) {
    const i64* counts = measured->counts;
    i64 storage_bytes = measured->point_count * (i64)sizeof(CurvePoint) + measured->string_bytes;
    bool reserved = reserve_list(&lists->groups, &piece->groups, pool, counts[LIST_GROUPS]) &&
                    reserve_list(&lists->tree, &piece->tree, pool, counts[LIST_TREE]);
#define RESERVE(NAME, name, Type, list) \
    reserved = reserved &&              \
               reserve_list(&lists->list, &piece->list, pool, counts[LIST_OBJECTS + OBJECT_##NAME]);
    OBJECT_KINDS(RESERVE)
#undef RESERVE
    return reserved && reserve_list(&lists->storage, &piece->decoded_storage, pool, storage_bytes);
}

// The old block of a list that moved to a larger one.
template <typename T>
static void moved_give_back(const PoolArray<T>* old, const PoolArray<T>* grown) {
    if (old->data && old->data != grown->data && old->pool == grown->pool)
        pool_free(old->pool, old->data, old->capacity * (i64)sizeof(T));
}

// Once nothing can fail: what the piece's records own and the blocks the lists moved out
// of go back to the pool, so that reading file after file (opens, undo) reuses them.
static void old_blocks_give_back(Piece* piece, const ReservedLists* lists, u8 pool) {
    if (piece->pool != pool) return;
    const PoolArray<u8>* storage = &piece->decoded_storage;
    piece_blocks_give_back(piece, storage->data, storage->capacity);
    moved_give_back(&piece->groups, &lists->groups);
    moved_give_back(&piece->tree, &lists->tree);
#define GIVE_BACK(NAME, name, Type, list) moved_give_back(&piece->list, &lists->list);
    OBJECT_KINDS(GIVE_BACK)
#undef GIVE_BACK
    moved_give_back(storage, &lists->storage);
}

static void adopt_lists(Piece* piece, const ReservedLists* lists) {
    piece->groups = lists->groups;
    piece->tree = lists->tree;
#define ADOPT(NAME, name, Type, list) piece->list = lists->list;
    OBJECT_KINDS(ADOPT)
#undef ADOPT
    piece->decoded_storage = lists->storage;
}

// One above the largest id, starting from 0; wraps (defined) past the largest i64.
static i64 id_after(i64 largest) { return (i64)((u64)(largest > 0 ? largest : 0) + 1u); }

SceneResult scene_decode(Str contents, Piece* piece, u8 pool) {
    SceneReader reader = {};
    reader.data = contents.data;
    reader.size = contents.data && contents.length > 0 ? contents.length : 0;
    reader.pool = pool;
    if ((u32)read_uint(&reader, 4) != SCENE_MAGIC || reader.failed) return SCENE_INVALID;
    u16 version = (u16)read_uint(&reader, 2);
    if (reader.failed) return SCENE_INVALID;
    if (version != SCENE_VERSION) return SCENE_INCOMPATIBLE;
    const i64 body = reader.position;

    read_piece(&reader, piece);
    if (reader.failed) return SCENE_INVALID;

    ReservedLists lists;
    if (!reserve_all(&lists, piece, &reader, pool)) return SCENE_NO_MEMORY;
    old_blocks_give_back(piece, &lists, pool);
    adopt_lists(piece, &lists);
    piece->pool = pool;

    SceneReader filler = reader;
    filler.position = body;
    filler.piece = piece;
    filler.points = (CurvePoint*)piece->decoded_storage.data;
    filler.point_count = 0;
    filler.strings = piece->decoded_storage.data + reader.point_count * (i64)sizeof(CurvePoint);
    filler.string_bytes = 0;
    filler.largest_object_id = 0;
    filler.largest_group_id = 0;
    read_piece(&filler, piece);
    piece->decoded_storage.count =
        reader.point_count * (i64)sizeof(CurvePoint) + reader.string_bytes;

    piece->next_object_id = id_after(filler.largest_object_id);
    piece->next_group_id = id_after(filler.largest_group_id);
    piece->modified = 0;
    return SCENE_OK;
}
