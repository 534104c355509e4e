// Synthesis: envelopes, panning, the mixing arithmetic and the edges of the buffer, on
// compiled pieces built by hand. (The wave kinds and the tracks between blocks are the
// reference loop's, which the fast synthesis tests compare against.)
#include <vector>

#include "synth_fast_support.h"

// Neutral tracks over enough blocks for `frames` frames, and a silent buffer for them.
struct Synth : SoundTest {
    CompiledPiece compiled;
    std::vector<f32> samples;
    void build(i64 rate, i64 channels, i64 frames, i64 columns = 2) {
        compiled_neutral(&compiled, rate, channels, frames, frames / BLOCK_SIZE + 2, columns);
        samples.assign((size_t)(frames * channels), 0.0f);
    }
    void set_column(PoolArray<f64>* track, i64 column, f64 value) {
        for (i64 i = column; i < track->count; i += compiled.columns) track->data[i] = value;
    }
    VoiceEvent* add(const WaveDefinition* wave, f64 frequency, f64 start, f64 end,
                    const SoundDefinition* sound = nullptr, i16 group = 0) {
        VoiceEvent event = {};
        event.group_index = group;
        event.frequency = frequency;
        event.start_time = start;
        event.end_time = end;
        event.wave = wave;
        event.sound = sound ? sound : sound_default();
        return array_push(&compiled.events, event);
    }
    void run() { synthesize(&compiled, samples.data(), (i64)samples.size(), nullptr); }
};

static const WaveDefinition SQUARE = {WAVE_SQUARE, 1.0, {}};
static const WaveDefinition SINE = {WAVE_SINE, 1.0, {}};

TEST_F(Synth, PanningSplitsTheAmplitudeAndMonoTakesItWhole) {
    build(1000, 2, 1000);
    set_column(&compiled.panning, 0, -1.0);
    add(&SQUARE, 1e-9, 0.0, 1.0);  // stays at -1 for the whole second
    run();
    for (i64 i = 0; i < 1000; i += 1) {
        ASSERT_EQ(samples[2 * i], -1.0f) << i;
        ASSERT_EQ(samples[2 * i + 1], 0.0f) << i;
    }
    build(1000, 2, 1000);
    add(&SQUARE, 1e-9, 0.0, 1.0);
    run();
    EXPECT_EQ(samples[100], -0.5f);
    EXPECT_EQ(samples[101], -0.5f);
    build(1000, 1, 1000);
    set_column(&compiled.volume, 0, 0.25);
    add(&SQUARE, 1e-9, 0.0, 1.0);
    run();
    EXPECT_EQ(samples[0], -0.25f);
    EXPECT_EQ(samples[999], -0.25f);
}

// A lead time starts the voice early, heard at full level without an attack curve (the
// shape holds its first value before the note); the buffer's start and end cut the voices
// that reach beyond them (the sanitizer would report a write past its end).
TEST_F(Synth, LeadTimeStartsTheVoiceEarlyAndTheBufferCutsWhatReachesBeyondIt) {
    define_sounds("shape early\np 0 1 0 1 0 1\ncurve_start 0 0.1\nend\n");
    const SoundDefinition* early = sound_find(STR("early"));
    build(1000, 2, 2000);
    add(&SQUARE, 1e-9, 0.5, 1.0, early);
    add(&SQUARE, 1e-9, 0.05, 0.1, early);  // its lead reaches before sample 0
    add(&SQUARE, 1e-9, 1.5, 30.0);
    run();
    const struct {
        i64 at;
        f32 value;
    } expected[] = {{0, -0.5f},    {798, 0.0f},  {800, -0.5f},  {998, -0.5f},
                    {2000, 0.0f},  {2998, 0.0f}, {3000, -0.5f}, {3999, -0.5f}};
    for (const auto& e : expected) EXPECT_EQ(samples[(size_t)e.at], e.value) << e.at;
}

TEST_F(Synth, AttackAndReleaseShapeTheVoiceEnds) {
    define_sounds(
        "shape soft\np 0 1 0 1 0 1\n"
        "curve_start 0.1 0.1\np 0 0 0 0 1/3 1/3\np 1 1 2/3 2/3 1 1\n"
        "curve_end 0.2 0.2\np 0 1 0 1 1/3 2/3\np 1 0 2/3 1/3 1 0\nend\n");
    const SoundDefinition* soft = sound_find(STR("soft"));
    build(1000, 1, 2000);
    add(&SQUARE, 1e-9, 0.5, 1.0, soft);
    run();
    EXPECT_EQ(samples[399], 0.0f);
    EXPECT_NEAR(samples[400], 0.0f, 1e-6);      // the attack starts from silence
    EXPECT_NEAR(samples[450], -0.5f, 0.01);     // halfway up
    EXPECT_EQ(samples[600], -1.0f);             // full level during the note
    EXPECT_EQ(samples[999], -1.0f);             // the release starts at the note's end
    EXPECT_NEAR(samples[1100], -0.5f, 0.01);    // halfway down
    EXPECT_NEAR(samples[1199], 0.0f, 0.01);
    EXPECT_EQ(samples[1200], 0.0f);             // the voice ends at end + tail
}

