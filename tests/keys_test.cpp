// The keys file: its line syntax on small files of our own, and the shipped data/keys.txt
// (the tests run in data/), whose scales the editor's pitch stepping walks.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "base/fraction.h"
#include "model/keys.h"
#include "test_support.h"

// Empties the process-wide key list when a test ends, before its pools go.
struct KeysForgotten {
    ~KeysForgotten() { array_init(&g_keys, POOL_MAIN); }
};

// Runs keys_load on `contents` as keys.txt of a fresh folder; the working folder is
// restored afterwards.
static void load_keys_text(const std::string& contents) {
    char folder[] = "/tmp/sorvane_keys_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string path = std::string(folder) + "/keys.txt";
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fwrite(contents.data(), 1, contents.size(), file);
    fclose(file);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
    ASSERT_EQ(chdir(folder), 0);
    keys_load();
    ASSERT_EQ(chdir(previous), 0);
    remove(path.c_str());
    rmdir(folder);
}

TEST(KeysFile, ReadsKeysClassesAndPitchesLineByLine) {
    ScopedPools pools;
    KeysForgotten forget;
    load_keys_text(
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
        "key last");
    ASSERT_EQ(g_keys.count, 3);
    KeyDefinition* key = key_by_name(STR("two words"));
    ASSERT_EQ(key, &g_keys.data[0]);  // the first of two keys of that name
    EXPECT_DOUBLE_EQ(key->reference_frequency, 440.0);
    ASSERT_EQ(key->classes.count, 1);
    EXPECT_EQ(to_string(key->classes.data[0].name), "warm");
    EXPECT_FLOAT_EQ(key->classes.data[0].color[0], 1.0f);
    EXPECT_FLOAT_EQ(key->classes.data[0].color[1], 0.5f);
    EXPECT_FLOAT_EQ(key->classes.data[0].color[2], 0.25f);
    EXPECT_FLOAT_EQ(key->classes.data[0].color[3], 1.0f);

    ASSERT_EQ(key->pitches.count, 4);
    const KeyPitch* odd = &key->pitches.data[1];
    EXPECT_EQ(to_string(odd->name), "odd");
    EXPECT_EQ(odd->numerator, 5);
    EXPECT_EQ(odd->denominator, 0);  // only a numerator
    EXPECT_EQ(odd->class_number, 0);
    const KeyPitch* mi = &key->pitches.data[2];
    EXPECT_EQ(mi->numerator, 5);
    EXPECT_EQ(mi->denominator, 4);
    EXPECT_EQ(mi->class_number, 2);
    const KeyPitch* x = &key->pitches.data[3];  // a numerator and a class, no denominator
    EXPECT_EQ(x->numerator, 7);
    EXPECT_EQ(x->denominator, 0);
    EXPECT_EQ(x->class_number, 3);

    EXPECT_EQ(g_keys.data[1].pitches.count, 1);
    EXPECT_EQ(to_string(g_keys.data[2].name), "last");  // no newline at the end
    EXPECT_EQ(key_by_name(STR("two")), nullptr);
    EXPECT_EQ(key_by_name(STR("")), nullptr);

    load_keys_text("");
    EXPECT_EQ(g_keys.count, 0);
    EXPECT_EQ(key_by_name(STR("last")), nullptr);
}

static i64 largest_prime_factor(i64 value) {
    i64 largest = 1;
    for (i64 p = 2; p * p <= value; p += 1)
        while (value % p == 0) {
            largest = p;
            value /= p;
        }
    return value > 1 && value > largest ? value : largest;
}

static i64 prime_limit(const KeyDefinition* key) {
    i64 limit = 1;
    for (i64 i = 0; i < key->pitches.count; i += 1) {
        i64 n = largest_prime_factor(key->pitches.data[i].numerator);
        i64 d = largest_prime_factor(key->pitches.data[i].denominator);
        limit = n > limit ? n : limit;
        limit = d > limit ? d : limit;
    }
    return limit;
}

static std::string ratios_of_class(const KeyDefinition* key, i64 class_number) {
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

    const std::string major = "1/1 9/8 5/4 4/3 3/2 5/3 15/8";
    // New key objects name "key": the twelve-note set whose class 0 is the major scale,
    // so plain stepping walks the scale and stepping with control walks all twelve.
    for (const char* name : {"key", "just chromatic"}) {
        const KeyDefinition* chromatic = key_by_name(str_from_cstring(name));
        ASSERT_NE(chromatic, nullptr) << name;
        EXPECT_EQ(chromatic->pitches.count, 12);
        EXPECT_EQ(chromatic->classes.count, 2);
        EXPECT_EQ(ratios_of_class(chromatic, 0), major);
        EXPECT_EQ(ratios_of_class(chromatic, 1), "16/15 6/5 45/32 8/5 9/5");
        EXPECT_EQ(prime_limit(chromatic), 5);
    }

    const KeyDefinition* just_major = key_by_name(STR("just major"));
    ASSERT_NE(just_major, nullptr);
    EXPECT_EQ(ratios_of_class(just_major, 0), major);
    EXPECT_EQ(prime_limit(just_major), 5);

    const KeyDefinition* just_minor = key_by_name(STR("just minor"));
    ASSERT_NE(just_minor, nullptr);
    EXPECT_EQ(ratios_of_class(just_minor, 0), "1/1 9/8 6/5 4/3 3/2 8/5 9/5");
    EXPECT_EQ(prime_limit(just_minor), 5);

    const KeyDefinition* seventh = key_by_name(STR("harmonic seventh"));
    ASSERT_NE(seventh, nullptr);
    EXPECT_EQ(prime_limit(seventh), 7);
    EXPECT_NE(ratios_of_class(seventh, 0).find("7/4"), std::string::npos);
}
