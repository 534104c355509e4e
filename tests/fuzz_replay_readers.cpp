// Every committed input of the fuzz targets (fuzz/corpus/<target>/: the seeds, the inputs
// that reached new code, and the regression cases of faults the fuzzers found) replayed
// through the same checks the fuzzers run, under the sanitizers of `make test`; the scene
// decoder's also over the seed pieces it starts from.
#include <stdio.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "fuzz_support.h"
#include "platform/headless.h"
#include "model/scene.h"
#include "platform/system.h"
#include "scene_target.h"
#include "sound/worker.h"
#include "test_support.h"

typedef const char* (*FuzzOne)(const u8* data, size_t size);

// Runs every file of the target's corpus; returns how many ran (skipped ones excluded).
static i64 replay(const std::string& target, FuzzOne one) {
    std::string folder = std::string(SORVANE_SOURCE_DIR) + "/fuzz/corpus/" + target;
    DirectoryContent content;
    EXPECT_TRUE(directory_get_content(to_str(folder), &content)) << folder;
    std::vector<std::string> names;
    for (i64 i = 0; i < content.file_count; i += 1) names.push_back(to_string(content.files[i]));
    i64 ran = 0;
    for (const std::string& name : names) {
        std::vector<u8> bytes = file_bytes(folder + "/" + name);
        const char* failure = one(bytes.data(), bytes.size());
        if (failure == FUZZ_SKIPPED) continue;
        EXPECT_EQ(failure, nullptr) << target << "/" << name << ": " << failure;
        ran += 1;
    }
    EXPECT_GE(names.size(), 2u) << "the corpus of " << target << " is missing";
    return ran;
}

// The readers other than the text field: fixed pools (the targets rewind them between
// inputs) and fresh headless state, as in the fuzz programs.
struct FuzzReplay : testing::Test {
    ScopedPools pools{64 << 20, 16 << 20};
    void SetUp() override { headless_reset(); }
    void TearDown() override {
        fuzz_folder_remove();
        headless_reset();
    }
};

#define REPLAY_READER(Name, target)                      \
    TEST_F(FuzzReplay, Name) {                           \
        ASSERT_TRUE(target##_fuzz_setup());              \
        EXPECT_GT(replay(#target, target##_fuzz_one), 0); \
        target##_fuzz_teardown();                        \
    }

REPLAY_READER(KeysFile, keys)
REPLAY_READER(ThemeFile, theme)
REPLAY_READER(SoundsFile, sounds)
REPLAY_READER(ResourcesFile, resources)
REPLAY_READER(FontDescriptions, font)
REPLAY_READER(RecordedWaves, wave)
REPLAY_READER(ScalaScales, scala)
REPLAY_READER(MidiFiles, midi)

// The text field inside the started program, its worker stopped as in the fuzz program.
TEST(FuzzReplayProgram, TextFieldScripts) {
    headless_reset();
    app_state_reset();
    ASSERT_TRUE(app_startup());
    render_worker_stop();
    ASSERT_TRUE(text_field_fuzz_setup());
    EXPECT_GT(replay("text_field", text_field_fuzz_one), 0);
    text_field_fuzz_teardown();
    app_shutdown();
}

// The decoder's checks over each seed piece, then over every file of its corpus, with one
// piece kept across inputs as in the fuzzer; the corpus holds valid pieces, not only
// rejects.
static Piece g_fuzz_piece;
static i64 g_fuzz_accepted;

static const char* scene_replay_one(const u8* data, size_t size) {
    const char* failure = scene_fuzz_one(&g_fuzz_piece, data, size);
    pool_empty(POOL_TMP);
    if (scene_decode(Str{(u8*)data, (i64)size}, &g_fuzz_piece, POOL_MAIN) == SCENE_OK)
        g_fuzz_accepted += 1;
    return failure;
}

TEST(FuzzReplayScene, SeedsAndEveryCorpusFileKeepTheDecoderProperties) {
    ScopedPools pools(64 << 20, 32 << 20);
    piece_init(&g_fuzz_piece, POOL_MAIN);
    for (i64 i = 0; i < scene_fuzz_seed_count(); i += 1) {
        Piece seed;
        scene_fuzz_seed(i, &seed, POOL_MAIN);
        Str bytes = scene_encode(&seed, POOL_TMP);
        std::vector<u8> copy(bytes.data, bytes.data + bytes.length);
        const char* failure = scene_fuzz_one(&g_fuzz_piece, copy.data(), copy.size());
        EXPECT_EQ(failure, nullptr) << "seed " << i << ": " << failure;
        EXPECT_EQ(piece_object_total(&g_fuzz_piece), piece_object_total(&seed)) << "seed " << i;
    }
    g_fuzz_accepted = 0;
    EXPECT_GE(replay("", scene_replay_one), scene_fuzz_seed_count());
    EXPECT_GT(g_fuzz_accepted, 0);
}
