// Pitch steps through the scale of the key in effect (by class, chromatically, by octave),
// and the snap of a time to the grid of the selected duration.
#include "editor/object_commands.h"
#include "piece_support.h"
#include "test_support.h"

static bool same(Fraction a, Fraction b) {
    return a.numerator == b.numerator && a.denominator == b.denominator;
}

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
    Fraction up(Fraction x, bool chromatic = false, bool octave = false) {
        return pitch_step(&piece, x, frac(1), 0, 1, octave, chromatic);
    }
    Fraction down(Fraction x, bool chromatic = false, bool octave = false) {
        return pitch_step(&piece, x, frac(1), 0, -1, octave, chromatic);
    }
};

TEST_F(PitchStep, PlainStepsWalkTheClassOfThePitchAndWrapIntoTheNextOctave) {
    EXPECT_TRUE(same(up(frac(3, 2)), frac(5, 3)));
    EXPECT_TRUE(same(up(frac(5, 3)), frac(15, 8)));
    EXPECT_TRUE(same(up(frac(15, 8)), frac(2)));
    EXPECT_TRUE(same(up(frac(2)), frac(9, 4)));
    EXPECT_TRUE(same(down(frac(2)), frac(15, 8)));
    EXPECT_TRUE(same(down(frac(1)), frac(15, 16)));
    EXPECT_TRUE(same(down(frac(3, 4)), frac(2, 3)));  // sol an octave down, then fa
    // A pitch of class 1 walks class 1.
    EXPECT_TRUE(same(up(frac(6, 5)), frac(45, 32)));
    EXPECT_TRUE(same(up(frac(9, 5)), frac(32, 15)));
    EXPECT_TRUE(same(down(frac(16, 15)), frac(9, 10)));
    // Between scale pitches a pitch counts as class 0.
    EXPECT_TRUE(same(up(frac(7, 6)), frac(5, 4)));
    EXPECT_TRUE(same(down(frac(7, 6)), frac(9, 8)));
}

TEST_F(PitchStep, ChromaticStepsTakeEveryPitchAndOctaveStepsDouble) {
    EXPECT_TRUE(same(up(frac(5, 4), true), frac(4, 3)));
    EXPECT_TRUE(same(up(frac(7, 6), true), frac(6, 5)));
    EXPECT_TRUE(same(down(frac(7, 6), true), frac(9, 8)));
    EXPECT_TRUE(same(up(frac(15, 8), true), frac(2)));
    EXPECT_TRUE(same(down(frac(1), true), frac(15, 16)));
    EXPECT_TRUE(same(up(frac(7, 6), false, true), frac(7, 3)));
    EXPECT_TRUE(same(down(frac(7, 6), true, true), frac(7, 12)));
    // Walking up twelve chromatic steps from 1 reaches 2 and back down returns to 1.
    Fraction x = frac(1);
    for (i32 i = 0; i < 12; i += 1) x = up(x, true);
    EXPECT_TRUE(same(x, frac(2)));
    for (i32 i = 0; i < 12; i += 1) x = down(x, true);
    EXPECT_TRUE(same(x, frac(1)));
}

TEST_F(PitchStep, WithoutAScaleStepsAreOctavesAndNonPositivePitchesStay) {
    // Outside the key's range the default key has no pitches.
    EXPECT_TRUE(same(pitch_step(&piece, frac(3, 2), frac(20), 0, 1, false, false), frac(3)));
    EXPECT_TRUE(same(pitch_step(&piece, frac(3, 2), frac(20), 0, -1, false, true), frac(3, 4)));
    EXPECT_TRUE(same(up(frac(0)), frac(0)));
    EXPECT_TRUE(same(down(frac(-3, 2)), frac(-3, 2)));
    EXPECT_TRUE(same(up(frac(1, 0)), frac(1, 0)));
    // A local key of another group is not in effect for group 0.
    piece.keys[0].header.scope = SCOPE_LOCAL;
    piece.keys[0].header.group_id = 4;
    EXPECT_TRUE(same(up(frac(3, 2)), frac(3)));
}

TEST(TimeSnap, MovesToTheNearestMultipleWithHalvesRoundingUp) {
    Fraction t = frac(5, 8);
    time_snap(&t, frac(1, 4));
    EXPECT_TRUE(same(t, frac(3, 4)));
    t = frac(-5, 8);
    time_snap(&t, frac(1, 4));
    EXPECT_TRUE(same(t, frac(-1, 2)));
    t = frac(1, 2);
    time_snap(&t, frac(1, 3));
    EXPECT_TRUE(same(t, frac(2, 3)));
    t = frac(7, 3);
    time_snap(&t, frac(7, 6));
    EXPECT_TRUE(same(t, frac(7, 3)));  // already on the grid
    t = frac(3, 5);
    time_snap(&t, frac(2));
    EXPECT_TRUE(same(t, frac(0)));
}

TEST(TimeSnap, AZeroStepLeavesTheTimeUnchanged) {
    Fraction t = frac(5, 8);
    time_snap(&t, frac(0));
    EXPECT_TRUE(same(t, frac(5, 8)));
    time_snap(&t, frac(0, 0));
    EXPECT_TRUE(same(t, frac(5, 8)));
    time_snap(&t, frac(3, 0));
    EXPECT_TRUE(same(t, frac(5, 8)));
}
