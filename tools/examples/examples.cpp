// Building the demo pieces. Every time, length and pitch is written as an exact fraction;
// curves are straight segments between their points (handles a third of the way along).
// The objects that shape the sound lie in a band below the notes, each on its own row, so
// that their boxes and curves never cover a note on the canvas.
#include "examples.h"

#include <string.h>

#include "platform/system.h"

Str example_file_name(u8 example) {
    switch (example) {
        case EXAMPLE_JUST_CHORDS: return STR("just_chords.scene");
        case EXAMPLE_CURVES: return STR("curves.scene");
        default: return STR("recorded_waves.scene");
    }
}

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------
static Fraction f(i64 numerator, i64 denominator = 1) { return Fraction{numerator, denominator}; }

struct Point {
    Fraction x, y;
};


// A curve through the points, joined by straight segments.
static bool curve_make(Curve* curve, u8 pool, Fraction minimum, Fraction maximum, bool logarithmic,
                       const Point* points, i64 count) {
    curve_init(curve, pool);
    curve->minimum = minimum;
    curve->maximum = maximum;
    curve->logarithmic = logarithmic ? 1 : 0;
    const Fraction third = {1, 3};
    for (i64 i = 0; i < count; i += 1) {
        Fraction x = points[i].x, y = points[i].y;
        CurvePoint point = {x, y, x, y, x, y};
        if (i > 0) {
            point.in_x = fraction_sub(x, fraction_mul(fraction_sub(x, points[i - 1].x), third));
            point.in_y = fraction_sub(y, fraction_mul(fraction_sub(y, points[i - 1].y), third));
        }
        if (i + 1 < count) {
            point.out_x = fraction_add(x, fraction_mul(fraction_sub(points[i + 1].x, x), third));
            point.out_y = fraction_add(y, fraction_mul(fraction_sub(points[i + 1].y, y), third));
        }
        if (!array_push(&curve->points, point)) return false;
    }
    return true;
}

static i64 group_make(Piece* piece, const char* name, const f32* color, const char* texture) {
    i64 id = piece_group_add(piece, str_from_cstring(name));
    if (id < 0) return -1;
    Group* group = &piece->groups[piece->groups.count - 1];
    memcpy(group->color, color, sizeof(group->color));
    group->texture_name = str_copy(piece->pool, str_from_cstring(texture));
    return group->texture_name.length > 0 ? id : -1;
}

static bool note_add(Piece* piece, i64 group, Fraction time, Fraction duration, Fraction pitch) {
    NoteObject note = {};
    note.header = object_header_make(piece, OBJECT_NOTE, group, time, duration, pitch, SCOPE_GLOBAL);
    note.draw_size = 1.0f;
    return array_push(&piece->notes, note) != 0;
}

static bool key_add(Piece* piece, const char* name, f64 reference, Fraction end, Fraction row) {
    KeyObject key = {};
    key.header = object_header_make(piece, OBJECT_KEY, 0, f(0), end, row, SCOPE_GLOBAL);
    key.reference_frequency = reference;
    key.key_name = str_copy(piece->pool, str_from_cstring(name));
    array_init(&key.classes, piece->pool);
    array_init(&key.pitches, piece->pool);
    return key.key_name.length > 0 && array_push(&piece->keys, key) != 0;
}

static bool measure_add(Piece* piece, Fraction bar, Fraction end, Fraction row) {
    MeasureObject measure = {};
    measure.header = object_header_make(piece, OBJECT_MEASURE, 0, f(0), end, row, SCOPE_GLOBAL);
    measure.bar_length = bar;
    const f32 color[4] = {0.55f, 0.6f, 0.98f, 0.3f};
    memcpy(measure.bar_color, color, sizeof(color));
    return array_push(&piece->measures, measure) != 0;
}

static bool tempo_add(Piece* piece, Fraction end, Fraction row, const Point* points, i64 count) {
    TempoObject tempo = {};
    tempo.header = object_header_make(piece, OBJECT_TEMPO, 0, f(0), end, row, SCOPE_GLOBAL);
    return curve_make(&tempo.tempo, piece->pool, f(30), f(240), false, points, count) &&
           array_push(&piece->tempos, tempo) != 0;
}

