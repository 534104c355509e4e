// The fast synthesis against the reference loop: the same samples within 1e-6 each and the
// same running phases bit for bit, on the benchmark workloads (shortened), the example
// pieces, and compiled pieces built by hand to reach every edge of the kernels.
#include <string>

#include "base/text.h"
#include "model/files.h"
#include "model/scene.h"
#include "sound/synth_voice.h"
#include "synth_fast_support.h"
#include "workloads.h"

using SynthFast = SoundTest;

// On W3, whose notes sound all four waves, each narrower build of the kernels that the
// processor has gives the widest build's bits.
TEST_F(SynthFast, WorkloadsMatchTheReferenceAndEveryBuildOfTheKernelsGivesTheSameBits) {
    define_sounds(workload_sounds_text);
    for (u8 w = 0; w < WORKLOAD_COUNT; w += 1) {
        Piece workload;
        piece_init(&workload, POOL_MAIN);
        ASSERT_TRUE(workload_build(&workload, w, WORKLOAD_SEED));
        workload.settings.end_time = frac(12);  // their first 6 seconds, to stay quick
        CompiledPiece compiled = compiled_of(&workload, 44100, 2);
        expect_reference(&compiled, to_string(workload_name(w)));
        if (w != WORKLOAD_W3) continue;  // four waves: every kernel
        SynthOutcome widest = synth_outcome(&compiled, 1);
        for (VoiceKernels k : {VOICE_KERNELS_PLAIN, VOICE_KERNELS_AVX2}) {
            if (voice_kernels_limit(k) != k) continue;  // the processor lacks it
            SynthOutcome narrower = synth_outcome(&compiled, 1);
            voice_kernels_limit(VOICE_KERNELS_AVX512);
            EXPECT_TRUE(same_bits(widest, narrower)) << "build " << (int)k;
        }
    }
}

TEST_F(SynthFast, ExamplePiecesMatchTheReferenceInMonoAndStereo) {
    WaveMemory memory;
    sounds_load_from(STR(SORVANE_DATA_DIR));
    const char* names[] = {"curves", "just_chords", "recorded_waves"};
    for (const char* name : names) {
        std::string path = std::string(SORVANE_DATA_DIR) + "/examples/" + name + ".scene";
        Piece example;
        piece_init(&example, POOL_MAIN);
        ASSERT_EQ(scene_decode(read_entire_file(to_str(path), POOL_MAIN), &example, POOL_MAIN),
                  SCENE_OK)
            << path;
        for (i64 channels = 1; channels <= 2; channels += 1) {
            CompiledPiece compiled = compiled_of(&example, example.settings.sample_rate, channels);
            expect_reference(&compiled, std::string(name) + (channels == 1 ? " mono" : " stereo"));
        }
    }
}

// A compiled piece filled by hand: tracks that change every block, and events that reach
// every branch of the fast path.
struct KernelEdges : SynthFast {
    CompiledPiece compiled;
    std::vector<f32> recording;
    WaveDefinition waves[6];
    SoundDefinition sounds[3];
    f64 ramp_up[5] = {0.0, 0.5, 0.7, 0.8, 0.9};     // ends short of 1: the attack jumps
    f64 ramp_down[5] = {0.9, 0.6, 0.5, 0.4, 0.3};   // ends above 0: the release jumps
    f64 bumpy[7] = {1.0, 0.2, 0.9, 0.4, 0.8, 0.5, 0.7};

