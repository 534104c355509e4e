// The compiler: repeats expanded into working copies, notes sorted stably by time, the
// time map walked block by block through the tempo curves, the control tracks filled from
// volume, pitch and sound objects, and the voice events built. The piece is only read;
// every list and track comes from the CompiledPiece's own pool.
#include "sound/compile.h"

#include <string.h>

#include "base/merge_sort.h"
#include "platform/system.h"

// Repeat copies made in one compilation at most: a repeat count in the millions cannot
// take all memory. Copies beyond this are not made.
static const i64 REPEAT_COPIES_MAXIMUM = (i64)1 << 20;

void compiled_piece_init(CompiledPiece* compiled, u8 pool) {
    memset(compiled, 0, sizeof(*compiled));
    compiled->block_size = BLOCK_SIZE;
    array_init(&compiled->block_times, pool);
    array_init(&compiled->volume, pool);
    array_init(&compiled->panning, pool);
    array_init(&compiled->pitch, pool);
    array_init(&compiled->wave_mix, pool);
    array_init(&compiled->events, pool);
}

f64 curve_value(const Curve* curve, f64 x) {
    i64 count = curve->points.count;
    if (count <= 0) return fraction_to_double(curve->minimum);
    const CurvePoint* points = curve->points.data;
    if (x <= fraction_to_double(points[0].x)) return fraction_to_double(points[0].y);
    for (i64 j = count - 2; j >= 0; j -= 1)
        if (fraction_to_double(points[j].x) < x) return curve_segment_value(x, &points[j], &points[j + 1]);
    return fraction_to_double(points[0].y);
}

TimeMap compiled_time_map(const CompiledPiece* compiled) {
    return TimeMap{compiled->block_times.data, compiled->block_times.count, compiled->block_size,
                   compiled->sample_rate};
}

f64 time_to_seconds(const TimeMap* map, f64 t) {
    i64 count = map->count;
    if (count < 2 || map->sample_rate <= 0) return 0.0;
    const f64* times = map->times;
    f64 scale = (f64)map->block_size / (f64)map->sample_rate;
    i64 low = 0, high = count - 1;
    while (high - low >= 2) {
        i64 mid = (low + high) / 2;
        if (t == times[mid]) return (f64)mid * scale;
        if (t < times[mid])
            high = mid;
        else
            low = mid;
    }
    f64 span = times[high] - times[low];
    f64 f = span != 0.0 ? (t - times[low]) / span : 0.0;
    return ((f64)low * (1.0 - f) + (f64)high * f) * scale;
}

f64 seconds_to_time(const TimeMap* map, f64 s) {
    i64 count = map->count;
    if (count <= 0 || map->block_size <= 0) return 0.0;
    const f64* times = map->times;
    f64 u = s * (f64)map->sample_rate / (f64)map->block_size;
    f64 floor_u = math_floor(u);
    if (!(floor_u >= 0.0)) return times[0];
    if (floor_u + 1.0 >= (f64)count) return times[count - 1];
    i64 i = (i64)floor_u;
    f64 f = u - floor_u;
    return times[i] * (1.0 - f) + times[i + 1] * f;
}

// --- Working lists ----------------------------------------------------------------------

template <typename T>
static bool working_copy(PoolArray<T>* copy, const PoolArray<T>* source, u8 pool) {
    array_init(copy, pool);
    if (source->count == 0) return true;
    if (!array_resize(copy, source->count)) return false;
    memcpy((void*)copy->data, (const void*)source->data, (size_t)source->count * sizeof(T));
    return true;
}

