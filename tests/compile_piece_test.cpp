// Compiling: the time map, repeats, the order of notes, the control tracks and the events.
#include <string>

#include "sound/render.h"
#include "sound_test_support.h"

struct Compile : SoundTest {
    CompiledPiece compiled;
    void SetUp() override {
        SoundTest::SetUp();
        compiled_piece_init(&compiled, POOL_MAIN);
    }
    void compile(i64 rate = 44100, i64 channels = 2) { compile_piece(&piece, rate, channels, &compiled); }
    TimeMap map() { return compiled_time_map(&compiled); }
    f64 seconds(Fraction time) {
        TimeMap m = map();
        return time_to_seconds(&m, fraction_to_double(time));
    }
    i64 column_cell(f64 at_seconds, i64 column) {
        return (i64)(at_seconds * 44100.0 / BLOCK_SIZE) * compiled.columns + column;
    }
};

TEST_F(Compile, TheTimeMapIsInWholeBlocksConvertsBothWaysAndBeginsAtTheStartTime) {
    // The default piece: a minute at 120 beats a minute.
    compile();
    EXPECT_EQ(compiled.block_times.count, 10337);
    EXPECT_EQ(compiled.compiled_length, 5292032);
    EXPECT_EQ(compiled.block_times[0], 0.0);
    EXPECT_LT(compiled.block_times[10335], 120.0);
    EXPECT_GE(compiled.block_times[10336], 120.0);
    EXPECT_NEAR(compiled.block_times[1], 120.0 * 256.0 / 2646000.0, 1e-15);
    compile(44100, 1);
    EXPECT_EQ(compiled.compiled_length, 5292032 / 2);
    // Time conversions follow the blocks both ways.
    TimeMap m = map();
    EXPECT_NEAR(time_to_seconds(&m, 60.0), 30.0, 1e-9);
    EXPECT_NEAR(seconds_to_time(&m, 30.0), 60.0, 1e-9);
    EXPECT_NEAR(seconds_to_time(&m, time_to_seconds(&m, 37.25)), 37.25, 1e-9);
    // Outside the map: extrapolated going in, held coming back.
    EXPECT_NEAR(time_to_seconds(&m, -2.0), -1.0, 1e-9);
    EXPECT_NEAR(time_to_seconds(&m, 130.0), 65.0, 1e-6);
    EXPECT_EQ(seconds_to_time(&m, -1.0), 0.0);
    EXPECT_EQ(seconds_to_time(&m, 1000.0), compiled.block_times[10336]);
    TimeMap none = {nullptr, 0, BLOCK_SIZE, 44100};
    EXPECT_EQ(seconds_to_time(&none, 3.0), 0.0);
    EXPECT_EQ(time_to_seconds(&none, 3.0), 0.0);
    // The start time shifts the map; starting at the end or after it leaves nothing, and
    // nothing divides by the empty span: times still convert, to 0.
    piece.settings.start_time = frac(60);
    compile();
    EXPECT_EQ(compiled.block_times[0], 60.0);
    EXPECT_NEAR((f64)compiled.compiled_length / 88200.0, 30.0, 0.01);
    add_sine(&piece, group, frac(0), frac(200));
    add_note(&piece, group, frac(120), frac(1));
    for (i64 start : {120, 200}) {
        piece.settings.start_time = frac(start);
        compile();
        EXPECT_EQ(compiled.block_times.count, 1) << start;
        EXPECT_EQ(compiled.compiled_length, 0) << start;
        EXPECT_EQ(seconds(frac(130)), 0.0) << start;
    }
}

TEST_F(Compile, TempoCurvesSetTheSpeedAndCannotStopTheClock) {
    TempoObject* tempo = add_tempo(&piece, frac(0), frac(60), frac(60));
    compile();
    // 60 beats at 60 per minute, then the last tempo is kept for the rest: 120 s in all.
    // (The first block still runs at the starting 120, which is half a block short.)
    f64 block = 2.0 * 256.0 / 44100.0;
    EXPECT_NEAR(seconds(frac(60)), 60.0, block);
    EXPECT_NEAR(seconds(frac(120)), 120.0, block);
    // A ramp integrates: d(minutes) = d(beats) / (60 + beats), so 120 beats take ln 3 minutes.
    tempo->header.duration = frac(120);
    curve_line(&tempo->tempo, frac(60), frac(120), frac(180));
    compile();
    EXPECT_NEAR(seconds(frac(120)), 60.0 * log(3.0), 0.01);
    EXPECT_NEAR(seconds(frac(60)), 60.0 * log(2.0), 0.01);
    // The slowest tempo counted is one beat a minute: two beats take about two minutes.
    piece.settings.end_time = frac(2);
    f64 expected = 120.0 - 120.0 * 256.0 / 2646000.0 * 60.0 + 256.0 / 44100.0;
    for (i64 bpm : {0, -50}) {
        curve_constant(&tempo->tempo, frac(bpm));
        compile();
        EXPECT_NEAR(seconds(frac(2)), expected, 0.01) << bpm;
    }
}

