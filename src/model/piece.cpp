// The piece record and the operations that change it: set-up, groups, objects of any
// kind, deep copies, curves and the time shifts of the place mode. Owns g_piece, which
// belongs to the main thread; every function here also works on another piece (the render
// worker's decoded copy) and then touches nothing process-wide.
#include "model/piece.h"

#include "platform/system.h"

Piece g_piece;
PieceDefaults g_piece_defaults;  // zero until a theme is set, as the theme itself

#define FITS(NAME, name, Type, list) \
    static_assert(sizeof(Type) <= OBJECT_MAX_SIZE, "OBJECT_MAX_SIZE must hold every record");
OBJECT_KINDS(FITS)
#undef FITS

void piece_settings_default(PieceSettings* settings) {
    *settings = PieceSettings{};
    settings->background[2] = 0.5f;
    settings->background[3] = 1.0f;
    settings->sample_rate = 44100;
    settings->stereo = 1;
    settings->sample_type = SAMPLE_TYPE_SHORT;
    settings->start_time = Fraction{0, 1};
    settings->end_time = Fraction{120, 1};
}

void piece_init(Piece* piece, u8 pool) {
    memset((void*)piece, 0, sizeof(*piece));
    piece->pool = pool;
#define INIT(NAME, name, Type, list) array_init(&piece->list, pool);
    OBJECT_KINDS(INIT)
#undef INIT
    array_init(&piece->groups, pool);
    array_init(&piece->tree, pool);
    array_init(&piece->decoded_storage, pool);
    piece_settings_default(&piece->settings);
}

void piece_reset() { piece_init(&g_piece, POOL_MAIN); }

static void color_copy(f32* to, const f32* from) {
    for (i32 i = 0; i < 4; i += 1) to[i] = from[i];
}

i64 piece_group_add(Piece* piece, Str name) {
    if (!array_reserve(&piece->groups, piece->groups.count + 1) ||
        !array_reserve(&piece->tree, piece->tree.count + 1))
        return -1;
    i64 id = piece->next_group_id;
    piece->next_group_id += 1;

    Group* group = array_push_zero(&piece->groups);
    group->id = id;
    group->visible = 1;
    color_copy(group->color, g_piece_defaults.note_color);
    group->texture_name = str_copy(piece->pool, STR("circle"));
    group->size = 1.0;

    GroupTreeEntry* entry = array_push_zero(&piece->tree);
    color_copy(entry->color, g_piece_defaults.group_color);
    entry->id = (i32)id;
    entry->name = str_copy(piece->pool, name);
    return id;
}

void piece_default_group_create() { piece_group_add(&g_piece, STR("group")); }

// ---------------------------------------------------------------------------
// Objects of any kind
// ---------------------------------------------------------------------------
template <typename T>
static ObjectList list_of(const PoolArray<T>& array) {
    return ObjectList{(u8*)array.data, array.count, (i64)sizeof(T)};
}

ObjectList piece_objects(const Piece* piece, u8 kind) {
    switch (kind) {
#define LIST(NAME, name, Type, list) \
    case OBJECT_##NAME: return list_of(piece->list);
        OBJECT_KINDS(LIST)
#undef LIST
        default: return ObjectList{0, 0, 0};
    }
}

i64 object_size(u8 kind) {
    switch (kind) {
#define SIZE(NAME, name, Type, list) \
    case OBJECT_##NAME: return sizeof(Type);
        OBJECT_KINDS(SIZE)
#undef SIZE
        default: return 0;
    }
}

Str object_kind_name(u8 kind) {
    switch (kind) {
#define NAME_OF(NAME, name, Type, list) \
    case OBJECT_##NAME: return STR(#name);
        OBJECT_KINDS(NAME_OF)
#undef NAME_OF
        default: return STR("object");
    }
}

i64 piece_object_total(const Piece* piece) {
    i64 total = 0;
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1)
        total += piece_objects(piece, kind).count;
    return total;
}

ObjectHeader* object_find(const Piece* piece, u8 kind, i64 id) {
    ObjectList list = piece_objects(piece, kind);
    for (i64 i = 0; i < list.count; i += 1) {
        ObjectHeader* object = object_list_get(list, i);
        if (object->id == id) return object;
    }
    return 0;
}

Group* group_find(const Piece* piece, i64 id) {
    for (i64 i = 0; i < piece->groups.count; i += 1)
        if (piece->groups.data[i].id == id) return &piece->groups.data[i];
    return 0;
}

// ---------------------------------------------------------------------------
// Deep copies
// ---------------------------------------------------------------------------
static bool string_clone(Str* text, u8 pool) {
    if (text->length <= 0) {
        *text = Str{0, 0};
        return true;
    }
    *text = str_copy(pool, *text);
    return text->length > 0;
}

static bool curve_clone(Curve* curve, u8 pool) {
    PoolArray<CurvePoint> source = curve->points;
    array_init(&curve->points, pool);
    if (source.count <= 0) return true;
    if (!array_reserve(&curve->points, source.count)) return false;
    memcpy((void*)curve->points.data, (const void*)source.data,
           (size_t)source.count * sizeof(CurvePoint));
    curve->points.count = source.count;
    return true;
}