// Appends the repeat's copies of the first `remembered` objects of the list; false when
// memory ran short before every copy was made.
template <typename T>
static bool repeat_apply(const Piece* piece, const RepeatObject* repeat, PoolArray<T>* list,
                         i64 remembered, i64* copies_made) {
    Fraction section = fraction_sub(repeat->end, repeat->start);
    Fraction shift = fraction_sub(repeat->header.time, repeat->start);
    for (i64 i = 0; i < remembered; i += 1) {
        const ObjectHeader* o = &list->data[i].header;
        if (!scope_applies(piece, &repeat->header, o->group_id)) continue;
        if (fraction_less(o->time, repeat->start)) continue;
        if (fraction_less(repeat->end, fraction_add(o->time, o->duration))) continue;
        for (i64 k = 0; k < repeat->count; k += 1) {
            if (*copies_made >= REPEAT_COPIES_MAXIMUM) return true;
            T copy = list->data[i];
            copy.header.time =
                fraction_add(fraction_add(o->time, shift), fraction_mul_int(section, k));
            if (!array_push(list, copy)) return false;
            *copies_made += 1;
            o = &list->data[i].header;  // the push may have moved the list
        }
    }
    return true;
}

// The kinds that sound (the compiler works on copies of their lists), in the order a repeat
// copies them: when the copies run out, the kinds before keep theirs.
static const u8 SOUNDING_KINDS[] = {OBJECT_TEMPO, OBJECT_NOTE,  OBJECT_PITCH, OBJECT_VOLUME,
                                    OBJECT_SOUND, OBJECT_SHAPE, OBJECT_KEY};
enum { SOUNDING_KIND_COUNT = sizeof(SOUNDING_KINDS) / sizeof(SOUNDING_KINDS[0]) };

static bool kind_copy(Piece* work, const Piece* piece, u8 kind, u8 pool) {
    switch (kind) {
#define COPY(NAME, name, Type, list) \
    case OBJECT_##NAME: return working_copy(&work->list, &piece->list, pool);
        OBJECT_KINDS(COPY)
#undef COPY
        default: return false;
    }
}

static bool kind_repeat(Piece* work, const RepeatObject* repeat, u8 kind, i64 remembered,
                        i64* copies_made) {
    switch (kind) {
#define REPEAT(NAME, name, Type, list) \
    case OBJECT_##NAME: return repeat_apply(work, repeat, &work->list, remembered, copies_made);
        OBJECT_KINDS(REPEAT)
#undef REPEAT
        default: return false;
    }
}

static bool note_before(const NoteObject* a, const NoteObject* b) {
    return fraction_less(a->header.time, b->header.time);
}

// Stable sort of the notes by time (equal times keep list order); the merge buffer comes
// from the list's pool.
static void notes_sort(PoolArray<NoteObject>* notes) {
    i64 n = notes->count;
    if (n < 2) return;
    NoteObject* buffer = (NoteObject*)pool_alloc(notes->pool, n * (i64)sizeof(NoteObject));
    if (buffer) merge_sort(notes->data, n, buffer, note_before);
}

// --- Time map -----------------------------------------------------------------------------

static f64 tempo_bounded(f64 tempo) { return tempo >= TEMPO_MINIMUM ? tempo : TEMPO_MINIMUM; }

static void time_map_build(const Piece* piece, CompiledPiece* compiled, i64 max_blocks) {
    f64 minutes_per_block = (f64)compiled->block_size / ((f64)compiled->sample_rate * 60.0);
    f64 t = fraction_to_double(piece->settings.start_time);
    f64 end = fraction_to_double(piece->settings.end_time);
    f64 tempo = 120.0;
    const TempoObject* current = 0;
    f64 current_start = 0.0;
    PoolArray<f64>* times = &compiled->block_times;
    // Room for the whole map at the usual tempo, so that a long piece's map is not copied
    // over and over as it grows (a guess: the map still grows past it).
    if (tempo * minutes_per_block > 0.0 && end > t) {
        f64 guess = (end - t) / (tempo * minutes_per_block) + 2.0;
        array_reserve(times, guess < (f64)max_blocks ? (i64)guess : max_blocks + 1);
    }
    while (end > t) {
        if (times->count >= max_blocks) {
            compiled->truncated = 1;
            break;
        }
        if (!array_push(times, t)) {
            compiled->incomplete = 1;
            break;
        }
        if (current) {
            if (t > fraction_to_double(current->header.time) +
                        fraction_to_double(current->header.duration)) {
                current = tempo_at(piece, t);
                if (!current) {
                    t += tempo * minutes_per_block;
                    continue;
                }
                current_start = fraction_to_double(current->header.time);
            }
            tempo = tempo_bounded(curve_value(&current->tempo, t - current_start));
        } else {
            current = tempo_at(piece, t);
            if (current) current_start = fraction_to_double(current->header.time);
        }
        t += tempo * minutes_per_block;
    }
    if (!array_push(times, t)) compiled->incomplete = 1;
}

