// Helpers shared by the tests: pools for one test, the text printed meanwhile, whole files.
#pragma once

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/pool.h"
#include "model/keys.h"
#include "sound/sounds.h"
#include "ui/panels.h"

// Sets up the main and tmp pools (small ones by default) and releases them afterwards.
// Process-wide tables that live in the main pool (keys, sound definitions, panels) start
// empty, so no test sees tables an earlier test loaded into pools released since.
struct ScopedPools {
    explicit ScopedPools(i64 main_bytes = 8 << 20, i64 tmp_bytes = 4 << 20) {
        array_init(&g_keys, POOL_MAIN);
        sounds_reset();
        panels_reset();
        pool_setup(POOL_MAIN, main_bytes, false);
        pool_setup(POOL_TMP, tmp_bytes, false);
    }
    ~ScopedPools() {
        pool_release(POOL_MAIN);
        pool_release(POOL_TMP);
    }
};

inline std::string to_string(Str text) {
    return text.length > 0 ? std::string((const char*)text.data, (size_t)text.length)
                           : std::string();
}

inline Str to_str(const std::string& text) { return Str{(u8*)text.data(), (i64)text.size()}; }

// The whole file, or nothing when it cannot be opened.
inline std::vector<u8> file_bytes(const std::string& path) {
    std::vector<u8> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return bytes;
    u8 buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    fclose(file);
    return bytes;
}

inline std::string file_text(const std::string& path) {
    std::vector<u8> bytes = file_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

inline bool write_text(const std::string& path, const std::string& text) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

// A fresh folder (under /tmp unless another parent is given), removed with everything in
// it when the helper goes. After enter() it is the working folder until then (the previous
// one comes back).
struct TempFolder {
    std::string path;
    char previous[4096] = {};
    explicit TempFolder(const char* parent = "/tmp") {
        std::string pattern = std::string(parent) + "/sorvane_test_XXXXXX";
        if (mkdtemp(pattern.data())) path = pattern;
        EXPECT_FALSE(path.empty()) << "no temporary folder under " << parent;
    }
    void enter() {
        if (getcwd(previous, sizeof(previous))) EXPECT_EQ(chdir(path.c_str()), 0);
    }
    ~TempFolder() {
        if (previous[0]) EXPECT_EQ(chdir(previous), 0);
        std::error_code error;
        if (!path.empty()) std::filesystem::remove_all(path, error);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};
