// Helpers of the synthesis tests: compiled pieces built by hand, rendering one from the
// same starting phases by the fast path (on a given number of threads) or by the reference
// loop, and comparing the results sample by sample and phase by phase.
#pragma once

#include <string.h>

#include <string>
#include <vector>

#include "sound/synth_reference.h"
#include "sound_test_support.h"

// A compiled piece of `frames` frames with neutral tracks of `rows` blocks and `columns`
// columns (the last is the neutral one for notes of lost groups), and no events.
inline void compiled_neutral(CompiledPiece* compiled, i64 rate, i64 channels, i64 frames,
                             i64 rows, i64 columns) {
    compiled_piece_init(compiled, POOL_MAIN);
    compiled->sample_rate = rate;
    compiled->channels = channels;
    compiled->columns = columns;
    array_resize(&compiled->volume, rows * columns);
    array_resize(&compiled->panning, rows * columns);
    array_resize(&compiled->pitch, rows * columns);
    array_resize(&compiled->wave_mix, rows * columns * 4);
    for (i64 i = 0; i < rows * columns; i += 1) {
        compiled->volume[i] = 1.0;
        compiled->pitch[i] = 1.0;
        compiled->wave_mix[i * 4] = 1.0;
    }
    compiled->compiled_length = frames * channels;
}

struct SynthOutcome {
    std::vector<f32> samples;
    std::vector<f64> phases;  // every event's running phase afterwards
};

// Renders `compiled` and puts its events' phases back as they were, so that the next
// rendering starts from the same state. threads 0 means the reference loop.
inline SynthOutcome synth_outcome(CompiledPiece* compiled, i64 threads) {
    std::vector<VoiceEvent> saved(compiled->events.data,
                                  compiled->events.data + compiled->events.count);
    SynthOutcome outcome;
    outcome.samples.assign((size_t)compiled->compiled_length, 0.0f);
    if (threads == 0)
        synthesize_reference(compiled, outcome.samples.data(), compiled->compiled_length, nullptr);
    else
        synthesize(compiled, outcome.samples.data(), compiled->compiled_length, nullptr, threads);
    for (i64 e = 0; e < compiled->events.count; e += 1) {
        outcome.phases.push_back(compiled->events[e].phase);
        compiled->events[e] = saved[(size_t)e];
    }
    return outcome;
}

// The largest difference between two renderings, and where it is.
inline f64 largest_difference(const SynthOutcome& a, const SynthOutcome& b, i64* at) {
    f64 largest = 0.0;
    *at = -1;
    for (size_t i = 0; i < a.samples.size() && i < b.samples.size(); i += 1) {
        f64 d = fabs((f64)a.samples[i] - (f64)b.samples[i]);
        if (!(d <= largest)) {
            largest = d;
            *at = (i64)i;
        }
    }
    return largest;
}

inline f64 loudest(const SynthOutcome& a) {
    f64 peak = 0.0;
    for (f32 s : a.samples) peak = fabs((f64)s) > peak ? fabs((f64)s) : peak;
    return peak;
}

// Phases equal bit for bit (NaN included).
inline bool same_phases(const SynthOutcome& a, const SynthOutcome& b) {
    return a.phases.size() == b.phases.size() &&
           memcmp(a.phases.data(), b.phases.data(), a.phases.size() * sizeof(f64)) == 0;
}

// Samples and phases equal bit for bit.
inline bool same_bits(const SynthOutcome& a, const SynthOutcome& b) {
    return a.samples.size() == b.samples.size() && same_phases(a, b) &&
           memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(f32)) == 0;
}

// The fast path on one thread and the reference loop from the same phases: the samples
// within 1e-6 each and the phases bit for bit, and both must sound.
inline void expect_reference(CompiledPiece* compiled, const std::string& what) {
    SynthOutcome fast = synth_outcome(compiled, 1);
    SynthOutcome reference = synth_outcome(compiled, 0);
    ASSERT_GT(loudest(reference), 0.01) << what << ": the rendering is silent";
    i64 at = 0;
    EXPECT_LE(largest_difference(fast, reference, &at), 1e-6)
        << what << ": sample " << at << " of " << reference.samples.size() << " is "
        << fast.samples[(size_t)at] << ", the reference has " << reference.samples[(size_t)at];
    EXPECT_TRUE(same_phases(fast, reference)) << what << ": the running phases differ";
}