// --- Tracks -------------------------------------------------------------------------------

struct BlockRange {
    i64 first, end;  // blocks first .. end - 1, inside the tracks
};

// The blocks an object covers, clamped to the rows of the tracks.
static BlockRange block_range(const CompiledPiece* compiled, const ObjectHeader* header) {
    TimeMap map = compiled_time_map(compiled);
    f64 blocks_per_second = (f64)compiled->sample_rate / (f64)compiled->block_size;
    f64 time = fraction_to_double(header->time);
    f64 s = time_to_seconds(&map, time) * blocks_per_second;
    f64 e = time_to_seconds(&map, fraction_to_double(fraction_add(header->time, header->duration))) *
            blocks_per_second;
    i64 count = compiled->columns > 0 ? compiled->volume.count / compiled->columns : 0;
    f64 rows = (f64)count;
    BlockRange range;
    range.first = s > 0.0 ? (s < rows ? (i64)s : count) : 0;
    range.end = e > 0.0 ? (e < rows ? (i64)e : count) : 0;
    return range;
}

// Piece time at the start of block k, relative to the object's start.
static f64 block_x(const CompiledPiece* compiled, i64 k, const ObjectHeader* header) {
    TimeMap map = compiled_time_map(compiled);
    f64 blocks_per_second = (f64)compiled->sample_rate / (f64)compiled->block_size;
    return seconds_to_time(&map, (f64)k / blocks_per_second) - fraction_to_double(header->time);
}

// Which groups an object reaches, one flag per group of the list; false when none does.
// `reach` has room for every group.
static bool reach_of(const Piece* piece, const ObjectHeader* header, u8* reach) {
    bool any = false;
    for (i64 g = 0; g < piece->groups.count; g += 1) {
        reach[g] = scope_applies(piece, header, piece->groups.data[g].id) ? 1 : 0;
        any = any || reach[g];
    }
    return any;
}

// Blocks whose curve values are worked out together.
static const i64 CURVE_BATCH = 64;
// Blocks of the tracks filled together: with a few groups, a few hundred kilobytes of rows.
static const i64 TRACK_TILE = 1024;

// curve_value at `count` positions (at most CURVE_BATCH), the bisections side by side.
static void curve_values(const Curve* curve, const f64* x, i64 count, f64* values) {
    i64 points_count = curve->points.count;
    if (points_count <= 0) {
        for (i64 i = 0; i < count; i += 1) values[i] = fraction_to_double(curve->minimum);
        return;
    }
    const CurvePoint* points = curve->points.data;
    f64 first_x = fraction_to_double(points[0].x), first_y = fraction_to_double(points[0].y);
    f64 positions[CURVE_BATCH];
    CurveSegment segments[CURVE_BATCH];
    i64 lanes[CURVE_BATCH], used = 0;
    for (i64 i = 0; i < count; i += 1) {
        values[i] = first_y;
        if (x[i] <= first_x) continue;
        for (i64 j = points_count - 2; j >= 0; j -= 1) {
            if (fraction_to_double(points[j].x) < x[i]) {
                positions[used] = x[i];
                segments[used] = curve_segment(&points[j], &points[j + 1]);
                lanes[used++] = i;
                break;
            }
        }
    }
    f64 found[CURVE_BATCH];
    curve_point_values(positions, segments, used, found);
    for (i64 u = 0; u < used; u += 1) values[lanes[u]] = found[u];
}

// The positions (piece time from the object's start) of blocks k .. k + count - 1.
static void block_positions(const CompiledPiece* compiled, i64 k, i64 count,
                            const ObjectHeader* header, f64* x) {
    for (i64 i = 0; i < count; i += 1) x[i] = block_x(compiled, k + i, header);
}

