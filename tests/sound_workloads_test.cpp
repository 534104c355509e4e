// The benchmark workloads are what bench/README.md says they are: counts, lengths, lanes,
// pitch range, the same piece from the same seed, and a definition of "plain" that matches
// the one that ships.
#include <algorithm>
#include <vector>

#include "sound_test_support.h"
#include "workloads.h"

using Workloads = SoundTest;

static f64 seconds_of(Fraction beats) { return fraction_to_double(beats) / 2.0; }

TEST_F(Workloads, NotesLanesAndPitchesMatchTheirDescription) {
    for (u8 w = 0; w < WORKLOAD_COUNT; w += 1) {
        Piece built;
        piece_init(&built, POOL_MAIN);
        ASSERT_TRUE(workload_build(&built, w, WORKLOAD_SEED));
        i64 expected = w == WORKLOAD_W2 ? 10000 : 1000;
        f64 length = w == WORKLOAD_W2 ? 600.0 : 60.0;
        ASSERT_EQ(built.notes.count, expected);
        EXPECT_EQ(built.sounds.data[0].wave_count, w == WORKLOAD_W3 ? 4 : 1);
        EXPECT_EQ(seconds_of(built.settings.end_time), length);
        // Voices (notes plus their 0.1 s release) sounding at once never exceed 16.
        std::vector<std::pair<f64, i32>> edges;
        for (i64 i = 0; i < built.notes.count; i += 1) {
            const ObjectHeader* h = &built.notes.data[i].header;
            f64 start = seconds_of(h->time), duration = seconds_of(h->duration);
            ASSERT_GE(duration, 0.5);
            ASSERT_LE(duration, 2.0);
            ASSERT_GE(start, 0.0);
            ASSERT_LE(start + duration + 0.1, length + 1e-9);
            f64 hz = 110.0 * fraction_to_double(h->pitch);
            ASSERT_GE(hz, 110.0);
            ASSERT_LT(hz, 880.0);
            edges.push_back({start, 1});
            // (A voice that ends exactly where the lane's next begins does not overlap it.)
            edges.push_back({start + duration + 0.1 - 1e-9, -1});
        }
        std::sort(edges.begin(), edges.end());
        i32 sounding = 0, most = 0;
        for (auto& edge : edges) most = std::max(most, sounding += edge.second);
        EXPECT_LE(most, 16);
        EXPECT_GE(most, 12);  // the lanes are busy
    }
}

TEST_F(Workloads, TheSameSeedGivesTheSameBytes) {
    auto bytes = [](u64 seed) {
        Piece built;
        piece_init(&built, POOL_MAIN);
        EXPECT_TRUE(workload_build(&built, WORKLOAD_W1, seed));
        return scene_encode(&built, POOL_MAIN);
    };
    EXPECT_TRUE(str_equal(bytes(7), bytes(7)));
    EXPECT_FALSE(str_equal(bytes(7), bytes(8)));
}

TEST_F(Workloads, ThreeQuarterBlendsGiveEachWaveAQuarterAndPlainIsShipped) {
    Piece built;
    piece_init(&built, POOL_MAIN);
    ASSERT_TRUE(workload_build(&built, WORKLOAD_W3, WORKLOAD_SEED));
    define_sounds(workload_sounds_text);
    CompiledPiece compiled = compiled_of(&built, 44100, 2);
    const f64* mix = &compiled.wave_mix[100 * compiled.columns * 4];
    for (i32 w = 0; w < 4; w += 1) EXPECT_DOUBLE_EQ(mix[w], 0.25) << w;

    // The benchmark's "plain" is the shipped one, entry for entry.
    const SoundDefinition* bench = sound_find(STR("plain"));
    ASSERT_NE(bench, nullptr);
    SoundDefinition copy = *bench;
    sounds_reset();
    WaveMemory memory{8 << 20};
    sounds_load_from(STR(SORVANE_DATA_DIR));
    const SoundDefinition* shipped = sound_find(STR("plain"));
    ASSERT_NE(shipped, nullptr);
    EXPECT_EQ(shipped->attack_length, copy.attack_length);
    EXPECT_EQ(shipped->release_length, copy.release_length);
    EXPECT_EQ(shipped->tail_time, copy.tail_time);
    const size_t table = CURVE_TABLE_SIZE * sizeof(f64);
    EXPECT_EQ(memcmp(shipped->shape.values, copy.shape.values, table), 0);
    EXPECT_EQ(memcmp(shipped->attack.values, copy.attack.values, table), 0);
    EXPECT_EQ(memcmp(shipped->release.values, copy.release.values, table), 0);
}
