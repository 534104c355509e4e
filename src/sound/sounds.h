// Sound definitions of "sounds/sounds.txt": the named waves (oscillators and recordings)
// and the named sounds (envelopes) that a piece's sound and shape objects refer to.
// Written once at start-up on the main thread; read-only afterwards, from any thread.
#pragma once

#include "base/pool.h"
#include "model/piece.h"
#include "platform/system.h"
#include "sound/name_table.h"

// 1000 samples of a curve over x = 0..1 (entry i at x = i / 999). Count 0 reads as 1.
struct CurveTable {
    f64* values;
    i64 count;
};
#ifdef SORVANE_FUZZ_BUILD
// The fuzzers' build samples a curve 16 times: the same code runs, and an input that
// defines a few sounds costs a tenth of a millisecond instead of milliseconds.
static const i64 CURVE_TABLE_SIZE = 16;
#else
static const i64 CURVE_TABLE_SIZE = 1000;
#endif

enum WaveKind : u8 {
    WAVE_SINE = 0,
    WAVE_SQUARE = 1,
    WAVE_TRIANGLE = 2,
    WAVE_SAWTOOTH = 3,
    WAVE_SAMPLED = 4,
};

struct WaveDefinition {
    u8 kind;
    // 1.0 for the oscillators; for a recording the frequency in Hz at which it plays at
    // its own speed.
    f64 reference_frequency;
    WaveData data;  // 32-bit float, interleaved; all zero for the oscillators
};

struct SoundDefinition {
    CurveTable shape;    // over the note's own duration
    CurveTable attack;   // over the first attack_length seconds of the voice
    CurveTable release;  // over the last release_length seconds of the voice
    f64 attack_length, lead_time;   // seconds; the voice starts lead_time early
    f64 release_length, tail_time;  // seconds; the voice ends tail_time late
};

// A control point of a Bezier segment, in the single precision the evaluation uses.
struct CurveControl {
    f32 x, y;
};

// Forgets both tables (start-up and tests). Does not allocate.
void sounds_reset();
// Reads "sounds/sounds.txt" of the current folder; what it cannot read stays undefined.
void sounds_load();
// The same for the data folder `folder` (empty: the current folder). Wave paths in the
// file are taken relative to that folder unless they start with '/'.
void sounds_load_from(Str folder);
// Parses definitions from text that stays alive for the rest of the run (names point
// into it). Wave paths are prefixed with `folder` as above.
void sounds_parse(Str text, Str folder);

const SoundDefinition* sound_find(Str name);  // null when not defined
const WaveDefinition* wave_find(Str name);
// Stand-ins for undefined names: a sine, and a sound with no envelope at all.
const WaveDefinition* wave_default();
const SoundDefinition* sound_default();
// The tables themselves, for the statistics and the tests.
const NameTable<WaveDefinition>* wave_table();
const NameTable<SoundDefinition>* sound_table();

// The table of a list of points (file order, expected increasing in x), from `pool`.
CurveTable curve_table_build(const CurvePoint* points, i64 count, u8 pool);
// y of the cubic Bezier p0..p3 at x, found by bisection on the curve parameter.
f64 curve_point_value(f64 x, CurveControl p0, CurveControl p1, CurveControl p2,
                      CurveControl p3);
// The segment from point a (position, outgoing handle) to b (incoming handle, position).
f64 curve_segment_value(f64 x, const CurvePoint* a, const CurvePoint* b);

// The four control points of a segment, as curve_segment_value takes them.
struct CurveSegment {
    CurveControl p0, p1, p2, p3;
};
CurveSegment curve_segment(const CurvePoint* a, const CurvePoint* b);
// curve_point_value for `count` positions, each on its own segment: the same values, bit
// for bit, several at a time.
void curve_point_values(const f64* x, const CurveSegment* segments, i64 count, f64* values);
