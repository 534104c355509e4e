// Sound definitions: the file's syntax, the name tables, the curve tables, and the
// definitions and recordings that ship in data/sounds.
#include "sound_test_support.h"

using SoundDefinitions = SoundTest;

// A synthetic wave's name is the rest of the line, spaces included; a recording that is
// missing is kept as a silent one.
TEST_F(SoundDefinitions, WaveNamesAreTheRestOfTheLineAndMissingRecordingsAreSilent) {
    EXPECT_EQ(wave_find(STR("sine")), nullptr);  // nothing before the file is read
    define_sounds("wave_sine soft sine\nwave_square sq\nwave_triangle tri\nwave_sawtooth saw\n"
                  "wave ghost 261.5 sounds/does_not_exist.wav\n");
    const WaveDefinition* soft = wave_find(STR("soft sine"));
    ASSERT_NE(soft, nullptr);
    EXPECT_EQ(soft->kind, WAVE_SINE);
    EXPECT_EQ(wave_find(STR("soft")), nullptr);
    EXPECT_EQ(wave_find(STR("sq"))->kind, WAVE_SQUARE);
    EXPECT_EQ(wave_find(STR("tri"))->kind, WAVE_TRIANGLE);
    EXPECT_EQ(wave_find(STR("saw"))->kind, WAVE_SAWTOOTH);
    EXPECT_EQ(wave_find(STR("Saw")), nullptr);  // case matters
    const WaveDefinition* ghost = wave_find(STR("ghost"));
    ASSERT_NE(ghost, nullptr);
    EXPECT_EQ(ghost->kind, WAVE_SAMPLED);
    EXPECT_EQ(ghost->reference_frequency, 261.5);
    EXPECT_EQ(wave_value(ghost, 0.3, 0), 0.0);
}

// Point values read signs and slashes: the last value with its minus sign lands in the
// outgoing handle's y, and a zero denominator reads as 0. Other lines are harmless.
TEST_F(SoundDefinitions, ShapeSectionsFillTheirOwnListsAndNumbersAndOtherLinesAreHarmless) {
    define_sounds(
        "shape lead\n"
        "p 0 1/2 0 0 1 -3/4\n"
        "curve_start 0.25 0.125 ignored\n"
        "p 0 0 0 0 0 0\np 1 1 1 1 1 1\n"
        "curve_end 1.5 -2\n"
        "p 0 3 0 3 0 3\n"
        "end\n"
        "shape dip\np 0 1/2 0 0 1 -3/4\np 1 1/2 1 1/2 1 1/2\nend\n"
        "shape z\np 0 3/0 0 0 0 0\nend\n");
    const SoundDefinition* sound = sound_find(STR("lead"));
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->attack_length, 0.25);
    EXPECT_EQ(sound->lead_time, 0.125);
    EXPECT_EQ(sound->release_length, 1.5);
    EXPECT_EQ(sound->tail_time, -2.0);
    // One point: every entry is its y (1/2), whatever its handles say.
    for (i64 i = 0; i < CURVE_TABLE_SIZE; i += 100) EXPECT_EQ(sound->shape.values[i], 0.5);
    EXPECT_EQ(sound->attack.values[0], 0.0);
    EXPECT_NEAR(sound->attack.values[500], 500.0 / 999.0, 1e-6);
    EXPECT_EQ(sound->attack.values[999], 1.0);
    EXPECT_EQ(sound->release.values[999], 3.0);
    // Two points: the first segment's outgoing handle dips below zero, and so does the curve.
    const SoundDefinition* dip = sound_find(STR("dip"));
    ASSERT_NE(dip, nullptr);
    EXPECT_EQ(dip->shape.values[0], 0.5);
    f64 lowest = 1.0;
    for (i64 i = 0; i < CURVE_TABLE_SIZE; i += 1) lowest = fmin(lowest, dip->shape.values[i]);
    EXPECT_LT(lowest, 0.2);
    EXPECT_NEAR(dip->shape.values[999], 0.5, 1e-4);  // single-precision bisection
    EXPECT_EQ(sound_find(STR("z"))->shape.values[0], 0.0);
    // Empty point lists are silence, and a redefinition replaces.
    define_sounds("shape quiet\nend\nshape twice\np 0 1 0 1 0 1\nend\nshape twice\np 0 2 0 2 0 2\nend\n");
    const SoundDefinition* quiet = sound_find(STR("quiet"));
    ASSERT_NE(quiet, nullptr);
    EXPECT_EQ(quiet->shape.values[0], 0.0);
    EXPECT_EQ(quiet->shape.values[999], 0.0);
    EXPECT_EQ(sound_find(STR("twice"))->shape.values[10], 2.0);
    // Other keys, and an end or a point without a shape, are harmless.
    define_sounds("# comment\n\nwave_sine_x nope\nWAVE_SINE nope\nend\np 1 1 1 1 1 1\nshape real\nend\n");
    EXPECT_EQ(wave_find(STR("nope")), nullptr);
    EXPECT_NE(sound_find(STR("real")), nullptr);
    EXPECT_EQ(sound_find(STR("")), nullptr);
}

