// The scene fuzz target's checks replayed over the seed pieces and every file of the
// committed corpus (fuzz/corpus): inputs that once reached new code in the decoder, damaged
// ones among them, each still refused cleanly or round-tripped exactly.
#include <stdio.h>

#include <string>
#include <vector>

#include "model/scene.h"
#include "platform/system.h"
#include "scene_target.h"
#include "test_support.h"

TEST(SceneCorpus, SeedsAndEveryCorpusFileKeepTheDecoderProperties) {
    ScopedPools pools(64 << 20, 32 << 20);
    Piece piece;  // kept across inputs, as in the fuzzer
    piece_init(&piece, POOL_MAIN);

    for (i64 i = 0; i < scene_fuzz_seed_count(); i += 1) {
        Piece seed;
        scene_fuzz_seed(i, &seed, POOL_MAIN);
        Str bytes = scene_encode(&seed, POOL_TMP);
        std::vector<u8> copy(bytes.data, bytes.data + bytes.length);
        const char* failure = scene_fuzz_one(&piece, copy.data(), copy.size());
        EXPECT_EQ(failure, nullptr) << "seed " << i << ": " << failure;
        EXPECT_EQ(piece_object_total(&piece), piece_object_total(&seed)) << "seed " << i;
    }

    std::string folder = std::string(SORVANE_SOURCE_DIR) + "/fuzz/corpus";
    DirectoryContent content;
    ASSERT_TRUE(directory_get_content(to_str(folder), &content));
    std::vector<std::string> names;
    for (i64 i = 0; i < content.file_count; i += 1) names.push_back(to_string(content.files[i]));
    EXPECT_GE(names.size(), (size_t)scene_fuzz_seed_count());
    i64 accepted = 0;
    for (const std::string& name : names) {
        std::vector<u8> bytes = file_bytes(folder + "/" + name);
        const char* failure = scene_fuzz_one(&piece, bytes.data(), bytes.size());
        EXPECT_EQ(failure, nullptr) << name << ": " << failure;
        pool_empty(POOL_TMP);
        if (scene_decode(Str{bytes.data(), (i64)bytes.size()}, &piece, POOL_MAIN) == SCENE_OK)
            accepted += 1;
    }
    EXPECT_GT(accepted, 0);  // the corpus holds valid pieces, not only rejects
}