TEST_F(Compile, EndlessPiecesAndHugeRepeatsStopAtBoundedSizes) {
    pool_setup(POOL_WORKER, 1 << 20, true);
    CompiledPiece big;
    compiled_piece_init(&big, POOL_WORKER);
    piece.settings.end_time = frac(1000000000);
    compile_piece(&piece, 44100, 2, &big);
    EXPECT_EQ(big.truncated, 1);
    EXPECT_EQ(big.compiled_length, RENDER_MAX_SAMPLES);
    // Huge repeat counts stop at a bounded number of copies.
    pool_empty(POOL_WORKER);
    compiled_piece_init(&big, POOL_WORKER);
    piece.settings.end_time = frac(4);
    add_sine(&piece, group, frac(0), frac(1000000));  // every copy has a sound
    add_note(&piece, group, frac(0), frac(1, 4));
    add_repeat(&piece, group, frac(1), frac(0), frac(1, 4), (i64)1 << 30);
    compile_piece(&piece, 44100, 2, &big);
    EXPECT_EQ(big.events.count, 1 + ((i64)1 << 20));
    pool_release(POOL_WORKER);
    // Such a rendering is not a whole one, and says so (a 44.1 kHz stereo rendering stops
    // after 2^30 / 88 200 seconds).
    Rendering cut = {};
    cut.truncated = 1;
    cut.channels = 2;
    cut.sample_rate = 44100;
    RenderFailure failure = {};
    EXPECT_FALSE(render_complete(&cut, STR("long.wav"), &failure));
    EXPECT_EQ(to_string(render_failure_text(&failure)),
              "long.wav is incomplete: the piece is longer than the longest rendering (202 "
              "minutes at this sample rate) and was cut there");
}

// The pool that the compilation works in holds the time map and the tracks but only half
// the events: the export writes what it made and reports the rest missing.
TEST_F(Compile, AnExportWhoseEventsFoundNoRoomIsReportedNotDone) {
    piece.settings.sample_rate = 1000;
    piece.settings.stereo = 0;
    piece.settings.end_time = frac(10);
    add_sine(&piece, group, frac(0), frac(10));
    for (i64 i = 0; i < 2000; i += 1) add_note(&piece, group, frac(i, 200), frac(1, 200));
    pool_setup(POOL_WORKER, 64 << 20, true);
    CompiledPiece whole;
    compiled_piece_init(&whole, POOL_WORKER);
    compile_piece(&piece, 1000, 1, &whole);
    ASSERT_EQ(whole.events.count, 2000);
    EXPECT_EQ(whole.incomplete, 0);
    i64 needed = g_pools[POOL_WORKER].used;
    i64 events = whole.events.capacity * (i64)sizeof(VoiceEvent);
    pool_release(POOL_WORKER);

    TempFolder folder;
    std::string path = folder / "short.wav";
    testing::internal::CaptureStdout();  // "worker memory is full"
    pool_setup(POOL_WORKER, needed - events / 2, false);
    RenderFailure failure = {};
    EXPECT_FALSE(render_export(&piece, to_str(path), POOL_WORKER, 0, &failure, 0, 1));
    pool_release(POOL_WORKER);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(to_string(render_failure_text(&failure)),
              path + " is incomplete: there was not enough memory for every note");
    EXPECT_TRUE(file_exists(to_str(path)));
}

