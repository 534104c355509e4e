// Pitch steps through the scale of the key in effect (by class, chromatically, by octave),
// and the snap of a time to the grid of the selected duration.
#include "editor/object_commands.h"
#include "piece_support.h"
#include "test_support.h"

// A piece whose one key, over the first 16 beats for every group, has the just chromatic
// scale: the diatonic pitches in class 0, the five others in class 1.
struct PitchStep : testing::Test {
    ScopedPools pools;
    Piece piece;
    void SetUp() override {
        piece_init(&piece, POOL_MAIN);
        KeyObject key = {};
        key.header = header_make(OBJECT_KEY, 1, 0, SCOPE_GLOBAL, frac(0), frac(16), frac(1));
        array_init(&key.pitches, POOL_MAIN);
        const i64 scale[][3] = {{1, 1, 0}, {16, 15, 1}, {9, 8, 0},   {6, 5, 1},
                                {5, 4, 0}, {4, 3, 0},   {45, 32, 1}, {3, 2, 0},
                                {8, 5, 1}, {5, 3, 0},   {9, 5, 1},   {15, 8, 0}};
        for (const auto& entry : scale) {
            KeyPitch pitch = {};
            pitch.numerator = entry[0];
            pitch.denominator = entry[1];
            pitch.class_number = entry[2];
            array_push(&key.pitches, pitch);
        }
        array_push(&piece.keys, key);
    }
    // One step at time 1 for group 0.
    Fraction step(Fraction x, i32 direction, bool chromatic = false) {
        return pitch_step(&piece, x, frac(1), 0, direction, false, chromatic);
    }
};

TEST_F(PitchStep, StepsWalkTheClassOfThePitchChromaticallyOrByOctaves) {
    struct Case {
        Fraction from;
        i32 direction;
        bool chromatic, octave;
        Fraction to;
    };
    const Case cases[] = {
        // Plain steps walk the class of the pitch and wrap into the next octave.
        {frac(3, 2), 1, 0, 0, frac(5, 3)}, {frac(5, 3), 1, 0, 0, frac(15, 8)},
        {frac(15, 8), 1, 0, 0, frac(2)}, {frac(2), 1, 0, 0, frac(9, 4)},
        {frac(2), -1, 0, 0, frac(15, 8)}, {frac(1), -1, 0, 0, frac(15, 16)},
        {frac(3, 4), -1, 0, 0, frac(2, 3)},  // sol an octave down, then fa
        // A pitch of class 1 walks class 1.
        {frac(6, 5), 1, 0, 0, frac(45, 32)}, {frac(9, 5), 1, 0, 0, frac(32, 15)},
        {frac(16, 15), -1, 0, 0, frac(9, 10)},
        // Between scale pitches a pitch counts as class 0.
        {frac(7, 6), 1, 0, 0, frac(5, 4)}, {frac(7, 6), -1, 0, 0, frac(9, 8)},
        // Chromatic steps take every pitch; octave steps double or halve.
        {frac(5, 4), 1, 1, 0, frac(4, 3)}, {frac(7, 6), 1, 1, 0, frac(6, 5)},
        {frac(7, 6), -1, 1, 0, frac(9, 8)}, {frac(15, 8), 1, 1, 0, frac(2)},
        {frac(1), -1, 1, 0, frac(15, 16)}, {frac(7, 6), 1, 0, 1, frac(7, 3)},
        {frac(7, 6), -1, 1, 1, frac(7, 12)}};
    for (const Case& c : cases) {
        Fraction got = pitch_step(&piece, c.from, frac(1), 0, c.direction, c.octave, c.chromatic);
        EXPECT_TRUE(same(got, c.to)) << c.from.numerator << "/" << c.from.denominator << " by "
                                     << c.direction << (c.chromatic ? " chromatic" : "")
                                     << (c.octave ? " octave" : "");
    }
    // Walking up twelve chromatic steps from 1 reaches 2 and back down returns to 1.
    Fraction x = frac(1);
    for (i32 i = 0; i < 12; i += 1) x = step(x, 1, true);
    EXPECT_TRUE(same(x, frac(2)));
    for (i32 i = 0; i < 12; i += 1) x = step(x, -1, true);
    EXPECT_TRUE(same(x, frac(1)));
}

TEST_F(PitchStep, WithoutAScaleStepsAreOctavesAndNonPositivePitchesStay) {
    // Outside the key's range the default key has no pitches.
    EXPECT_TRUE(same(pitch_step(&piece, frac(3, 2), frac(20), 0, -1, false, true), frac(3, 4)));
    EXPECT_TRUE(same(step(frac(0), 1), frac(0)));
    EXPECT_TRUE(same(step(frac(-3, 2), -1), frac(-3, 2)));
    EXPECT_TRUE(same(step(frac(1, 0), 1), frac(1, 0)));
    // A local key of another group is not in effect for group 0.
    piece.keys[0].header.scope = SCOPE_LOCAL;
    piece.keys[0].header.group_id = 4;
    EXPECT_TRUE(same(step(frac(3, 2), 1), frac(3)));
}

TEST(TimeSnap, MovesToTheNearestMultipleWithHalvesRoundingUpAndAZeroStepLeavesIt) {
    // time, step, snapped
    const Fraction cases[][3] = {{frac(5, 8), frac(1, 4), frac(3, 4)},
                                 {frac(-5, 8), frac(1, 4), frac(-1, 2)},
                                 {frac(1, 2), frac(1, 3), frac(2, 3)},
                                 {frac(7, 3), frac(7, 6), frac(7, 3)},  // already on the grid
                                 {frac(3, 5), frac(2), frac(0)},
                                 {frac(5, 8), frac(0), frac(5, 8)},
                                 {frac(5, 8), frac(0, 0), frac(5, 8)},
                                 {frac(5, 8), frac(3, 0), frac(5, 8)}};
    for (const auto& c : cases) {
        Fraction t = c[0];
        time_snap(&t, c[1]);
        EXPECT_TRUE(same(t, c[2])) << c[0].numerator << "/" << c[0].denominator;
    }
}
