// The kernels of the fast synthesis: the voices of notes (the events of a run share timing,
// sound and group) rendered a batch of runs at a time over a range of frames, a control
// block at a time.
// Used by synth.cpp on the render threads; reads the compiled piece, writes only the
// frames of the range it is given.
#pragma once

#include "sound/synth.h"

// Events rendered together at most: their envelope and control work is shared.
static const i64 VOICE_RUN_MAXIMUM = 8;

// Consecutive events from `events` that form one run (same start, end, sound and group,
// at most VOICE_RUN_MAXIMUM); at least 1 when `count` > 0.
i64 voice_run_length(const VoiceEvent* events, i64 count);
// The frames a run sounds over (end exclusive), cut to 0 .. frames; first >= end when it
// makes no sound.
void voice_run_frames(const CompiledPiece* compiled, const VoiceEvent* run, i64 frames,
                      i64* first, i64* end);
// One run of a batch: its events, their running phases at frame `first` (<= lo, cycles:
// the run's first frame, or any later block boundary the phases were carried to), and the
// frames lo .. hi to add; `after` receives the phases after frame hi - 1 (one per event).
struct VoiceRun {
    const VoiceEvent* events;
    i64 count;
    i64 first, lo, hi;
    f64 initial[VOICE_RUN_MAXIMUM];
    f64 after[VOICE_RUN_MAXIMUM];
};
// Runs rendered together at most, and their phase streams at most.
static const i64 VOICE_BATCH_MAXIMUM = 16;
static const i64 VOICE_BATCH_STREAMS = 16;

// The phase streams of a run: events with the same step and the same starting phase share
// one. Fills the streams' steps and starting phases and each event's stream; returns the
// count.
i64 voice_run_streams(const VoiceRun* run, f64* steps, f64* phases, i64* stream_of);

// Adds the frames of a batch of runs (in list order, at most VOICE_BATCH_MAXIMUM with
// VOICE_BATCH_STREAMS phase streams in all) into `samples`, whose first sample is frame `origin`
// (<= every lo). The batch goes through time once: the times of a chunk of frames and the
// tracks of a group are worked out once for every run sounding there, and each sample
// still receives the runs' products in list order.
void voice_batch_render(const CompiledPiece* compiled, VoiceRun* runs, i64 count, f32* samples,
                        i64 origin);

// The builds of the kernels, narrowest first; every one gives the same bits.
enum VoiceKernels : u8 { VOICE_KERNELS_PLAIN, VOICE_KERNELS_AVX2, VOICE_KERNELS_AVX512 };
// For the tests and benchmarks: the widest build to use (the processor's widest at most,
// by default). Returns the build that renders from now on. Set it only while no rendering
// runs.
VoiceKernels voice_kernels_limit(VoiceKernels widest);