// A sound of up to four waves for one group; blend curve i (gain of wave i + 1) comes from
// blends[i], with `counts[i]` points.
static bool sound_add(Piece* piece, i64 group, Fraction end, Fraction row, const char* const* waves,
                      i64 wave_count, const Point* const* blends = 0, const i64* counts = 0) {
    SoundObject sound = {};
    sound.header = object_header_make(piece, OBJECT_SOUND, group, f(0), end, row, SCOPE_LOCAL);
    sound.visible = 1;
    sound.editable = 1;
    sound.wave_count = wave_count;
    for (i64 i = 0; i < wave_count; i += 1) {
        sound.wave_names[i] = str_copy(piece->pool, str_from_cstring(waves[i]));
        if (sound.wave_names[i].length == 0) return false;
    }
    for (i64 i = 0; i < SOUND_MAX_WAVES - 1; i += 1) {
        bool used = i < wave_count - 1;
        if (!curve_make(&sound.blend[i], piece->pool, f(0), f(1), false, used ? blends[i] : 0,
                        used ? counts[i] : 0))
            return false;
    }
    return array_push(&piece->sounds, sound) != 0;
}

static bool shape_add(Piece* piece, i64 group, Fraction end, Fraction row, const char* name) {
    ShapeObject shape = {};
    shape.header = object_header_make(piece, OBJECT_SHAPE, group, f(0), end, row, SCOPE_LOCAL);
    shape.shape_name = str_copy(piece->pool, str_from_cstring(name));
    return shape.shape_name.length > 0 && array_push(&piece->shapes, shape) != 0;
}

static bool volume_add(Piece* piece, i64 group, u8 scope, Fraction end, Fraction row,
                       const Point* volume, i64 volume_count, const Point* pan, i64 pan_count) {
    VolumeObject object = {};
    object.header = object_header_make(piece, OBJECT_VOLUME, group, f(0), end, row, scope);
    return curve_make(&object.volume, piece->pool, f(0), f(2), false, volume, volume_count) &&
           curve_make(&object.pan, piece->pool, f(-1), f(1), false, pan, pan_count) &&
           array_push(&piece->volumes, object) != 0;
}

static bool text_add(Piece* piece, Fraction time, Fraction row, const char* text) {
    TextObject object = {};
    object.header = object_header_make(piece, OBJECT_TEXT, 0, time, f(8), row, SCOPE_GLOBAL);
    const f32 color[4] = {0.9f, 0.91f, 0.94f, 1.0f};
    memcpy(object.color, color, sizeof(color));
    object.text = str_copy(piece->pool, str_from_cstring(text));
    object.size = 32.0;
    return object.text.length > 0 && array_push(&piece->texts, object) != 0;
}

static void settings_make(Piece* piece, Fraction end) {
    piece_settings_default(&piece->settings);
    piece->settings.end_time = end;
    const f32 background[4] = {0.07f, 0.08f, 0.12f, 1.0f};
    memcpy(piece->settings.background, background, sizeof(background));
}

// Colours of the groups: the theme's note, measure-blue, tempo-yellow and repeat-cyan.
static const f32 RED[4] = {0.97f, 0.47f, 0.44f, 1.0f};
static const f32 BLUE[4] = {0.55f, 0.7f, 1.0f, 1.0f};
static const f32 YELLOW[4] = {0.98f, 0.81f, 0.37f, 1.0f};
static const f32 CYAN[4] = {0.38f, 0.84f, 0.92f, 1.0f};

// The band of rows below the notes where the objects that shape the sound lie, filled
// from its top down. Each object's box is one row high and its curves stack above it, two
// rows each; the next object goes below with half a row between them.
struct Band {
    f64 bottom;  // canvas y of the lowest edge used so far
};

// The row (as a pitch, in 4096ths) for an object with `curves` curves above its box.
static Fraction band_next(Band* band, i64 curves) {
    f64 row = band->bottom - 0.5 - 2.0 * (f64)curves - 0.5;
    band->bottom = row - 0.5;
    f64 pitch = math_pow(2.0, row / 8.0);
    return fraction_normalize(Fraction{(i64)math_floor(pitch * 4096.0 + 0.5), 4096});
}

