// Synthesis: adds every voice event of a compiled piece into a buffer of interleaved
// 32-bit float samples, with no clipping. The fast path renders a note's waves together,
// a control block at a time, and splits the piece into time ranges over every core; its
// output does not depend on the number of threads. Any thread may call it; it touches
// only the compiled piece (event phases) and the buffer it is given.
#pragma once

#include "sound/compile.h"

// Called now and then with the frames done so far and the total (for progress bars).
// With `final` set the ranges are rendered in time order, the first ones short, and `final`
// is called (one call at a time, from whichever synthesis thread) each time the samples
// from the start up to `frames` are final, last with the whole length. A non-zero
// `*cancel` (read atomically) stops the rendering after the ranges under way.
struct SynthProgress {
    void (*report)(void* user, i64 done, i64 total);
    void* user;
    void (*final)(void* user, i64 frames);
    const u8* cancel;
};

// Value of a 1000-entry envelope table at x in 0..1 (1.0 for an empty table).
f64 curve_table_value(f64 x, const CurveTable* table);
// Value of a control track at block position u (frames / block size): linear between
// blocks, the last block held. `length` is the track's entry count.
f64 track_value(const f64* track, i64 length, i64 stride, i64 column, f64 u);
// Raw value of a wave at phase `phase` (cycles) for output channel `channel`.
f64 wave_value(const WaveDefinition* wave, f64 phase, i64 channel);

// Frame index of a time, cut to 0 .. limit (a double that does not fit gives a bound).
inline i64 synth_frame_at(f64 seconds, f64 rate, i64 limit) {
    f64 frame = seconds * rate;
    if (!(frame > 0.0)) return 0;
    if (frame >= (f64)limit) return limit;
    return (i64)frame;
}

// The track column an event reads: its group's, or the neutral one after the groups.
inline i64 synth_event_column(const CompiledPiece* compiled, const VoiceEvent* event) {
    i64 column = event->group_index;
    if (column < 0 || column >= compiled->columns - 1) column = compiled->columns - 1;
    return column;
}

// Adds the events into `samples` (length samples, zeroed by the caller, laid out for the
// compiled channel count) and advances every event's running phase. `threads` 0 uses
// every core (short renderings stay on the calling thread); the samples and the phases
// are the same, bit for bit, whatever the count. Returns the seconds it took.
f64 synthesize(CompiledPiece* compiled, f32* samples, i64 length, const SynthProgress* progress,
               i64 threads = 0);

// Adds frames first .. end (cut to the rendering) of a rendering `length` samples long into
// `samples` (the whole buffer): the same samples one synthesize gives there, the voices
// that sound across `first` carried to it from their own first frame. `first` on a block
// boundary. With progress->final, that reports `end` last.
f64 synthesize_part(CompiledPiece* compiled, f32* samples, i64 length, i64 first, i64 end,
                    const SynthProgress* progress, i64 threads = 0);

// A long rendering synthesised a window at a time into a buffer of the window's size, for
// writing it out in parts with little memory; the windows together give the same samples
// and phases, bit for bit, as one synthesize over the whole length. The phases of voices
// that sound across a window's end are carried into the next (malloc'd, one pair per event).
struct SynthWindows {
    CompiledPiece* compiled;
    i64 frames;  // of the whole rendering
    i64 next;    // first frame of the next window
    f64* carry;
};
// False when memory is short. `length` is the whole rendering's, in samples.
bool synth_windows_begin(SynthWindows* windows, CompiledPiece* compiled, i64 length);
// Renders frames `next` .. `end` (end cut to a block boundary, or the last frame) into
// `samples` (zeroed by the caller, frame `next` first). Returns the seconds it took.
f64 synth_window_render(SynthWindows* windows, f32* samples, i64 end,
                        const SynthProgress* progress, i64 threads = 0);
void synth_windows_end(SynthWindows* windows);