// The part of an object's blocks inside a tile of the tracks.
static BlockRange range_within(BlockRange range, BlockRange tile) {
    BlockRange inside = range;
    if (inside.first < tile.first) inside.first = tile.first;
    if (inside.end > tile.end) inside.end = tile.end;
    return inside;
}

// Every object's blocks, worked out once for all the tiles; 0 when the pool refused.
static BlockRange* ranges_of(const CompiledPiece* compiled, ObjectList list, u8 pool) {
    BlockRange* ranges = (BlockRange*)pool_alloc(pool, (list.count + 1) * (i64)sizeof(BlockRange));
    if (!ranges) return 0;
    for (i64 n = 0; n < list.count; n += 1)
        ranges[n] = block_range(compiled, object_list_get(list, n));
    return ranges;
}

// The curves are evaluated once per block and written to every group the object reaches:
// a row of the tracks is contiguous, so this walks memory in order, and the values are
// those a per-group evaluation would give (they depend on the block only). The tracks are
// filled a tile of blocks at a time, each tile from every object in list order: a cell
// sees the same operations in the same order as a whole pass would make, while the rows
// being written stay in the processor's cache however long the piece is.
static void volumes_apply(const Piece* piece, CompiledPiece* compiled, u8* reach,
                          const BlockRange* ranges, BlockRange tile) {
    i64 columns = compiled->columns, groups = piece->groups.count;
    f64 x[CURVE_BATCH], volumes[CURVE_BATCH], pans[CURVE_BATCH];
    for (i64 n = 0; n < piece->volumes.count; n += 1) {
        const VolumeObject* v = &piece->volumes.data[n];
        BlockRange range = range_within(ranges[n], tile);
        if (range.first >= range.end || !reach_of(piece, &v->header, reach)) continue;
        for (i64 k0 = range.first; k0 < range.end; k0 += CURVE_BATCH) {
            i64 count = range.end - k0 < CURVE_BATCH ? range.end - k0 : CURVE_BATCH;
            block_positions(compiled, k0, count, &v->header, x);
            curve_values(&v->volume, x, count, volumes);
            curve_values(&v->pan, x, count, pans);
            for (i64 i = 0; i < count; i += 1) {
                i64 row = (k0 + i) * columns;
                for (i64 g = 0; g < groups; g += 1) {
                    if (!reach[g]) continue;
                    compiled->volume[row + g] *= volumes[i];
                    compiled->panning[row + g] += pans[i];
                }
            }
        }
    }
}

static void pitches_apply(const Piece* piece, CompiledPiece* compiled, u8* reach,
                          const BlockRange* ranges, BlockRange tile) {
    i64 columns = compiled->columns, groups = piece->groups.count;
    f64 x[CURVE_BATCH], pitches[CURVE_BATCH];
    for (i64 n = 0; n < piece->pitches.count; n += 1) {
        const PitchObject* p = &piece->pitches.data[n];
        BlockRange range = range_within(ranges[n], tile);
        if (range.first >= range.end || !reach_of(piece, &p->header, reach)) continue;
        for (i64 k0 = range.first; k0 < range.end; k0 += CURVE_BATCH) {
            i64 count = range.end - k0 < CURVE_BATCH ? range.end - k0 : CURVE_BATCH;
            block_positions(compiled, k0, count, &p->header, x);
            curve_values(&p->pitch, x, count, pitches);
            for (i64 i = 0; i < count; i += 1)
                for (i64 g = 0; g < groups; g += 1)
                    if (reach[g]) compiled->pitch[(k0 + i) * columns + g] *= pitches[i];
        }
    }
}