    // Deterministic values in [lo, hi).
    u64 state = 12345;
    f64 next(f64 lo, f64 hi) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return lo + (hi - lo) * (f64)(state >> 11) / (f64)(1ull << 53);
    }

    void build(i64 rate, i64 channels, i64 block_size, i64 frames, i64 rows, i64 groups) {
        compiled_neutral(&compiled, rate, channels, frames, rows, groups + 1);
        compiled.block_size = block_size;
        for (i64 i = 0; i < rows * compiled.columns; i += 1) {
            if (i % compiled.columns == groups) continue;  // the neutral column
            compiled.volume[i] = next(0.2, 1.0);
            compiled.panning[i] = next(-1.0, 1.0);
            compiled.pitch[i] = next(0.5, 2.0);
            for (i64 w = 0; w < 4; w += 1) compiled.wave_mix[i * 4 + w] = next(0.0, 1.0);
        }

        recording.resize(3 * 101);  // three channels, 101 frames
        for (size_t i = 0; i < recording.size(); i += 1) recording[i] = (f32)next(-1.0, 1.0);
        waves[0] = WaveDefinition{WAVE_SINE, 1.0, {}};
        waves[1] = WaveDefinition{WAVE_SQUARE, 1.0, {}};
        waves[2] = WaveDefinition{WAVE_TRIANGLE, 1.0, {}};
        waves[3] = WaveDefinition{WAVE_SAWTOOTH, 2.0, {}};
        waves[4] = WaveDefinition{WAVE_SAMPLED, 220.0,
                                  {SAMPLE_FORMAT_F32, 3, 22050, (i64)recording.size() * 4, recording.data()}};
        waves[5] = WaveDefinition{9, 1.0, {}};  // not a kind: silence, but the phase still runs
        // A plain sound; one with lead, attack, release and tail whose tables jump at their
        // bounds; one with a bumpy shape, an attack and no lead.
        sounds[0] = *sound_default();
        sounds[1] = SoundDefinition{{bumpy, 7}, {ramp_up, 5}, {ramp_down, 5}, 0.05, 0.03, 0.08, 0.02};
        sounds[2] = SoundDefinition{{bumpy, 7}, {ramp_up, 5}, {}, 0.2, 0.0, 0.0, 0.0};
    }

    VoiceEvent* add(i64 wave, i64 sound, f64 frequency, f64 start, f64 end, i16 group,
                    i16 wave_index = 0, f64 offset = 0.0, f64 phase = 0.0) {
        VoiceEvent event = {};
        event.group_index = group;
        event.wave_index = wave_index;
        event.frequency = frequency;
        event.start_time = start;
        event.end_time = end;
        event.phase_offset = offset;
        event.phase = phase;
        event.wave = &waves[wave];
        event.sound = &sounds[sound];
        return array_push(&compiled.events, event);
    }

    // The events of one configuration; `seconds` is the rendered length.
    void fill(f64 rate, f64 seconds) {
        i64 groups = compiled.columns - 1;
        for (i64 i = 0; i < 40; i += 1) {  // ordinary notes of every kind, group and sound
            f64 start = next(-0.1, seconds);
            add(i % 6, i % 3, next(20.0, 3000.0), start, start + next(0.01, 0.4),
                (i16)(i % (groups + 1) - 1), (i16)(i % 4), next(-3.0, 3.0));
        }
        // A note's four waves together, and a chord of ten notes with the same timing
        // (longer than one run), some sharing their phase stream and some not.
        for (i64 w = 0; w < 4; w += 1) add(w, 1, 330.0, 0.05, 0.3, 0, (i16)w);
        for (i64 w : {0, 4, 2}) add(w, 1, 220.0, 0.12, 0.3, 2, (i16)(w % 4));  // a recording amid
        for (i64 n = 0; n < 10; n += 1)
            add(n % 4, 2, 110.0 * (f64)(1 + n % 3), 0.1, 0.35, 1, (i16)(n % 4), 0.0,
                n % 2 ? 0.125 : 0.0);
        // Phase steps of exactly a quarter cycle: the square and the sawtooth land on their
        // jumps exactly; negative offsets and phases count down through zero.
        add(1, 0, rate / 4.0, 0.0, seconds, 2, 0, -7.0);
        add(3, 0, rate / 2.0, 0.02, 0.2, 2, 1, -0.25, -40.0);
        add(2, 0, -rate / 8.0, 0.02, 0.2, 2, 2);
        // Phases beyond the exact range of the fast waves, and a frequency of 0.
        add(0, 0, 1.0e14, 0.0, 0.1, 0);
        add(1, 0, 3.0e13, 0.1, 0.2, 0);
        add(0, 1, 0.0, 0.0, 0.2, 0, 0, 0.25);
        // Past the end of the buffer, before its start, and empty (silent despite its lead).
        add(0, 1, 440.0, seconds - 0.05, seconds + 1.0, 0);
        add(0, 1, 440.0, -0.2, 0.05, 1);
        add(0, 1, 440.0, 0.1, 0.1, 1);
        add(0, 1, 440.0, 0.3, 0.2, 1);
    }
};

TEST_F(KernelEdges, EveryBranchMatchesTheReference) {
    struct Case {
        i64 rate, channels, block_size;
        f64 seconds;
        i64 rows;  // fewer than the blocks: the last row holds
        i64 groups;
    };
    const Case cases[] = {
        {44100, 2, 256, 0.5, 40, 3},  {44100, 1, 256, 0.5, 200, 3}, {48000, 2, 256, 0.4, 200, 3},
        {12345, 2, 256, 0.6, 20, 3},  {22050, 1, 100, 0.5, 200, 3}, {8000, 2, 64, 0.5, 1, 3},
        {44100, 2, 256, 0.3, 100, 7},  // more groups sounding at once than a chunk keeps
    };
    for (const Case& c : cases) {
        i64 frames = (i64)((f64)c.rate * c.seconds);
        build(c.rate, c.channels, c.block_size, frames, c.rows, c.groups);
        fill((f64)c.rate, c.seconds);
        expect_reference(&compiled, "rate " + std::to_string(c.rate) + ", " +
                                        std::to_string(c.channels) + " channels, block " +
                                        std::to_string(c.block_size));
    }
}

TEST_F(KernelEdges, FastWavesAreTheReferenceWavesAtAwkwardPhases) {
    // One frame per event at a chosen phase (the offset): the raw wave shows through.
    build(1000, 1, 256, 1, 2, 0);
    const f64 phases[] = {0.0, -0.0, 0.5, -0.5, 0.25, 0.75, 1.0, -1.0, 1.5, 2.0, -2.5, 3.999999999,
                          1e-300, 123456.75, -98765.25, 1125899906842623.0, 0.4999999999999};
    for (i64 w = 0; w < 4; w += 1) {
        for (f64 phase : phases) {
            compiled.events.count = 0;
            add(w, 0, 0.0, 0.0, 1.0, -1, 0, phase);
            SynthOutcome fast = synth_outcome(&compiled, 1);
            f64 expected = (f64)(f32)wave_value(&waves[w], phase, 0);
            // The sine comes from its own polynomial (one float step apart at most); the
            // others are exact.
            EXPECT_NEAR(fast.samples[0], expected, w == 0 ? 6e-8 : 0.0)
                << "wave kind " << w << " at phase " << phase;
        }
    }
}
