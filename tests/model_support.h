// Helpers of the model and file tests: whole files written, a piece's scene encoding and
// its listing to compare, and a fixture for g_piece with files and message boxes.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "model/dump.h"
#include "model/scene.h"
#include "platform/headless.h"
#include "test_support.h"

inline void file_put(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(write_text(path, bytes)) << path;
}

inline std::string scene_bytes(const Piece* piece) {
    Str bytes = scene_encode(piece, POOL_TMP);
    return std::string((const char*)bytes.data, (size_t)bytes.length);
}

// The piece as `sorvane-render --dump` lists it.
inline std::string piece_listing(const Piece* piece) {
    StrBuilder out;
    str_builder_init(&out, POOL_TMP);
    piece_dump(&out, piece);
    return to_string(str_builder_text(&out));
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
