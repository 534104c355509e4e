// Synthesis: adds every voice event of a compiled piece into a buffer of interleaved
// 32-bit float samples, frame by frame, with no clipping. The straightforward loop is
// kept on purpose as the reference that faster versions are compared with. Any thread;
// it touches only the compiled piece (event phases) and the buffer it is given.
#pragma once

#include "sound/compile.h"

// Called now and then with the frames done so far and the total (for progress bars).
struct SynthProgress {
    void (*report)(void* user, i64 done, i64 total);
    void* user;
};

// Value of a 1000-entry envelope table at x in 0..1 (1.0 for an empty table).
f64 curve_table_value(f64 x, const CurveTable* table);
// Value of a control track at block position u (frames / block size): linear between
// blocks, the last block held. `length` is the track's entry count.
f64 track_value(const f64* track, i64 length, i64 stride, i64 column, f64 u);
// Raw value of a wave at phase `phase` (cycles) for output channel `channel`.
f64 wave_value(const WaveDefinition* wave, f64 phase, i64 channel);

// Adds the events into `samples` (length samples, zeroed by the caller, laid out for the
// compiled channel count). Returns the seconds it took by the performance counter.
f64 synthesize(CompiledPiece* compiled, f32* samples, i64 length, const SynthProgress* progress);