static void sounds_apply(const Piece* piece, CompiledPiece* compiled, u8* reach,
                         const BlockRange* ranges, BlockRange tile) {
    i64 columns = compiled->columns, groups = piece->groups.count;
    f64 x[CURVE_BATCH], blends[SOUND_MAX_WAVES][CURVE_BATCH];
    for (i64 n = 0; n < piece->sounds.count; n += 1) {
        const SoundObject* sound = &piece->sounds.data[n];
        i64 waves = sound_wave_count(sound);
        BlockRange range = range_within(ranges[n], tile);
        if (waves == 0 || range.first >= range.end || !reach_of(piece, &sound->header, reach))
            continue;
        for (i64 k0 = range.first; k0 < range.end; k0 += CURVE_BATCH) {
            i64 count = range.end - k0 < CURVE_BATCH ? range.end - k0 : CURVE_BATCH;
            if (waves > 1) {
                block_positions(compiled, k0, count, &sound->header, x);
                for (i64 w = 1; w < waves; w += 1) curve_values(&sound->blend[w - 1], x, count, blends[w]);
            }
            for (i64 i = 0; i < count; i += 1) {
                f64 gains[SOUND_MAX_WAVES] = {1.0};
                if (waves > 1) {
                    f64 sum = 0.0;
                    for (i64 w = 1; w < waves; w += 1) {
                        gains[w] = blends[w][i];
                        sum += gains[w];
                    }
                    gains[0] = 1.0 - sum;
                }
                for (i64 g = 0; g < groups; g += 1) {
                    if (!reach[g]) continue;
                    f64* mix = &compiled->wave_mix[((k0 + i) * columns + g) * SOUND_MAX_WAVES];
                    // A fixed count of slots: no library copy for one or two values.
                    for (i64 w = 0; w < SOUND_MAX_WAVES; w += 1)
                        if (w < waves) mix[w] = gains[w];
                }
            }
        }
    }
}

// --- Events -------------------------------------------------------------------------------

// The events of one note whose key, sound and shape are known (no key: 440 Hz).
static bool note_events_append(const NoteObject* note, i16 group_index, f64 start, f64 end,
                               const KeyObject* key, const SoundObject* sound,
                               const ShapeObject* shape, PoolArray<VoiceEvent>* events) {
    if (!sound) return true;
    i64 waves = sound_wave_count(sound);
    if (waves == 0) return true;
    VoiceEvent event = {};
    event.group_index = group_index;
    event.frequency = fraction_to_double(note->header.pitch) * (key ? key->reference_frequency : 440.0);
    // A pitch beyond every number (a huge ratio times a huge reference) has no sound.
    if (!(event.frequency - event.frequency == 0.0)) return true;
    event.start_time = start;
    event.end_time = end;
    event.phase_offset = shape ? shape->time_offset : 0.0;
    event.phase = 0.0;
    const SoundDefinition* definition = shape ? sound_find(shape->shape_name) : 0;
    event.sound = definition ? definition : sound_default();
    for (i64 w = 0; w < waves; w += 1) {
        const WaveDefinition* wave = wave_find(sound->wave_names[w]);
        event.wave_index = (i16)w;
        event.wave = wave ? wave : wave_default();
        if (!array_push(events, event)) return false;
    }
    return true;
}

bool compile_note_events(const Piece* piece, const NoteObject* note, i16 group_index,
                         f64 start, f64 end, PoolArray<VoiceEvent>* events) {
    const ObjectHeader* header = &note->header;
    const SoundObject* sound = sound_at(piece, header->time, header->group_id);
    if (!sound) return true;
    const KeyObject* key = key_at(piece, header->time, header->group_id);
    return note_events_append(note, group_index, start, end, key, sound,
                       shape_at(piece, header->time, header->group_id), events);
}

// key_at, sound_at and shape_at for notes taken in time order, without scanning every
// object for every note: a sweep over the objects sorted by start keeps those that have
// begun and not yet ended, in list order, and the same tests as the queries pick among
// them. So the work grows with the notes times the objects sounding at once, not times
// all objects. Needs positive denominators throughout (the order of the fractions is
// only consistent then); compilation falls back to the queries otherwise.
struct SweepEntry {
    i64 index;  // in the object list
    Fraction start, end;
};

struct ObjectSweep {
    ObjectList list;
    SweepEntry* entries;  // by start, equal starts in list order
    i64 count, next;      // entries[next ..] have not begun yet
    i64* active;          // positions in entries, ascending by list index
    i64 active_count;
};

static bool entry_before(const SweepEntry* a, const SweepEntry* b) { return fraction_less(a->start, b->start); }