TEST_F(Compile, RepeatReplaysTheSectionCountTimesFromItsOwnTime) {
    add_sine(&piece, group, frac(0), frac(100));
    add_note(&piece, group, frac(0), frac(1), frac(1));
    add_note(&piece, group, frac(3), frac(1), frac(2));     // ends at 4: inside
    add_note(&piece, group, frac(7, 2), frac(1), frac(3));  // ends after 4: not repeated
    add_repeat(&piece, group, frac(8), frac(0), frac(4), 2);
    compile();
    const f64 expected[] = {0.0, 1.5, 1.75, 4.0, 5.5, 6.0, 7.5};  // 2 beats a second
    ASSERT_EQ(compiled.events.count, ARRAY_COUNT(expected));
    for (i64 i = 0; i < ARRAY_COUNT(expected); i += 1)
        EXPECT_NEAR(compiled.events[i].start_time, expected[i], 1e-9) << i;
    EXPECT_EQ(compiled.events[3].frequency, 440.0);
    EXPECT_EQ(compiled.events[4].frequency, 880.0);
    // The piece itself is untouched: without the repeat its own three notes remain.
    piece.repeats.data[0].count = 0;
    compile();
    EXPECT_EQ(compiled.events.count, 3);
    // The objects that shape the notes are copied too: a sound over [0, 4) only makes the
    // replayed note audible.
    piece.repeats.data[0].count = 1;
    piece.sounds.data[0].header.duration = frac(4);
    piece.notes.count = 1;
    compile();
    ASSERT_EQ(compiled.events.count, 2);
    EXPECT_NEAR(compiled.events[1].start_time, 4.0, 1e-9);
}

// Overlapping volumes multiply and their pannings add; a global volume reaches every
// group and a local one only its own; the neutral column (for notes of lost groups) is
// reached by nothing.
TEST_F(Compile, VolumesMultiplyPanningsAddAndScopesChooseTheGroupsTheyReach) {
    i64 other = piece_group_add(&piece, STR("other"));
    add_volume(&piece, group, frac(0), frac(40), frac(1, 2), frac(1, 4));
    add_volume(&piece, group, frac(20), frac(40), frac(1, 4), frac(-1, 2));
    add_volume(&piece, other, frac(0), frac(120), frac(1, 2), frac(0), SCOPE_LOCAL);
    compile();
    ASSERT_EQ(compiled.columns, 3);
    // Seconds in the first only, in both, in the second only, and after them.
    const struct {
        f64 at, volume, pan;
    } expected[] = {{5.0, 0.5, 0.25}, {15.0, 0.125, -0.25}, {25.0, 0.25, -0.5}, {40.0, 1.0, 0.0}};
    for (const auto& e : expected) {
        EXPECT_EQ(compiled.volume[column_cell(e.at, 0)], e.volume) << e.at;
        EXPECT_EQ(compiled.panning[column_cell(e.at, 0)], e.pan) << e.at;
        EXPECT_EQ(compiled.volume[column_cell(e.at, 1)], e.volume / 2) << e.at;
        EXPECT_EQ(compiled.volume[column_cell(e.at, 2)], 1.0) << e.at;
        EXPECT_EQ(compiled.wave_mix[column_cell(e.at, 2) * 4], 1.0) << e.at;
    }
}

// Objects reaching outside the rendering are clamped to it. A later sound of one wave
// overwrites its own slot only: the blends of three waves at a quarter (a half and two
// quarters) stay in the others.
TEST_F(Compile, ObjectsReachingOutsideAreClampedAndLaterSoundsOverwriteTheirOwnWaveSlots) {
    piece.settings.start_time = frac(10);
    piece.settings.end_time = frac(20);
    add_volume(&piece, group, frac(-1000), frac(100000), frac(1, 2), frac(0));
    add_pitch(&piece, group, frac(0), frac(5), frac(2));   // wholly before
    add_pitch(&piece, group, frac(30), frac(5), frac(3));  // wholly after
    const char* waves[] = {"sine", "square", "triangle"};
    add_sound(&piece, group, frac(-5), frac(1000), waves, 3, frac(1, 4));
    add_sine(&piece, group, frac(-5), frac(1000));
    compile();
    for (i64 k = 0; k < compiled.block_times.count; k += 1) {
        ASSERT_EQ(compiled.volume[k * compiled.columns], 0.5) << k;
        ASSERT_EQ(compiled.pitch[k * compiled.columns], 1.0) << k;
        const f64* mix = &compiled.wave_mix[k * compiled.columns * 4];
        ASSERT_EQ(mix[0], 1.0) << k;
        ASSERT_DOUBLE_EQ(mix[1], 0.25) << k;
        ASSERT_DOUBLE_EQ(mix[2], 0.25) << k;
        ASSERT_EQ(mix[3], 0.0) << k;
    }
}