TEST_F(Synth, SampledWavesAtTheirReferenceReproduceTheRecordingChannelByChannelAndLoop) {
    f32 recording[100];
    for (i64 i = 0; i < 100; i += 1) recording[i] = (f32)(i * 0.01 - 0.5);
    WaveDefinition sampled = {WAVE_SAMPLED, 441.0, {SAMPLE_FORMAT_F32, 1, 44100, 400, recording}};
    build(44100, 1, 1000);
    add(&sampled, 441.0, 0.0, 1.0);
    run();
    for (i64 i = 0; i < 1000; i += 1) ASSERT_NEAR(samples[i], recording[i % 100], 1e-6) << i;
    // A stereo recording feeds each channel its own; panning 0 halves each.
    f32 pairs[8] = {0.1f, -0.1f, 0.2f, -0.2f, 0.3f, -0.3f, 0.4f, -0.4f};
    WaveDefinition stereo = {WAVE_SAMPLED, 1.0, {SAMPLE_FORMAT_F32, 2, 100, 32, pairs}};
    build(100, 2, 12);
    add(&stereo, 1.0, 0.0, 1.0);
    run();
    for (i64 i = 0; i < 24; i += 1) ASSERT_NEAR(samples[i], pairs[i % 8] * 0.5f, 1e-6) << i;
}

TEST_F(Synth, ProductsAreRoundedToSinglePrecisionBeforeEachAddition) {
    // Three voices in three columns: 1, then two of three quarters of the half-ulp of 1.
    // Added one by one in single precision each small one rounds away; summed in double
    // first they would reach the next float above 1.
    build(1000, 1, 10, 4);
    f64 small = 0.75 * ldexp(1.0, -24);
    set_column(&compiled.volume, 1, small);
    set_column(&compiled.volume, 2, small);
    add(&SQUARE, 1e-9, 0.0, 1.0, nullptr, 0);
    add(&SQUARE, 1e-9, 0.0, 1.0, nullptr, 1);
    add(&SQUARE, 1e-9, 0.0, 1.0, nullptr, 2);
    run();
    EXPECT_EQ(samples[5], -1.0f);
}

TEST_F(Synth, LostGroupReadsTheNeutralColumn) {
    build(1000, 1, 100, 2);
    set_column(&compiled.volume, 0, 0.25);
    set_column(&compiled.volume, 1, 1.0);
    compiled.wave_mix[0] = 0.0;  // group 0's first wave is off in block 0
    add(&SQUARE, 1e-9, 0.0, 1.0, nullptr, -1);
    run();
    EXPECT_EQ(samples[10], -1.0f);
}

// The phase starts at the offset and runs at the frequency the pitch track makes; the
// first wave's share of the mix scales the voice.
TEST_F(Synth, PhasesStartAtTheOffsetAndThePitchTrackAndWaveMixScaleTheVoice) {
    build(44100, 1, 44100);
    set_column(&compiled.pitch, 0, 1.5);
    for (i64 i = 0; i < compiled.wave_mix.count; i += compiled.columns * 4) compiled.wave_mix[i] = 0.5;
    VoiceEvent* event = add(&SINE, 300.0, 0.0, 0.5);
    event->phase_offset = 0.25;
    run();
    EXPECT_NEAR(event->phase, 225.0, 1e-6);  // half a second at 450 Hz
    for (i64 i = 0; i < 22050; i += 1)
        ASSERT_NEAR(samples[i], 0.5 * sin(2.0 * M_PI * (0.25 + 450.0 * i / 44100.0)), 1e-5) << i;
}

// A wave of no known kind is silent, and so is every voice when the format is unusable.
TEST_F(Synth, NothingToDoForUnknownWavesOrUnusableFormats) {
    static const WaveDefinition unknown = {9, 1.0, {}};
    build(1000, 1, 100);
    add(&unknown, 0.3, 0.0, 1.0);
    run();
    for (f32 s : samples) ASSERT_EQ(s, 0.0f);
    add(&SQUARE, 1e-9, 0.0, 1.0);
    compiled.channels = 0;
    run();
    EXPECT_EQ(samples[0], 0.0f);
    compiled.channels = 1;
    compiled.sample_rate = 0;
    run();
    EXPECT_EQ(samples[0], 0.0f);
}