// False when the pool refused or a fraction cannot be ordered.
static bool sweep_init(ObjectSweep* sweep, ObjectList list, u8 pool) {
    *sweep = ObjectSweep{};
    sweep->list = list;
    sweep->count = list.count;
    if (list.count == 0) return true;
    sweep->entries = (SweepEntry*)pool_alloc(pool, list.count * (i64)sizeof(SweepEntry));
    SweepEntry* buffer = (SweepEntry*)pool_alloc(pool, list.count * (i64)sizeof(SweepEntry));
    sweep->active = (i64*)pool_alloc(pool, list.count * (i64)sizeof(i64));
    if (!sweep->entries || !buffer || !sweep->active) return false;
    for (i64 i = 0; i < list.count; i += 1) {
        const ObjectHeader* header = object_list_get(list, i);
        SweepEntry* entry = &sweep->entries[i];
        entry->index = i;
        entry->start = header->time;
        entry->end = fraction_add(header->time, header->duration);
        if (entry->start.denominator <= 0 || entry->end.denominator <= 0) return false;
    }
    merge_sort(sweep->entries, list.count, buffer, entry_before);
    return true;
}

// Moves the sweep to `time` (never earlier than the last time).
static void sweep_advance(ObjectSweep* sweep, Fraction time) {
    while (sweep->next < sweep->count && fraction_less_equal(sweep->entries[sweep->next].start, time)) {
        i64 position = sweep->next++;
        i64 index = sweep->entries[position].index;
        i64 at = sweep->active_count++;
        while (at > 0 && sweep->entries[sweep->active[at - 1]].index > index) {
            sweep->active[at] = sweep->active[at - 1];
            at -= 1;
        }
        sweep->active[at] = position;
    }
    // What has ended can never cover a later time.
    i64 kept = 0;
    for (i64 a = 0; a < sweep->active_count; a += 1) {
        i64 position = sweep->active[a];
        if (fraction_less(time, sweep->entries[position].end)) sweep->active[kept++] = position;
    }
    sweep->active_count = kept;
}

// key_at's rule: the first in list order.
static const ObjectHeader* sweep_first(const Piece* piece, const ObjectSweep* sweep, Fraction time,
                                       i64 group) {
    for (i64 a = 0; a < sweep->active_count; a += 1) {
        const ObjectHeader* object = object_list_get(sweep->list, sweep->entries[sweep->active[a]].index);
        if (object_applies_at(piece, object, time, group)) return object;
    }
    return 0;
}

// sound_at's and shape_at's rule, over the objects that have begun and not ended.
static const ObjectHeader* sweep_in_effect(const Piece* piece, const ObjectSweep* sweep,
                                           Fraction time, i64 group) {
    ScopeChoice choice = {};
    for (i64 a = 0; a < sweep->active_count; a += 1) {
        const ObjectHeader* object = object_list_get(sweep->list, sweep->entries[sweep->active[a]].index);
        if (object_applies_at(piece, object, time, group) && scope_choice_offer(&choice, object))
            break;
    }
    return scope_choice_result(&choice);
}

// The longest lead of any sound definition: no voice starts earlier than this before its
// note.
static f64 lead_time_maximum() {
    f64 lead = sound_default()->lead_time;
    const NameTable<SoundDefinition>* table = sound_table();
    for (i64 i = 0; i < table->capacity; i += 1) {
        const NameSlot<SoundDefinition>* slot = &table->slots[i];
        if (slot->key.length > 0 && slot->value.lead_time > lead) lead = slot->value.lead_time;
    }
    return lead;
}

