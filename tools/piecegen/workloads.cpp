// Building the benchmark workloads. Every lane is a monophonic line: its notes follow one
// another with at least the release time between them, so no more voices sound at once
// than there are lanes. Random numbers come from splitmix64, never from the machine.
#include "workloads.h"

const char workload_sounds_text[] =
    "wave_sine sine\n"
    "wave_square square\n"
    "wave_triangle triangle\n"
    "wave_sawtooth sawtooth\n"
    "shape plain\n"
    "p 0 1 0 1 1/3 9/10\n"
    "p 1 7/10 2/3 4/5 1 7/10\n"
    "curve_start 0.01 0\n"
    "p 0 0 0 0 1/3 1/3\n"
    "p 1 1 2/3 2/3 1 1\n"
    "curve_end 0.1 0.1\n"
    "p 0 1 0 1 1/3 2/3\n"
    "p 1 0 2/3 1/3 1 0\n"
    "end\n";

static const i64 LANES = 16;
static const i64 GAP_MS = 100;  // the release: a lane's voices never overlap

struct Random {
    u64 state;
};

static u64 random_next(Random* random) {
    random->state += 0x9e3779b97f4a7c15ull;
    u64 z = random->state;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

static f64 random_unit(Random* random) { return (f64)(random_next(random) >> 11) / (f64)(1ull << 53); }

Str workload_name(u8 workload) {
    switch (workload) {
    case WORKLOAD_W1: return STR("w1");
    case WORKLOAD_W2: return STR("w2");
    default: return STR("w3");
    }
}

f64 workload_seconds(u8 workload) { return workload == WORKLOAD_W2 ? 600.0 : 60.0; }

static i64 workload_notes(u8 workload) { return workload == WORKLOAD_W2 ? 10000 : 1000; }

// Milliseconds as beats at the default 120 a minute.
static Fraction beats_of_ms(i64 ms) { return fraction_normalize(Fraction{ms, 500}); }

static ObjectHeader header_over(u8 kind, i64 group, i64 ms) {
    ObjectHeader header = {};
    header.kind = kind;
    header.group_id = group;
    header.time = Fraction{0, 1};
    header.duration = beats_of_ms(ms);
    header.pitch = Fraction{1, 1};
    header.scope = SCOPE_GLOBAL;
    header.visible = 1;
    return header;
}

static void curve_make(Curve* curve, u8 pool, Fraction minimum, Fraction maximum) {
    curve_init(curve, pool);
    curve->minimum = minimum;
    curve->maximum = maximum;
}

// Points through (x_i, y_i) joined by straight segments (handles a third of the way).
static bool curve_polyline(Curve* curve, const Fraction* xs, const Fraction* ys, i64 count) {
    for (i64 i = 0; i < count; i += 1) {
        CurvePoint point = {xs[i], ys[i], xs[i], ys[i], xs[i], ys[i]};
        Fraction third = Fraction{1, 3};
        if (i > 0) {
            point.in_x = fraction_sub(xs[i], fraction_mul(fraction_sub(xs[i], xs[i - 1]), third));
            point.in_y = fraction_sub(ys[i], fraction_mul(fraction_sub(ys[i], ys[i - 1]), third));
        }
        if (i + 1 < count) {
            point.out_x = fraction_add(xs[i], fraction_mul(fraction_sub(xs[i + 1], xs[i]), third));
            point.out_y = fraction_add(ys[i], fraction_mul(fraction_sub(ys[i + 1], ys[i]), third));
        }
        if (!array_push(&curve->points, point)) return false;
    }
    return true;
}

// Durations of one lane in ms, 500 to 2000 and mostly short, that fit the lane with a gap
// after each; then the spare time spread over the gaps. Returns false when the pool refused.
static bool lane_fill(Piece* piece, i64 group, Random* random, i64 count, i64 budget_ms) {
    static const Fraction scale[] = {{1, 1}, {9, 8}, {5, 4}, {4, 3}, {3, 2}, {5, 3}, {15, 8}};
    i64* durations = (i64*)pool_alloc(POOL_TMP, count * (i64)sizeof(i64));
    i64* gaps = (i64*)pool_alloc(POOL_TMP, (count + 1) * (i64)sizeof(i64));
    if (!durations || !gaps) return false;
    i64 used = 0;
    for (i32 attempt = 0; attempt < 1000; attempt += 1) {
        used = 0;
        for (i64 i = 0; i < count; i += 1) {
            f64 u = random_unit(random);
            durations[i] = 500 + (i64)(1500.0 * u * u * u * u);
            used += durations[i] + GAP_MS;
        }
        if (used <= budget_ms) break;
    }
    if (used > budget_ms) return false;
    // The spare milliseconds go to the gaps in random shares.
    i64 spare = budget_ms - used;
    f64 total_weight = 0.0;
    f64* weights = (f64*)pool_alloc(POOL_TMP, (count + 1) * (i64)sizeof(f64));
    if (!weights) return false;
    for (i64 i = 0; i <= count; i += 1) total_weight += weights[i] = random_unit(random);
    i64 given = 0;
    for (i64 i = 0; i <= count; i += 1) {
        gaps[i] = (i64)((f64)spare * weights[i] / total_weight);
        given += gaps[i];
    }
    gaps[count] += spare - given;
    i64 at = gaps[0];
    for (i64 i = 0; i < count; i += 1) {
        NoteObject note = {};
        note.header = header_over(OBJECT_NOTE, group, durations[i]);
        note.header.time = beats_of_ms(at);
        note.header.id = piece->next_object_id++;
        i64 octave = (i64)(random_next(random) % 3);
        Fraction pitch = scale[random_next(random) % 7];
        note.header.pitch = fraction_mul_int(pitch, (i64)1 << octave);
        note.draw_size = 1.0f;
        if (!array_push(&piece->notes, note)) return false;
        at += durations[i] + GAP_MS + gaps[i + 1];
    }
    return true;
}

bool workload_build(Piece* piece, u8 workload, u64 seed) {
    Random random = {seed * 3 + workload};
    u8 pool = piece->pool;
    i64 ms = (i64)(workload_seconds(workload) * 1000.0);
    piece->settings.sample_rate = 44100;
    piece->settings.stereo = 1;
    piece->settings.sample_type = SAMPLE_TYPE_SHORT;
    piece->settings.start_time = Fraction{0, 1};
    piece->settings.end_time = beats_of_ms(ms);
    i64 group = piece_group_add(piece, STR("lanes"));
    if (group < 0) return false;
    Fraction end = beats_of_ms(ms);

    KeyObject key = {};
    key.header = header_over(OBJECT_KEY, group, ms);
    key.header.id = piece->next_object_id++;
    key.reference_frequency = 110.0;
    key.key_name = str_copy(pool, STR("key"));

    SoundObject sound = {};
    sound.header = header_over(OBJECT_SOUND, group, ms);
    sound.header.id = piece->next_object_id++;
    sound.visible = 1;
    sound.editable = 1;
    const char* four[] = {"sine", "square", "triangle", "sawtooth"};
    sound.wave_count = workload == WORKLOAD_W3 ? 4 : 1;
    for (i64 i = 0; i < SOUND_MAX_WAVES - 1; i += 1) {
        curve_make(&sound.blend[i], pool, Fraction{0, 1}, Fraction{1, 1});
        Fraction zero = {0, 1}, quarter = {1, 4};
        if (i < sound.wave_count - 1 && !curve_polyline(&sound.blend[i], &zero, &quarter, 1)) return false;
    }
    for (i64 i = 0; i < sound.wave_count; i += 1) sound.wave_names[i] = str_copy(pool, str_from_cstring(four[i]));

    ShapeObject shape = {};
    shape.header = header_over(OBJECT_SHAPE, group, ms);
    shape.header.id = piece->next_object_id++;
    shape.shape_name = str_copy(pool, STR("plain"));

    Fraction middle = fraction_mul(end, Fraction{1, 2});
    Fraction xs[3] = {{0, 1}, middle, end};
    VolumeObject volume = {};
    volume.header = header_over(OBJECT_VOLUME, group, ms);
    volume.header.id = piece->next_object_id++;
    curve_make(&volume.volume, pool, Fraction{0, 1}, Fraction{2, 1});
    curve_make(&volume.pan, pool, Fraction{-1, 1}, Fraction{1, 1});
    // Sixteen lanes at full level would clip; a tenth leaves room for all of them.
    Fraction volumes[3] = {{1, 10}, {1, 8}, {1, 10}};
    Fraction pans[3] = {{-1, 2}, {0, 1}, {1, 2}};
    PitchObject pitch = {};
    pitch.header = header_over(OBJECT_PITCH, group, ms);
    pitch.header.id = piece->next_object_id++;
    curve_make(&pitch.pitch, pool, Fraction{1, 2}, Fraction{2, 1});
    pitch.pitch.logarithmic = 1;
    Fraction pitches[3] = {{1, 1}, {101, 100}, {1, 1}};
    if (!curve_polyline(&volume.volume, xs, volumes, 3) || !curve_polyline(&volume.pan, xs, pans, 3) ||
        !curve_polyline(&pitch.pitch, xs, pitches, 3))
        return false;

    if (!array_push(&piece->keys, key) || !array_push(&piece->sounds, sound) ||
        !array_push(&piece->shapes, shape) || !array_push(&piece->volumes, volume) ||
        !array_push(&piece->pitches, pitch))
        return false;

    i64 notes = workload_notes(workload);
    for (i64 lane = 0; lane < LANES; lane += 1) {
        i64 count = notes / LANES + (lane < notes % LANES ? 1 : 0);
        if (!lane_fill(piece, group, &random, count, ms)) return false;
    }
    return true;
}
