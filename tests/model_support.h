// Helpers of the tests that work with real files: the working folder changed for a while,
// whole files written and read as text, a piece's scene encoding as bytes to compare, and
// a fixture for g_piece with files and message boxes.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "model/scene.h"
#include "platform/headless.h"
#include "test_support.h"

// Runs the program's code with another working folder, then goes back.
struct WorkingFolder {
    char previous[4096] = {};
    explicit WorkingFolder(const std::string& folder) {
        EXPECT_NE(getcwd(previous, sizeof(previous)), nullptr);
        EXPECT_EQ(chdir(folder.c_str()), 0);
    }
    ~WorkingFolder() { EXPECT_EQ(chdir(previous), 0); }
};

inline void file_put(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(write_text(path, bytes)) << path;
}

inline std::string scene_bytes(const Piece* piece) {
    Str bytes = scene_encode(piece, POOL_TMP);
    return std::string((const char*)bytes.data, (size_t)bytes.length);
}

// The last message box as "title: text", empty when none was shown.
inline std::string last_message() {
    i64 count = headless_message_count();
    if (count == 0) return "";
    return to_string(headless_message_title(count - 1)) + ": " +
           to_string(headless_message_text(count - 1));
}

// g_piece with real files: fresh headless state, the piece emptied before and after.
struct PieceFiles : testing::Test {
    ScopedPools pools{16 << 20, 16 << 20};
    TempFolder folder;
    void SetUp() override {
        headless_reset();
        piece_reset();
    }
    void TearDown() override { piece_reset(); }
    std::string path(const char* name) const { return folder / name; }
};
