// Reader of "sounds/sounds.txt" and the two name tables it fills, plus the curve tables
// that envelopes are pre-sampled into. Runs once on the main thread at start-up; the
// tables, the file text and the recorded waves then stay unchanged until exit.
#include "sound/sounds.h"

#include "base/format.h"
#include "base/text.h"
#include "model/files.h"

static NameTable<WaveDefinition> waves;
static NameTable<SoundDefinition> sounds;
static const WaveDefinition default_wave = {WAVE_SINE, 1.0, {}};
static const SoundDefinition default_sound = {};

void sounds_reset() {
    waves = NameTable<WaveDefinition>{};
    waves.pool = POOL_MAIN;
    sounds = NameTable<SoundDefinition>{};
    sounds.pool = POOL_MAIN;
}

const SoundDefinition* sound_find(Str name) { return name_table_find(&sounds, name); }
const WaveDefinition* wave_find(Str name) { return name_table_find(&waves, name); }
const WaveDefinition* wave_default() { return &default_wave; }
const SoundDefinition* sound_default() { return &default_sound; }
const NameTable<WaveDefinition>* wave_table() { return &waves; }
const NameTable<SoundDefinition>* sound_table() { return &sounds; }

static CurveControl curve_control(Fraction x, Fraction y) {
    return CurveControl{(f32)fraction_to_double(x), (f32)fraction_to_double(y)};
}

f64 curve_point_value(f64 x, CurveControl p0, CurveControl p1, CurveControl p2,
                      CurveControl p3) {
    f32 target = (f32)x;
    f32 low = 0.0f, high = 1.0f;
    f32 t = 0.0f;
    // 32 halvings; y is wanted only at the last parameter tried, and once an iteration
    // leaves both bounds as they were, every later one would repeat it exactly.
    for (i32 i = 0; i < 32; i += 1) {
        t = (low + high) * 0.5f;
        f32 s = 1.0f - t;
        f32 w0 = s * s * s, w1 = 3.0f * t * s * s, w2 = 3.0f * t * t * s, w3 = t * t * t;
        f32 bx = w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x;
        if (target > bx) {
            if (low == t) break;
            low = t;
        } else if (bx > target) {
            if (high == t) break;
            high = t;
        } else {
            break;
        }
    }
    f32 s = 1.0f - t;
    f32 w0 = s * s * s, w1 = 3.0f * t * s * s, w2 = 3.0f * t * t * s, w3 = t * t * t;
    return (f64)(w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y);
}

// Eight bisections side by side: the same steps as curve_point_value for each lane, run
// for all 32 halvings (a lane that has settled repeats its last step, as the single one
// would), so each result is that function's to the bit, while the lanes hide each other's
// latency.
static const i64 CURVE_LANES = 8;

void curve_point_values(const f64* x, const CurveSegment* segments, i64 count, f64* values) {
    for (i64 first = 0; first < count; first += CURVE_LANES) {
        i64 lanes = count - first < CURVE_LANES ? count - first : CURVE_LANES;
        f32 target[CURVE_LANES], low[CURVE_LANES], high[CURVE_LANES], t[CURVE_LANES];
        CurveSegment c[CURVE_LANES];
        for (i64 l = 0; l < CURVE_LANES; l += 1) {
            // Unused lanes repeat the last one and are not written back.
            i64 from = first + (l < lanes ? l : lanes - 1);
            target[l] = (f32)x[from];
            c[l] = segments[from];
            low[l] = 0.0f;
            high[l] = 1.0f;
            t[l] = 0.0f;
        }
        for (i32 i = 0; i < 32; i += 1) {
            for (i64 l = 0; l < CURVE_LANES; l += 1) {
                f32 m = (low[l] + high[l]) * 0.5f;
                f32 s = 1.0f - m;
                f32 w0 = s * s * s, w1 = 3.0f * m * s * s, w2 = 3.0f * m * m * s, w3 = m * m * m;
                f32 bx = w0 * c[l].p0.x + w1 * c[l].p1.x + w2 * c[l].p2.x + w3 * c[l].p3.x;
                bool up = target[l] > bx, down = bx > target[l];
                low[l] = up ? m : low[l];
                high[l] = down ? m : high[l];
                t[l] = m;
            }
        }
        for (i64 l = 0; l < lanes; l += 1) {
            f32 m = t[l];
            f32 s = 1.0f - m;
            f32 w0 = s * s * s, w1 = 3.0f * m * s * s, w2 = 3.0f * m * m * s, w3 = m * m * m;
            values[first + l] =
                (f64)(w0 * c[l].p0.y + w1 * c[l].p1.y + w2 * c[l].p2.y + w3 * c[l].p3.y);
        }
    }
}