static bool inside(const void* block, const u8* start, i64 bytes) {
    return (const u8*)block >= start && (const u8*)block < start + bytes;
}

static void string_give_back(Piece* piece, Str* text, const u8* kept, i64 kept_bytes) {
    if (text->data && !inside(text->data, kept, kept_bytes))
        pool_free(piece->pool, text->data, text->length);
    *text = Str{0, 0};
}

static void curve_give_back(Piece* piece, Curve* curve, const u8* kept, i64 kept_bytes) {
    PoolArray<CurvePoint>* points = &curve->points;
    if (points->data && points->pool == piece->pool && !inside(points->data, kept, kept_bytes))
        pool_free(piece->pool, points->data, points->capacity * (i64)sizeof(CurvePoint));
    array_init(points, piece->pool);
}

bool piece_string_set(Piece* piece, Str* to, Str text) {
    Str copy = str_copy(piece->pool, text);
    if (text.length > 0 && copy.length == 0) return false;
    const PoolArray<u8>* storage = &piece->decoded_storage;
    string_give_back(piece, to, storage->data, storage->capacity);
    *to = copy;
    return true;
}

// The string or curve named by `member` in every record of the list.
template <typename T>
static void strings_give_back(Piece* piece, PoolArray<T>* list, Str T::*member, const u8* kept,
                              i64 kept_bytes) {
    for (i64 i = 0; i < list->count; i += 1)
        string_give_back(piece, &(list->data[i].*member), kept, kept_bytes);
}

template <typename T>
static void curves_give_back(Piece* piece, PoolArray<T>* list, Curve T::*member, const u8* kept,
                             i64 kept_bytes) {
    for (i64 i = 0; i < list->count; i += 1)
        curve_give_back(piece, &(list->data[i].*member), kept, kept_bytes);
}

void piece_blocks_give_back(Piece* piece, const u8* kept, i64 kept_bytes) {
    strings_give_back(piece, &piece->groups, &Group::texture_name, kept, kept_bytes);
    strings_give_back(piece, &piece->tree, &GroupTreeEntry::name, kept, kept_bytes);
    strings_give_back(piece, &piece->keys, &KeyObject::key_name, kept, kept_bytes);
    strings_give_back(piece, &piece->shapes, &ShapeObject::shape_name, kept, kept_bytes);
    strings_give_back(piece, &piece->texts, &TextObject::text, kept, kept_bytes);
    curves_give_back(piece, &piece->tempos, &TempoObject::tempo, kept, kept_bytes);
    curves_give_back(piece, &piece->pitches, &PitchObject::pitch, kept, kept_bytes);
    curves_give_back(piece, &piece->volumes, &VolumeObject::volume, kept, kept_bytes);
    curves_give_back(piece, &piece->volumes, &VolumeObject::pan, kept, kept_bytes);
    for (i64 i = 0; i < piece->sounds.count; i += 1) {
        SoundObject* sound = &piece->sounds[i];
        i64 waves = sound_wave_count(sound);
        for (i64 w = 0; w < waves; w += 1)
            string_give_back(piece, &sound->wave_names[w], kept, kept_bytes);
        for (i64 w = 0; w + 1 < waves; w += 1)
            curve_give_back(piece, &sound->blend[w], kept, kept_bytes);
    }
}

ObjectHeader object_header_make(Piece* piece, u8 kind, i64 group, Fraction time, Fraction duration,
                                Fraction pitch, u8 scope) {
    ObjectHeader header = {};
    header.kind = kind;
    header.group_id = group;
    header.id = piece->next_object_id++;
    header.time = time;
    header.duration = duration;
    header.pitch = pitch;
    header.scope = scope;
    header.visible = 1;
    return header;
}

bool object_clone(void* destination, const ObjectHeader* source, u8 pool) {
    i64 size = object_size(source->kind);
    if (size == 0 || destination == (const void*)source) return false;
    memcpy(destination, (const void*)source, (size_t)size);
    bool complete = true;
    switch (source->kind) {
        case OBJECT_KEY: complete = string_clone(&((KeyObject*)destination)->key_name, pool); break;
        case OBJECT_SHAPE:
            complete = string_clone(&((ShapeObject*)destination)->shape_name, pool);
            break;
        case OBJECT_TEXT: complete = string_clone(&((TextObject*)destination)->text, pool); break;
        case OBJECT_TEMPO: complete = curve_clone(&((TempoObject*)destination)->tempo, pool); break;
        case OBJECT_PITCH: complete = curve_clone(&((PitchObject*)destination)->pitch, pool); break;
        case OBJECT_VOLUME: {
            VolumeObject* volume = (VolumeObject*)destination;
            complete = curve_clone(&volume->volume, pool);
            complete = curve_clone(&volume->pan, pool) && complete;
        } break;
        case OBJECT_SOUND: {
            SoundObject* sound = (SoundObject*)destination;
            i64 waves = sound_wave_count(sound);
            for (i64 i = 0; i < SOUND_MAX_WAVES; i += 1) {
                if (i < waves) {
                    complete = string_clone(&sound->wave_names[i], pool) && complete;
                } else {
                    sound->wave_names[i] = Str{0, 0};
                }
            }
            for (i64 i = 0; i < SOUND_MAX_WAVES - 1; i += 1) {
                if (i < waves - 1) {
                    complete = curve_clone(&sound->blend[i], pool) && complete;
                } else {
                    array_init(&sound->blend[i].points, pool);  // unused curves share nothing
                }
            }
        } break;
        default: break;
    }
    return complete;
}