TEST_F(Compile, EventsCarryKeyShapeSoundAndWaves) {
    define_sounds("wave_square sq\nshape bright\np 0 1 0 1 0 1\nend\n");
    const char* waves[] = {"sq", "unknown"};
    add_sound(&piece, group, frac(0), frac(10), waves, 2);
    add_key(&piece, group, frac(0), frac(10), 300.0);
    add_shape(&piece, group, frac(0), frac(5), "bright", 0.25);
    add_shape(&piece, group, frac(5), frac(5), "undefined");
    add_note(&piece, group, frac(1), frac(2), frac(3, 2));
    add_note(&piece, group, frac(6), frac(1));
    add_note(&piece, group, frac(12), frac(1));  // no sound here: silent
    compile();
    ASSERT_EQ(compiled.events.count, 4);
    const VoiceEvent* e = compiled.events.data;
    EXPECT_EQ(e[0].frequency, 450.0);
    EXPECT_EQ(e[0].group_index, 0);
    EXPECT_EQ(e[0].wave_index, 0);
    EXPECT_EQ(e[1].wave_index, 1);
    EXPECT_NEAR(e[0].start_time, 0.5, 1e-9);
    EXPECT_NEAR(e[0].end_time, 1.5, 1e-9);
    EXPECT_EQ(e[0].phase_offset, 0.25);
    EXPECT_EQ(e[0].wave, wave_find(STR("sq")));
    EXPECT_EQ(e[1].wave, wave_default());
    EXPECT_EQ(e[0].sound, sound_find(STR("bright")));
    EXPECT_EQ(e[2].sound, sound_default());
    EXPECT_EQ(e[2].phase_offset, 0.0);
    EXPECT_EQ(e[2].frequency, 300.0);
    // Without a key a note sounds at 440 Hz times its pitch.
    piece.keys.count = 0;
    compile();
    EXPECT_EQ(compiled.events[0].frequency, 660.0);
}

TEST_F(Compile, EmptyNotesHiddenGroupsAndEmptySoundsMakeNoEventsAndLostGroupsDo) {
    i64 hidden = piece_group_add(&piece, STR("hidden"));
    piece.groups.data[1].visible = 0;
    add_sine(&piece, group, frac(0), frac(10));
    add_sine(&piece, hidden, frac(0), frac(10));
    add_note(&piece, group, frac(1), frac(0));
    add_note(&piece, group, frac(1), frac(-1));
    add_note(&piece, hidden, frac(1), frac(1));
    compile();
    EXPECT_EQ(compiled.events.count, 0);
    piece.sounds.data[0].wave_count = 0;
    piece.sounds.data[1].wave_count = 0;
    add_note(&piece, group, frac(2), frac(1));
    compile();
    EXPECT_EQ(compiled.events.count, 0);
    // A note of a lost group still sounds, in the neutral column.
    piece.sounds.data[0].wave_count = piece.sounds.data[1].wave_count = 1;
    add_note(&piece, 12345, frac(1), frac(1));
    compile();
    ASSERT_EQ(compiled.events.count, 2);  // and the note at 2 now that its sound has a wave
    EXPECT_EQ(compiled.events[0].group_index, -1);
}

TEST_F(Compile, CurveValueClampsAtTheEndsAndUsesTheMinimumWithoutPoints) {
    Curve curve;
    curve_init(&curve, POOL_MAIN);
    curve.minimum = frac(3, 2);
    EXPECT_EQ(curve_value(&curve, 5.0), 1.5);
    curve.minimum = frac(1, 0);
    EXPECT_EQ(curve_value(&curve, 5.0), 0.0);
    curve_line(&curve, frac(2), frac(4), frac(6));
    EXPECT_EQ(curve_value(&curve, -1.0), 2.0);
    EXPECT_NEAR(curve_value(&curve, 1.0), 3.0, 1e-5);
    EXPECT_NEAR(curve_value(&curve, 100.0), 6.0, 1e-5);
    curve_constant(&curve, frac(7));
    EXPECT_EQ(curve_value(&curve, 100.0), 7.0);
}