CurveSegment curve_segment(const CurvePoint* a, const CurvePoint* b) {
    return CurveSegment{curve_control(a->x, a->y), curve_control(a->out_x, a->out_y),
                        curve_control(b->in_x, b->in_y), curve_control(b->x, b->y)};
}

f64 curve_segment_value(f64 x, const CurvePoint* a, const CurvePoint* b) {
    return curve_point_value(x, curve_control(a->x, a->y), curve_control(a->out_x, a->out_y),
                             curve_control(b->in_x, b->in_y), curve_control(b->x, b->y));
}

CurveTable curve_table_build(const CurvePoint* points, i64 count, u8 pool) {
    CurveTable table = {};
    table.values = (f64*)pool_alloc_zero(pool, CURVE_TABLE_SIZE * (i64)sizeof(f64));
    if (!table.values) return table;  // count 0: the table reads as a constant 1
    table.count = CURVE_TABLE_SIZE;
    if (count <= 0) return table;  // no points: silence
    f64 first_x = fraction_to_double(points[0].x);
    for (i64 i = 0; i < CURVE_TABLE_SIZE; i += 1) {
        f64 x = (f64)i / (f64)(CURVE_TABLE_SIZE - 1);
        f64 value = fraction_to_double(points[0].y);
        if (first_x < x) {
            for (i64 j = count - 2; j >= 0; j -= 1) {
                if (fraction_to_double(points[j].x) < x) {
                    value = curve_segment_value(x, &points[j], &points[j + 1]);
                    break;
                }
            }
        }
        table.values[i] = value;
    }
    return table;
}

// --- The file ----------------------------------------------------------------------

enum PointList { POINTS_SHAPE, POINTS_ATTACK, POINTS_RELEASE };

struct SoundReader {
    Str folder;
    Str shape_name;
    PoolArray<CurvePoint> lists[3];
    u8 current;
    SoundDefinition sound;  // the four numbers of the sound being read
};

// One token: to the next space or the end of the line; the space is skipped.
static Str token_next(TextCursor* line) {
    Str token = text_read_until(line, ' ');
    line->position += 1;
    return token;
}

static Str rest_of_line(TextCursor* line) {
    if (line->position >= line->length) return Str{line->data + line->length, 0};
    return Str{line->data + line->position, line->length - line->position};
}

static void wave_define(Str name, u8 kind) {
    WaveDefinition wave = {kind, 1.0, {}};
    name_table_insert(&waves, name, wave);
}

static void wave_load(SoundReader* reader, TextCursor* line) {
    Str name = token_next(line);
    f64 frequency = text_parse_number(line);
    line->position += 1;
    Str path = rest_of_line(line);
    Str full = path;
    bool relative = path.length == 0 || path.data[0] != '/';
    if (reader->folder.length > 0 && relative) {
        full.length = reader->folder.length + 1 + path.length;
        full.data = (u8*)pool_alloc(POOL_TMP, full.length);
        if (!full.data) return;
        memcpy(full.data, reader->folder.data, (size_t)reader->folder.length);
        full.data[reader->folder.length] = '/';
        memcpy(full.data + reader->folder.length + 1, path.data, (size_t)path.length);
    }
    // A recording that cannot be read is stored anyway, empty: it plays as silence, so
    // the sound objects that name it stay silent instead of falling back to a sine.
    WaveDefinition wave = {WAVE_SAMPLED, frequency, {}};
    audio_wave_load(&wave.data, SAMPLE_FORMAT_F32, full);
    name_table_insert(&waves, name, wave);
}