// The events of the notes, in time order; with `until` >= 0 only those of notes that can
// sound before `until` seconds (the list is then a beginning of the whole one).
static void events_build(const Piece* piece, CompiledPiece* compiled, f64 until) {
    TimeMap map = compiled_time_map(compiled);
    Fraction zero = {0, 1};
    u8 pool = compiled->events.pool;
    ObjectSweep keys, sounds, shapes;
    bool sweeping = sweep_init(&keys, piece_objects(piece, OBJECT_KEY), pool) &&
                    sweep_init(&sounds, piece_objects(piece, OBJECT_SOUND), pool) &&
                    sweep_init(&shapes, piece_objects(piece, OBJECT_SHAPE), pool);
    // The sweep needs the notes in time order (the sort may have lacked memory).
    for (i64 n = 0; n < piece->notes.count && sweeping; n += 1)
        sweeping = piece->notes.data[n].header.time.denominator > 0 &&
                   (n == 0 || !fraction_less(piece->notes.data[n].header.time,
                                             piece->notes.data[n - 1].header.time));
    f64 last_start = until >= 0.0 && sweeping ? until + lead_time_maximum() : -1.0;
    for (i64 n = 0; n < piece->notes.count; n += 1) {
        const NoteObject* note = &piece->notes.data[n];
        if (last_start >= 0.0 &&
            time_to_seconds(&map, fraction_to_double(note->header.time)) > last_start)
            break;
        // A note of no length has no place on its own shape: it is not played.
        if (!fraction_less(zero, note->header.duration)) continue;
        i64 group = -1;
        for (i64 g = 0; g < piece->groups.count; g += 1)
            if (piece->groups.data[g].id == note->header.group_id) group = g;
        if (group >= 0 && !piece->groups.data[group].visible) continue;
        // Beyond what an event can name, a group reads the neutral column.
        i16 group_index = group >= 0 && group <= INT16_MAX ? (i16)group : -1;
        Fraction note_end = fraction_add(note->header.time, note->header.duration);
        f64 start = time_to_seconds(&map, fraction_to_double(note->header.time));
        f64 end = time_to_seconds(&map, fraction_to_double(note_end));
        if (!sweeping) {
            if (!compile_note_events(piece, note, group_index, start, end, &compiled->events))
                compiled->incomplete = 1;
            continue;
        }
        Fraction time = note->header.time;
        i64 owner = note->header.group_id;
        sweep_advance(&sounds, time);
        const SoundObject* sound = (const SoundObject*)sweep_in_effect(piece, &sounds, time, owner);
        if (!sound) continue;
        sweep_advance(&keys, time);
        sweep_advance(&shapes, time);
        bool made = note_events_append(
            note, group_index, start, end, (const KeyObject*)sweep_first(piece, &keys, time, owner),
            sound, (const ShapeObject*)sweep_in_effect(piece, &shapes, time, owner),
            &compiled->events);
        if (!made) compiled->incomplete = 1;
    }
}

// Drops the notes that start after `last_start` seconds, as events_build stops at them: a
// beginning of the compilation then sorts only the notes it can play, however long the
// piece. Notes whose time cannot be read stay, for events_build to judge.
static void notes_keep_until(PoolArray<NoteObject>* notes, const TimeMap* map, f64 last_start) {
    // A note after the map's time at a block past `last_start` starts after it: most notes
    // of a long piece go by that one comparison, not by a search of the map.
    f64 scale = map->sample_rate > 0 ? (f64)map->block_size / (f64)map->sample_rate : 0.0;
    i64 past = scale > 0.0 && last_start >= 0.0 ? (i64)(last_start / scale) + 2 : map->count;
    bool bounded = past < map->count;
    f64 bound = bounded ? map->times[past] : 0.0;
    i64 kept = 0;
    for (i64 n = 0; n < notes->count; n += 1) {
        const NoteObject* note = &notes->data[n];
        f64 t = fraction_to_double(note->header.time);
        if (note->header.time.denominator > 0 &&
            ((bounded && t > bound) || time_to_seconds(map, t) > last_start))
            continue;
        if (kept != n) notes->data[kept] = *note;
        kept += 1;
    }
    notes->count = kept;
}

// --- The whole compilation ----------------------------------------------------------------

static bool tracks_size(CompiledPiece* compiled, i64 cells) {
    return array_resize(&compiled->volume, cells) && array_resize(&compiled->panning, cells) &&
           array_resize(&compiled->pitch, cells) &&
           array_resize(&compiled->wave_mix, cells * SOUND_MAX_WAVES);
}

