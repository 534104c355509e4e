// Helpers shared by the tests: pools for one test, and the text printed meanwhile.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/panels.h"
#include "core/pool.h"
#include "gfx/keys.h"
#include "sound/sounds.h"

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