static void numbers_read(TextCursor* line, f64* length, f64* extra) {
    *length = text_parse_number(line);
    line->position += 1;
    *extra = text_parse_number(line);
}

static void point_read(SoundReader* reader, TextCursor* line) {
    Fraction values[6];
    for (i32 i = 0; i < 5; i += 1) values[i] = text_parse_fraction(token_next(line));
    values[5] = text_parse_fraction(rest_of_line(line));
    CurvePoint point = {values[0], values[1], values[2], values[3], values[4], values[5]};
    array_push(&reader->lists[reader->current], point);
}

static void sound_finish(SoundReader* reader) {
    SoundDefinition sound = reader->sound;
    PoolArray<CurvePoint>* lists = reader->lists;
    sound.shape = curve_table_build(lists[POINTS_SHAPE].data, lists[POINTS_SHAPE].count, POOL_MAIN);
    sound.attack =
        curve_table_build(lists[POINTS_ATTACK].data, lists[POINTS_ATTACK].count, POOL_MAIN);
    sound.release =
        curve_table_build(lists[POINTS_RELEASE].data, lists[POINTS_RELEASE].count, POOL_MAIN);
    name_table_insert(&sounds, reader->shape_name, sound);
}

static void sound_begin(SoundReader* reader, Str name) {
    reader->shape_name = name;
    for (i32 i = 0; i < 3; i += 1) array_clear(&reader->lists[i]);
    reader->current = POINTS_SHAPE;
    reader->sound = SoundDefinition{};
}

void sounds_parse(Str text, Str folder) {
    SoundReader reader = {};
    reader.folder = folder;
    for (i32 i = 0; i < 3; i += 1) array_init(&reader.lists[i], POOL_TMP);
    TextCursor file = text_cursor(text);
    while (file.position < file.length) {
        Str line_text = text_read_line(&file);
        file.position += 1;
        TextCursor line = text_cursor(line_text);
        Str key = token_next(&line);
        if (str_equal(key, STR("wave_sine"))) {
            wave_define(rest_of_line(&line), WAVE_SINE);
        } else if (str_equal(key, STR("wave_square"))) {
            wave_define(rest_of_line(&line), WAVE_SQUARE);
        } else if (str_equal(key, STR("wave_triangle"))) {
            wave_define(rest_of_line(&line), WAVE_TRIANGLE);
        } else if (str_equal(key, STR("wave_sawtooth"))) {
            wave_define(rest_of_line(&line), WAVE_SAWTOOTH);
        } else if (str_equal(key, STR("wave"))) {
            wave_load(&reader, &line);
        } else if (str_equal(key, STR("shape"))) {
            sound_begin(&reader, rest_of_line(&line));
        } else if (str_equal(key, STR("curve_start"))) {
            numbers_read(&line, &reader.sound.attack_length, &reader.sound.lead_time);
            reader.current = POINTS_ATTACK;
        } else if (str_equal(key, STR("curve_end"))) {
            numbers_read(&line, &reader.sound.release_length, &reader.sound.tail_time);
            reader.current = POINTS_RELEASE;
        } else if (str_equal(key, STR("p"))) {
            point_read(&reader, &line);
        } else if (str_equal(key, STR("end"))) {
            sound_finish(&reader);
        }
    }
}

void sounds_load_from(Str folder) {
    Str path = STR("sounds/sounds.txt");
    if (folder.length > 0) {
        const FormatArg args[] = {fa_str(folder)};
        path = format_tmp(STR("%a/sounds/sounds.txt"), args, ARRAY_COUNT(args));
    }
    Str text = read_entire_file(path, POOL_MAIN);
    if (text.length > 0) sounds_parse(text, folder);
}

void sounds_load() { sounds_load_from(Str{0, 0}); }