void compile_piece(const Piece* piece, i64 sample_rate, i64 channels, CompiledPiece* compiled,
                   i64 track_blocks) {
    compiled->block_size = BLOCK_SIZE;
    compiled->sample_rate = sample_rate;
    compiled->channels = channels;
    compiled->columns = piece->groups.count + 1;
    compiled->compiled_length = 0;
    compiled->truncated = 0;
    compiled->incomplete = 0;
    array_clear(&compiled->block_times);
    array_clear(&compiled->events);
    if (sample_rate <= 0 || channels <= 0) return;
    u8 pool = compiled->block_times.pool;

    // 1. Working copies: the queries below run on a piece whose lists are these.
    Piece work = *piece;
    i64 remembered[SOUNDING_KIND_COUNT];
    for (i64 k = 0; k < SOUNDING_KIND_COUNT; k += 1) {
        if (!kind_copy(&work, piece, SOUNDING_KINDS[k], pool)) {
            compiled->incomplete = 1;
            return;
        }
        remembered[k] = piece_objects(&work, SOUNDING_KINDS[k]).count;
    }

    // 2. Repeats, each over the objects as they were before any copy.
    i64 copies = 0;
    for (i64 r = 0; r < piece->repeats.count; r += 1) {
        const RepeatObject* repeat = &piece->repeats.data[r];
        if (repeat->count < 1) continue;
        bool repeated = true;
        for (i64 k = 0; k < SOUNDING_KIND_COUNT && repeated; k += 1)
            repeated = kind_repeat(&work, repeat, SOUNDING_KINDS[k], remembered[k], &copies);
        if (!repeated) compiled->incomplete = 1;
    }

    // 3. The time map, at most as long as the longest rendering.
    i64 max_blocks = RENDER_MAX_SAMPLES / (channels * compiled->block_size);
    time_map_build(&work, compiled, max_blocks);
    i64 rows = compiled->block_times.count;
    i64 length = rows > 0 ? (rows - 1) * channels * compiled->block_size : 0;
    f64 until = -1.0;
    if (track_blocks >= 0 && track_blocks < rows) {
        rows = track_blocks;
        until = (f64)(track_blocks * compiled->block_size) / (f64)sample_rate;
        TimeMap map = compiled_time_map(compiled);
        notes_keep_until(&work.notes, &map, until + lead_time_maximum());
    }

    // 4. Notes in time order, equal times in list order.
    notes_sort(&work.notes);

    // 5. Neutral tracks; the last column stays neutral for notes of lost groups.
    i64 columns = compiled->columns;
    if (!tracks_size(compiled, rows * columns)) {
        array_clear(&compiled->block_times);
        compiled->incomplete = 1;
        return;
    }
    for (i64 i = 0; i < rows * columns; i += 1) {
        compiled->volume[i] = 1.0;
        compiled->panning[i] = 0.0;
        compiled->pitch[i] = 1.0;
    }
    memset((void*)compiled->wave_mix.data, 0,
           (size_t)(rows * columns * SOUND_MAX_WAVES) * sizeof(f64));
    for (i64 k = 0; k < rows; k += 1)
        compiled->wave_mix[(k * columns + columns - 1) * SOUND_MAX_WAVES] = 1.0;

    // 6 to 8. Volume and panning, pitch, wave blend.
    u8* reach = (u8*)pool_alloc(pool, work.groups.count + 1);
    BlockRange* volume_ranges = ranges_of(compiled, piece_objects(&work, OBJECT_VOLUME), pool);
    BlockRange* pitch_ranges = ranges_of(compiled, piece_objects(&work, OBJECT_PITCH), pool);
    BlockRange* sound_ranges = ranges_of(compiled, piece_objects(&work, OBJECT_SOUND), pool);
    if (reach && volume_ranges && pitch_ranges && sound_ranges) {
        for (i64 first = 0; first < rows; first += TRACK_TILE) {
            BlockRange tile = {first, first + TRACK_TILE < rows ? first + TRACK_TILE : rows};
            volumes_apply(&work, compiled, reach, volume_ranges, tile);
            pitches_apply(&work, compiled, reach, pitch_ranges, tile);
            sounds_apply(&work, compiled, reach, sound_ranges, tile);
        }
    } else {
        compiled->incomplete = 1;
    }

    // 9. Events.
    events_build(&work, compiled, until);

    // 10. The working lists die with the pool; the piece's own lists were never touched.
    compiled->compiled_length = length;
}
