// Fast rendering of batches of runs of voice events: per chunk of at most one control
// block, the times and the tracks of each group once for all the runs sounding there, the
// envelope once for all of a note's waves, the running phases in plain frame order (several
// streams side by side), and each wave kind in a loop of its own, free of branches, that
// the compiler can vectorise. Any render thread; no state.
#include "sound/synth_voice.h"

#include "platform/system.h"

// The same arithmetic on every processor: no contraction into fused multiply-adds. (GCC
// knows no such pragma; CMakeLists.txt gives it -ffp-contract=off instead.)
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#endif

i64 voice_run_length(const VoiceEvent* events, i64 count) {
    if (count <= 0) return 0;
    const VoiceEvent* head = &events[0];
    i64 n = 1;
    while (n < count && n < VOICE_RUN_MAXIMUM) {
        const VoiceEvent* next = &events[n];
        if (next->start_time != head->start_time || next->end_time != head->end_time ||
            next->sound != head->sound || next->group_index != head->group_index)
            break;
        n += 1;
    }
    return n;
}

void voice_run_frames(const CompiledPiece* compiled, const VoiceEvent* run, i64 frames,
                      i64* first, i64* end) {
    const SoundDefinition* sound = run->sound;
    f64 rate = (f64)compiled->sample_rate;
    *first = 0;
    *end = 0;
    // An empty note has no place on its own shape.
    if (!(run->end_time - run->start_time > 0.0)) return;
    *first = synth_frame_at(run->start_time - sound->lead_time, rate, frames);
    *end = synth_frame_at(run->end_time + sound->tail_time, rate, frames);
}

i64 voice_run_streams(const VoiceRun* run, f64* steps, f64* phases, i64* stream_of) {
    i64 streams = 0;
    for (i64 e = 0; e < run->count && e < VOICE_RUN_MAXIMUM; e += 1) {
        f64 step = run->events[e].frequency / run->events[e].wave->reference_frequency;
        i64 s = 0;
        while (s < streams && !(steps[s] == step && phases[s] == run->initial[e])) s += 1;
        if (s == streams) {
            steps[s] = step;
            phases[s] = run->initial[e];
            streams += 1;
        }
        stream_of[e] = s;
    }
    return streams;
}

// --- The builds of the kernels ----------------------------------------------------------

#define VOICE_KERNEL_FMA 0
#define VOICE_KERNEL_GATHER 0
namespace voice_plain {
#include "sound/synth_voice_kernels.inc"
}
#undef VOICE_KERNEL_FMA

// The wider builds: the same source for wider vectors. Fused multiply-adds only where the
// kernels ask for one by name (an exact remainder); no contraction.
#if defined(__x86_64__)
#define VOICE_KERNEL_FMA 1
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif
namespace voice_avx2 {
#include "sound/synth_voice_kernels.inc"
}
#if defined(__clang__)
#pragma clang attribute pop
#pragma clang attribute push(__attribute__((target("avx512f,avx512dq,avx512vl,avx2,fma"))), \
                             apply_to = function)
#else
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("avx512f,avx512dq,avx512vl,avx2,fma")
#endif
#undef VOICE_KERNEL_GATHER
#define VOICE_KERNEL_GATHER 1
namespace voice_avx512 {
#include "sound/synth_voice_kernels.inc"
}
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#undef VOICE_KERNEL_FMA
#endif
#undef VOICE_KERNEL_GATHER

static VoiceKernels kernels_limit = VOICE_KERNELS_AVX512;

// The widest build this processor runs.
static VoiceKernels kernels_widest() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("fma"))
        return VOICE_KERNELS_AVX512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return VOICE_KERNELS_AVX2;
#endif
    return VOICE_KERNELS_PLAIN;
}

VoiceKernels voice_kernels_limit(VoiceKernels widest) {
    kernels_limit = widest;
    VoiceKernels available = kernels_widest();
    return available < widest ? available : widest;
}

void voice_batch_render(const CompiledPiece* compiled, VoiceRun* runs, i64 count, f32* samples,
                        i64 origin) {
    static const VoiceKernels available = kernels_widest();
    VoiceKernels kernels = available < kernels_limit ? available : kernels_limit;
#if defined(__x86_64__)
    if (kernels == VOICE_KERNELS_AVX512) {
        voice_avx512::batch_render(compiled, runs, count, samples, origin);
        return;
    }
    if (kernels == VOICE_KERNELS_AVX2) {
        voice_avx2::batch_render(compiled, runs, count, samples, origin);
        return;
    }
#endif
    (void)kernels;
    voice_plain::batch_render(compiled, runs, count, samples, origin);
}
