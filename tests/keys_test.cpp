// The keys file: its line syntax on small files of our own, and the shipped data/keys.txt
// (the tests run in data/), whose scales the editor's pitch stepping walks.
#include <string>

#include "base/fraction.h"
#include "model/keys.h"
#include "test_support.h"

// Empties the process-wide key list when a test ends, before its pools go.
struct KeysForgotten {
    ~KeysForgotten() { array_init(&g_keys, POOL_MAIN); }
};

TEST(KeysFile, ReadsKeysClassesAndPitchesLineByLine) {
    ScopedPools pools;
    KeysForgotten forget;
    keys_parse(str_copy(POOL_TMP, STR(
        "pitch orphan 3/2 1\n"
        "class orphan 1 1 1 1\n"
        "key two words\n"
        "\n"
        "# a comment\n"
        "class warm 1 0.5 0.25 1\n"
        "pitch do 1/1 0\n"
        "pitch odd 5\n"
        "pitch mi 5/4 2\n"
        "pitch x 7 3\n"
        "\n\n"
        "key two words\n"
        "pitch other 9/8\n"
        "key last")));
    ASSERT_EQ(g_keys.count, 3);
    KeyDefinition* key = key_by_name(STR("two words"));
    ASSERT_EQ(key, &g_keys.data[0]);  // the first of two keys of that name
    ASSERT_EQ(key->classes.count, 1);
    EXPECT_EQ(to_string(key->classes.data[0].name), "warm");
    EXPECT_FLOAT_EQ(key->classes.data[0].color[1], 0.5f);
    EXPECT_FLOAT_EQ(key->classes.data[0].color[2], 0.25f);

    ASSERT_EQ(key->pitches.count, 4);
    EXPECT_EQ(to_string(key->pitches.data[1].name), "odd");
    // Numerator, denominator (0 when only a numerator is given) and class of each pitch.
    const i64 expected[4][3] = {{1, 1, 0}, {5, 0, 0}, {5, 4, 2}, {7, 0, 3}};
    for (i64 i = 0; i < 4; i += 1) {
        const KeyPitch& pitch = key->pitches.data[i];
        EXPECT_EQ(pitch.numerator, expected[i][0]) << i;
        EXPECT_EQ(pitch.denominator, expected[i][1]) << i;
        EXPECT_EQ(pitch.class_number, expected[i][2]) << i;
    }

    EXPECT_EQ(g_keys.data[1].pitches.count, 1);
    EXPECT_EQ(to_string(g_keys.data[2].name), "last");  // no newline at the end
    EXPECT_EQ(key_by_name(STR("two")), nullptr);
    EXPECT_EQ(key_by_name(STR("")), nullptr);
}

static std::string ratios_of_class(const KeyDefinition* key, i64 class_number) {
    if (!key) return "no such key";
    std::string text;
    for (i64 i = 0; i < key->pitches.count; i += 1) {
        const KeyPitch& pitch = key->pitches.data[i];
        if (pitch.class_number != class_number) continue;
        text += (text.empty() ? "" : " ") + std::to_string(pitch.numerator) + "/" +
                std::to_string(pitch.denominator);
    }
    return text;
}

TEST(KeysFile, ShippedKeysAreIncreasingRatiosInOneOctaveWithKnownClasses) {
    ScopedPools pools;
    KeysForgotten forget;
    keys_load();
    ASSERT_GE(g_keys.count, 4);
    for (i64 k = 0; k < g_keys.count; k += 1) {
        const KeyDefinition* key = &g_keys.data[k];
        SCOPED_TRACE(to_string(key->name));
        ASSERT_GE(key->pitches.count, 5);
        ASSERT_GE(key->classes.count, 1);
        for (i64 c = 0; c < key->classes.count; c += 1) {
            EXPECT_GT(key->classes.data[c].name.length, 0);
            for (f32 component : key->classes.data[c].color) {
                EXPECT_GE(component, 0.0f);
                EXPECT_LE(component, 1.0f);
            }
        }
        Fraction previous = {0, 1};
        for (i64 i = 0; i < key->pitches.count; i += 1) {
            const KeyPitch& pitch = key->pitches.data[i];
            Fraction ratio = {pitch.numerator, pitch.denominator};
            EXPECT_GT(pitch.denominator, 0);
            EXPECT_GT(pitch.name.length, 0);
            EXPECT_TRUE(fraction_less_equal(Fraction{1, 1}, ratio)) << i;
            EXPECT_TRUE(fraction_less(ratio, Fraction{2, 1})) << i;
            EXPECT_TRUE(fraction_less(previous, ratio)) << i;
            EXPECT_EQ(fraction_normalize(ratio).denominator, ratio.denominator) << "reduced";
            EXPECT_GE(pitch.class_number, 0);
            EXPECT_LT(pitch.class_number, key->classes.count);
            previous = ratio;
        }
    }

    // New key objects name "key": the twelve-note set whose class 0 is the major scale,
    // so plain stepping walks the scale and stepping with control walks all twelve.
    for (const char* name : {"key", "just chromatic"}) {
        const KeyDefinition* chromatic = key_by_name(str_from_cstring(name));
        ASSERT_NE(chromatic, nullptr) << name;
        EXPECT_EQ(chromatic->pitches.count, 12);
        EXPECT_EQ(chromatic->classes.count, 2);
        EXPECT_EQ(ratios_of_class(chromatic, 0), "1/1 9/8 5/4 4/3 3/2 5/3 15/8");
        EXPECT_EQ(ratios_of_class(chromatic, 1), "16/15 6/5 45/32 8/5 9/5");
    }
    EXPECT_EQ(ratios_of_class(key_by_name(STR("just minor")), 0), "1/1 9/8 6/5 4/3 3/2 8/5 9/5");
    const KeyDefinition* seventh = key_by_name(STR("harmonic seventh"));
    EXPECT_NE(ratios_of_class(seventh, 0).find("7/4"), std::string::npos);
}