// ---------------------------------------------------------------------------
// just_chords: I vi IV V I IV V I, a bar each, in just major on C (264 Hz)
// ---------------------------------------------------------------------------
static bool just_chords_build(Piece* piece) {
    const Fraction end = f(32);
    settings_make(piece, f(34));  // two beats more for the last release
    i64 chords = group_make(piece, "chords", BLUE, "circle");
    i64 melody = group_make(piece, "melody", RED, "sphere");
    if (chords < 0 || melody < 0) return false;

    // Bass and triad of each bar, as ratios to the key's 1/1: every triad is 4:5:6 (major)
    // or 10:12:15 (minor) exactly, which equal temperament only approaches.
    static const Fraction bars[8][4] = {
        {{1, 2}, {1, 1}, {5, 4}, {3, 2}},    // I:  do mi sol
        {{5, 12}, {5, 6}, {1, 1}, {5, 4}},   // vi: la do mi
        {{2, 3}, {1, 1}, {4, 3}, {5, 3}},    // IV: fa la do
        {{3, 4}, {15, 16}, {9, 8}, {3, 2}},  // V:  sol ti re
        {{1, 2}, {1, 1}, {5, 4}, {3, 2}},    // I
        {{2, 3}, {1, 1}, {4, 3}, {5, 3}},    // IV
        {{3, 4}, {15, 16}, {9, 8}, {3, 2}},  // V
        {{1, 2}, {1, 1}, {5, 4}, {3, 2}},    // I
    };
    for (i64 bar = 0; bar < 8; bar += 1)
        for (i64 voice = 0; voice < 4; voice += 1)
            if (!note_add(piece, chords, f(4 * bar), f(4), bars[bar][voice])) return false;

    // The melody an octave above, as (pitch, beats) in order.
    static const Fraction tune[][2] = {
        {{5, 2}, {1, 1}}, {{3, 1}, {1, 1}}, {{4, 1}, {2, 1}},                     // I
        {{10, 3}, {1, 1}}, {{3, 1}, {1, 1}}, {{5, 2}, {2, 1}},                    // vi
        {{8, 3}, {1, 1}}, {{10, 3}, {1, 1}}, {{4, 1}, {1, 1}}, {{10, 3}, {1, 1}},  // IV
        {{3, 1}, {2, 1}}, {{9, 4}, {1, 1}}, {{15, 8}, {1, 1}},                    // V
        {{2, 1}, {1, 1}}, {{5, 2}, {1, 1}}, {{3, 1}, {2, 1}},                     // I
        {{10, 3}, {1, 1}}, {{4, 1}, {1, 1}}, {{8, 3}, {2, 1}},                    // IV
        {{9, 4}, {1, 2}}, {{5, 2}, {1, 2}}, {{3, 1}, {1, 1}}, {{15, 4}, {1, 1}}, {{9, 2}, {1, 1}},  // V
        {{4, 1}, {4, 1}},                                                          // I
    };
    Fraction at = f(0);
    for (const auto& entry : tune) {
        if (!note_add(piece, melody, at, entry[1], entry[0])) return false;
        at = fraction_add(at, entry[1]);
    }

    const Point tempo[] = {{f(0), f(100)}};
    const Point chord_level[] = {{f(0), f(1, 5)}};
    const Point melody_level[] = {{f(0), f(2, 5)}};
    const Point left[] = {{f(0), f(-1, 5)}};
    const Point right[] = {{f(0), f(1, 5)}};
    const char* sine[] = {"sine"};
    const char* triangle[] = {"triangle"};
    Band band = {-11.0};  // below the lowest bass note, 5/12
    return key_add(piece, "just major", 264.0, f(34), band_next(&band, 0)) &&
           measure_add(piece, f(4), end, band_next(&band, 0)) &&
           tempo_add(piece, f(34), band_next(&band, 1), tempo, 1) &&
           sound_add(piece, chords, f(34), band_next(&band, 0), sine, 1) &&
           shape_add(piece, chords, f(34), band_next(&band, 0), "pad") &&
           volume_add(piece, chords, SCOPE_LOCAL, f(34), band_next(&band, 2), chord_level, 1, left, 1) &&
           sound_add(piece, melody, f(34), band_next(&band, 0), triangle, 1) &&
           shape_add(piece, melody, f(34), band_next(&band, 0), "piano") &&
           volume_add(piece, melody, SCOPE_LOCAL, f(34), band_next(&band, 2), melody_level, 1, right, 1) &&
           text_add(piece, f(0), f(5), "I vi IV V in just major: every chord 4:5:6 or 10:12:15");
}

