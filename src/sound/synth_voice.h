// The kernels of the fast synthesis: one note's voices (the events of a run that share
// timing, sound and group) rendered over a range of frames, a control block at a time.
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
// Adds the run's frames lo .. hi into `samples`, whose first sample is frame `origin`
// (<= lo). `initial` holds the events' running phases at frame `first` (<= lo, cycles): the
// run's first frame, or any later block boundary the phases were carried to; a range that
// starts after `first` carries them forward in the same order a single pass would. The
// phases after frame hi - 1 go to `phases_out` (one per event).
void voice_run_render(const CompiledPiece* compiled, const VoiceEvent* run, i64 count,
                      const f64* initial, i64 first, i64 lo, i64 hi, f32* samples, i64 origin,
                      f64* phases_out);

// The builds of the kernels, narrowest first; every one gives the same bits.
enum VoiceKernels : u8 { VOICE_KERNELS_PLAIN, VOICE_KERNELS_AVX2, VOICE_KERNELS_AVX512 };
// For the tests and benchmarks: the widest build to use (the processor's widest at most,
// by default). Returns the build that renders from now on. Set it only while no rendering
// runs.
VoiceKernels voice_kernels_limit(VoiceKernels widest);