TEST(NameTables, SixthNameDoublesTheCapacityAndEveryNameStaysFound) {
    ScopedPools pools;
    NameTable<i64> table = {};
    table.pool = POOL_MAIN;
    // The first six have six different home slots among 8, so no probe limit interferes.
    const char* names[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n"};
    for (i64 i = 0; i < 5; i += 1) ASSERT_TRUE(name_table_insert(&table, str_from_cstring(names[i]), i));
    EXPECT_EQ(table.capacity, 8);
    ASSERT_TRUE(name_table_insert(&table, str_from_cstring(names[5]), (i64)5));
    EXPECT_EQ(table.capacity, 16);
    for (i64 i = 6; i < ARRAY_COUNT(names); i += 1)
        ASSERT_TRUE(name_table_insert(&table, str_from_cstring(names[i]), i));
    for (i64 i = 0; i < ARRAY_COUNT(names); i += 1) {
        const i64* value = name_table_find(&table, str_from_cstring(names[i]));
        ASSERT_NE(value, nullptr) << names[i];
        EXPECT_EQ(*value, i);
    }
    EXPECT_EQ(name_table_find(&table, STR("missing")), nullptr);
    // Overwriting keeps one slot but still counts as an insertion.
    i64 before = table.count;
    ASSERT_TRUE(name_table_insert(&table, STR("a"), (i64)99));
    EXPECT_EQ(*name_table_find(&table, STR("a")), 99);
    EXPECT_EQ(table.count, before + 1);
    // A full table's lookup of a missing name stops after one round.
    for (i64 i = 0; i < table.capacity; i += 1) table.slots[i].key = str_from_cstring(names[i % 14]);
    EXPECT_EQ(name_table_find(&table, STR("zzz")), nullptr);
}

// A table holds the first point's value before it, then follows the segment's Bezier curve.
TEST(CurveTables, FirstPointAtHalfHoldsUpToEntry499AndTheSegmentFollowsTheBezier) {
    ScopedPools pools;
    CurvePoint points[2] = {point_at(frac(1, 2), frac(3, 4)), point_at(frac(1), frac(1, 4))};
    CurveTable table = curve_table_build(points, 2, POOL_MAIN);
    for (i64 i = 0; i <= 499; i += 1) ASSERT_EQ(table.values[i], 0.75) << i;
    EXPECT_LT(table.values[500], 0.75);
    EXPECT_NEAR(table.values[750], 0.5, 0.01);
    EXPECT_NEAR(table.values[999], 0.25, 1e-6);
}

// The shipped file: every wave and sound the brief names, recordings that load and loop
// without a click, and sounds that differ from each other where a listener would notice.
TEST_F(SoundDefinitions, TheShippedFileHasItsWavesRecordingsAndDistinctSounds) {
    WaveMemory memory{16 << 20};
    sounds_load_from(STR(SORVANE_DATA_DIR));
    EXPECT_EQ(wave_find(STR("sine"))->kind, WAVE_SINE);
    EXPECT_EQ(wave_find(STR("square"))->kind, WAVE_SQUARE);
    EXPECT_EQ(wave_find(STR("triangle"))->kind, WAVE_TRIANGLE);
    EXPECT_EQ(wave_find(STR("sawtooth"))->kind, WAVE_SAWTOOTH);
    const char* recordings[] = {"pluck", "bowed"};
    for (const char* name : recordings) {
        const WaveDefinition* wave = wave_find(str_from_cstring(name));
        ASSERT_NE(wave, nullptr) << name;
        EXPECT_EQ(wave->kind, WAVE_SAMPLED);
        EXPECT_GE(wave->data.size, 44100 * 4) << name;
        // The recording sounds at the frequency the file claims for it.
        const f32* samples = (const f32*)wave->data.data;
        f64 measured = measured_pitch(samples + 2000, 22050, 44100.0, 150.0, 400.0);
        EXPECT_NEAR(measured, wave->reference_frequency, wave->reference_frequency * 0.005) << name;
    }
    // The bowed recording loops without a click: the step across the seam is no larger
    // than the largest step inside the loop.
    const WaveDefinition* bowed = wave_find(STR("bowed"));
    const f32* s = (const f32*)bowed->data.data;
    i64 n = bowed->data.size / 4;
    f64 largest = 0.0;
    for (i64 i = 1; i < n; i += 1) largest = fmax(largest, fabs((f64)s[i] - s[i - 1]));
    EXPECT_LE(fabs((f64)s[0] - s[n - 1]), largest);
    // The sounds, each with an attack rising from silence and a release ending in it.
    const char* names[] = {"organ", "pluck", "piano", "pad", "bell", "staccato", "swell", "plain"};
    const SoundDefinition* found[ARRAY_COUNT(names)];
    for (i64 i = 0; i < ARRAY_COUNT(names); i += 1) {
        found[i] = sound_find(str_from_cstring(names[i]));
        ASSERT_NE(found[i], nullptr) << names[i];
        EXPECT_GT(found[i]->attack_length, 0.0) << names[i];
        EXPECT_GT(found[i]->release_length, 0.0) << names[i];
        EXPECT_EQ(found[i]->attack.values[0], 0.0) << names[i];
        EXPECT_NEAR(found[i]->release.values[999], 0.0, 1e-6) << names[i];
    }
    // Every pair differs clearly somewhere in the envelope or in its timing.
    for (i64 a = 0; a < ARRAY_COUNT(names); a += 1) {
        for (i64 b = a + 1; b < ARRAY_COUNT(names); b += 1) {
            f64 difference = fabs(found[a]->release_length - found[b]->release_length) +
                             fabs(found[a]->attack_length - found[b]->attack_length);
            for (i64 i = 0; i < CURVE_TABLE_SIZE; i += 1)
                difference = fmax(difference, fabs(found[a]->shape.values[i] - found[b]->shape.values[i]));
            EXPECT_GT(difference, 0.1) << names[a] << " and " << names[b];
        }
    }
}