// ---------------------------------------------------------------------------
// curves: an accelerando, a fade, a pan sweep and a glissando
// ---------------------------------------------------------------------------
static bool curves_build(Piece* piece) {
    const Fraction end = f(48);
    settings_make(piece, f(49));
    i64 arpeggio = group_make(piece, "arpeggio", YELLOW, "circle");
    i64 glide = group_make(piece, "glide", CYAN, "square");
    if (arpeggio < 0 || glide < 0) return false;

    // Harmonic-seventh chords 4:5:6:7 on do and on fa, up and down in half beats.
    static const Fraction chord[8] = {{1, 1}, {5, 4}, {3, 2}, {7, 4}, {2, 1}, {7, 4}, {3, 2}, {5, 4}};
    for (i64 step = 0; step < 96; step += 1) {
        Fraction root = (step / 16) % 2 == 0 ? f(1) : f(4, 3);
        if (!note_add(piece, arpeggio, f(step, 2), f(1, 2), fraction_mul(root, chord[step % 8])))
            return false;
    }
    // One long low note under it all; the pitch curve below bends it.
    if (!note_add(piece, glide, f(0), end, f(1, 2))) return false;

    // The tempo rises from 72 to 168 beats a minute over 40 beats, then holds.
    const Point tempo[] = {{f(0), f(72)}, {f(40), f(168)}, {f(48), f(168)}};
    // The whole piece fades out over its last 16 beats.
    const Point fade[] = {{f(0), f(1)}, {f(32), f(1)}, {f(48), f(0)}};
    const Point centre[] = {{f(0), f(0)}};
    // The arpeggio travels from the left to the right and back.
    const Point arpeggio_level[] = {{f(0), f(2, 5)}};
    const Point sweep[] = {{f(0), f(-4, 5)}, {f(24), f(4, 5)}, {f(48), f(-4, 5)}};
    const Point glide_level[] = {{f(0), f(1, 2)}};
    // Glissandi: up a fifth, down to the fourth above, and home, as pitch factors (a
    // logarithmic curve from 1/2 to 2, so equal steps of the curve are equal intervals).
    const Point bend[] = {{f(0), f(1)},      {f(8), f(1)},      {f(12), f(3, 2)}, {f(20), f(3, 2)},
                          {f(24), f(4, 3)}, {f(32), f(4, 3)}, {f(40), f(1)}};
    Band band = {-9.0};  // below the long low note, 1/2
    PitchObject pitch = {};
    pitch.header = object_header_make(piece, OBJECT_PITCH, glide, f(0), end, band_next(&band, 1), SCOPE_LOCAL);
    if (!curve_make(&pitch.pitch, piece->pool, f(1, 2), f(2), true, bend, 7) ||
        !array_push(&piece->pitches, pitch))
        return false;

    const char* sawtooth[] = {"sawtooth"};
    const char* sine[] = {"sine"};
    return tempo_add(piece, f(49), band_next(&band, 1), tempo, 3) &&
           volume_add(piece, 0, SCOPE_GLOBAL, f(49), band_next(&band, 2), fade, 3, centre, 1) &&
           volume_add(piece, arpeggio, SCOPE_LOCAL, f(49), band_next(&band, 2), arpeggio_level, 1, sweep, 3) &&
           key_add(piece, "harmonic seventh", 220.0, f(49), band_next(&band, 0)) &&
           sound_add(piece, arpeggio, f(49), band_next(&band, 0), sawtooth, 1) &&
           shape_add(piece, arpeggio, f(49), band_next(&band, 0), "staccato") &&
           sound_add(piece, glide, f(49), band_next(&band, 0), sine, 1) &&
           shape_add(piece, glide, f(49), band_next(&band, 0), "organ") &&
           volume_add(piece, glide, SCOPE_LOCAL, f(49), band_next(&band, 2), glide_level, 1, centre, 1) &&
           text_add(piece, f(0), f(4), "accelerando, pan sweep, glissando, fade");
}