template <typename T>
static ObjectHeader* push_record(PoolArray<T>* array, const void* record) {
    return (ObjectHeader*)array_push(array, *(const T*)record);
}

ObjectHeader* piece_object_add(Piece* piece, const ObjectHeader* source) {
    alignas(16) u8 copy[OBJECT_MAX_SIZE];
    if (!object_size(source->kind)) return 0;
    // A copy without its strings or points would pass for the object it is not.
    if (!object_clone(copy, source, piece->pool)) return 0;
    ObjectHeader* header = (ObjectHeader*)copy;
    header->id = piece->next_object_id;
    ObjectHeader* added = 0;
    switch (source->kind) {
#define PUSH(NAME, name, Type, list) \
    case OBJECT_##NAME: added = push_record(&piece->list, copy); break;
        OBJECT_KINDS(PUSH)
#undef PUSH
        default: break;
    }
    if (added) piece->next_object_id += 1;
    return added;
}

// ---------------------------------------------------------------------------
// Curves
// ---------------------------------------------------------------------------
void curve_init(Curve* curve, u8 pool) {
    memset((void*)curve, 0, sizeof(*curve));
    curve->visible = 1;
    curve->editable = 1;
    curve->minimum = Fraction{0, 1};
    curve->maximum = Fraction{1, 1};
    curve->resolution = 100;
    array_init(&curve->points, pool);
    curve->active_point = -1;
    curve->point_size = 0.125;
    curve->line_width = 0.03125;
    curve->box_height = 2.0;
}

Fraction curve_handle_length(f32 zoom) {
    f64 hundredths = math_floor((f64)zoom / 10.0 * 100.0);
    if (!(hundredths >= 0.0 && hundredths < 1.0e15)) hundredths = 0.0;  // NaN too
    return fraction_normalize(Fraction{(i64)hundredths, 100});
}

i64 curve_point_insert_with_handle(Curve* curve, Fraction x, Fraction y, Fraction handle) {
    CurvePoint point = {x, y, fraction_sub(x, handle), y, fraction_add(x, handle), y};
    i64 index = 0;
    while (index < curve->points.count && !fraction_less(x, curve->points.data[index].x))
        index += 1;
    if (!array_insert(&curve->points, index, point)) return -1;
    return index;
}

i64 curve_point_insert(Curve* curve, Fraction x, Fraction y, f32 zoom) {
    return curve_point_insert_with_handle(curve, x, y, curve_handle_length(zoom));
}

// ---------------------------------------------------------------------------
// Time shifts
// ---------------------------------------------------------------------------
void time_insert(ObjectHeader* object, Fraction position, Fraction amount) {
    if (fraction_less(object->time, position)) {
        if (fraction_less(position, fraction_add(object->time, object->duration)))
            fraction_add_to(&object->duration, amount);
    } else {
        fraction_add_to(&object->time, amount);
    }
}

void time_remove(ObjectHeader* object, Fraction position, Fraction amount) {
    if (fraction_less(object->time, position)) {
        if (fraction_less(position, fraction_add(object->time, object->duration))) {
            fraction_sub_from(&object->duration, amount);
            if (object->duration.numerator < 0) object->removed = 1;
        }
    } else {
        fraction_sub_from(&object->time, amount);
        if (fraction_less(object->time, position)) object->removed = 1;
    }
}

void piece_time_insert(Piece* piece, Fraction position, Fraction amount) {
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(piece, kind);
        for (i64 i = 0; i < list.count; i += 1)
            time_insert(object_list_get(list, i), position, amount);
    }
}

// Keeps the records not marked removed, in their order.
template <typename T>
static void drop_removed(PoolArray<T>* list) {
    i64 kept = 0;
    for (i64 i = 0; i < list->count; i += 1)
        if (!list->data[i].header.removed) list->data[kept++] = list->data[i];
    list->count = kept;
}

void piece_time_remove(Piece* piece, Fraction position, Fraction amount) {
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(piece, kind);
        for (i64 i = 0; i < list.count; i += 1)
            time_remove(object_list_get(list, i), position, amount);
    }
    // What the closed span removed leaves at once, in the same edit: left in place, it would
    // be drawn, played and saved at times before the cursor.
#define DROP(NAME, name, Type, list) drop_removed(&piece->list);
    OBJECT_KINDS(DROP)
#undef DROP
}