// ---------------------------------------------------------------------------
// recorded_waves: pluck and bowed recordings, a three-wave blend, a repeat
// ---------------------------------------------------------------------------
static bool recorded_waves_build(Piece* piece) {
    const Fraction end = f(32);
    settings_make(piece, f(34));
    i64 plucked = group_make(piece, "plucked", RED, "circle");
    i64 bowed = group_make(piece, "bowed", BLUE, "square");
    if (plucked < 0 || bowed < 0) return false;

    // One phrase of eight beats in just minor; the repeat plays it three times more.
    static const Fraction picking[16] = {{1, 1}, {6, 5}, {3, 2}, {2, 1}, {3, 2}, {6, 5},
                                         {1, 1}, {6, 5}, {4, 3}, {8, 5}, {2, 1}, {8, 5},
                                         {3, 2}, {9, 8}, {3, 2}, {9, 5}};
    for (i64 i = 0; i < 16; i += 1)
        if (!note_add(piece, plucked, f(i, 2), f(1, 2), picking[i])) return false;
    if (!note_add(piece, bowed, f(0), f(4), f(1, 2)) || !note_add(piece, bowed, f(0), f(4), f(3, 4)) ||
        !note_add(piece, bowed, f(4), f(4), f(2, 3)) || !note_add(piece, bowed, f(4), f(4), f(4, 5)))
        return false;

    Band band = {-9.0};  // below the lowest bowed note, 1/2
    RepeatObject repeat = {};
    repeat.header = object_header_make(piece, OBJECT_REPEAT, 0, f(8), f(24), band_next(&band, 0), SCOPE_GLOBAL);
    repeat.start = f(0);
    repeat.end = f(8);
    repeat.count = 3;
    if (!array_push(&piece->repeats, repeat)) return false;

    // The bowed group's sound: the "bowed" recording, with a triangle that grows in over
    // the first half and a sawtooth that takes over the second; wave 0 gets the rest.
    const Point triangle_gain[] = {{f(0), f(0)}, {f(16), f(1, 2)}, {f(32), f(1, 5)}};
    const Point sawtooth_gain[] = {{f(0), f(0)}, {f(16), f(0)}, {f(32), f(3, 5)}};
    const Point* blends[] = {triangle_gain, sawtooth_gain};
    const i64 counts[] = {3, 3};
    const char* three[] = {"bowed", "triangle", "sawtooth"};
    const char* pluck[] = {"pluck"};
    const Point tempo[] = {{f(0), f(96)}};
    const Point pluck_level[] = {{f(0), f(1, 1)}};
    const Point bowed_level[] = {{f(0), f(3, 5)}};
    const Point left[] = {{f(0), f(-3, 10)}};
    const Point right[] = {{f(0), f(3, 10)}};
    return sound_add(piece, bowed, f(34), band_next(&band, 2), three, 3, blends, counts) &&
           shape_add(piece, bowed, f(34), band_next(&band, 0), "pad") &&
           volume_add(piece, bowed, SCOPE_LOCAL, f(34), band_next(&band, 2), bowed_level, 1, right, 1) &&
           sound_add(piece, plucked, f(34), band_next(&band, 0), pluck, 1) &&
           shape_add(piece, plucked, f(34), band_next(&band, 0), "pluck") &&
           volume_add(piece, plucked, SCOPE_LOCAL, f(34), band_next(&band, 2), pluck_level, 1, left, 1) &&
           key_add(piece, "just minor", 220.0, f(34), band_next(&band, 0)) &&
           measure_add(piece, f(8), end, band_next(&band, 0)) &&
           tempo_add(piece, f(34), band_next(&band, 1), tempo, 1) &&
           text_add(piece, f(0), f(4), "one phrase, repeated three times; the bowed sound changes");
}

bool example_build(Piece* piece, u8 example) {
    switch (example) {
        case EXAMPLE_JUST_CHORDS: return just_chords_build(piece);
        case EXAMPLE_CURVES: return curves_build(piece);
        case EXAMPLE_RECORDED_WAVES: return recorded_waves_build(piece);
        default: return false;
    }
}
