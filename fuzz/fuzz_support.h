// What the reader fuzz targets share: the entry points of every target (used by the
// libFuzzer programs and by the corpus replay of `make test`), a private folder with the
// few files the readers may open, the rule that keeps fuzzed paths inside it, and the
// rewinding of the pools between inputs. Main thread only.
#pragma once

#include <stddef.h>

#include "base/pool.h"

// What a target's `*_fuzz_one` returns for an input it does not run: one whose paths could
// leave the private folder. The fuzzer drops such inputs from its corpus.
extern const char* const FUZZ_SKIPPED;

// Each target: `setup` prepares what it needs once (after the pools exist; the text field
// after app_startup), `one` runs one input and returns null when every property held, else
// what did not (or FUZZ_SKIPPED), and `teardown` undoes `setup` (the replay calls it).
#define FUZZ_TARGET_DECLARE(name)                           \
    bool name##_fuzz_setup();                               \
    const char* name##_fuzz_one(const u8* data, size_t size); \
    void name##_fuzz_teardown();

FUZZ_TARGET_DECLARE(keys)
FUZZ_TARGET_DECLARE(theme)
FUZZ_TARGET_DECLARE(sounds)
FUZZ_TARGET_DECLARE(resources)
FUZZ_TARGET_DECLARE(font)
FUZZ_TARGET_DECLARE(wave)
FUZZ_TARGET_DECLARE(text_field)
FUZZ_TARGET_DECLARE(scala)
FUZZ_TARGET_DECLARE(midi)

// --- The private folder -------------------------------------------------------------------
// Made once per process (in /dev/shm when there is one, else /tmp) and holding "page.png"
// (a 3 x 2 image), "font.txt" (a font description naming it) and "tone.wav" (a short
// recording). Its absolute path without a final slash, or the empty string on failure.
Str fuzz_folder();
// The working folder becomes the private folder; fuzz_folder_leave goes back.
bool fuzz_folder_enter();
void fuzz_folder_leave();
// Removes the folder and its files (the replay's teardown).
void fuzz_folder_remove();

// False when a path taken from the input could name a file outside the private folder: the
// input holds "..", or a '/' followed by anything that could begin a folder's name (every
// top-level folder of the system starts with a letter). Fractions such as 3/4 or 1/-2 pass.
bool fuzz_paths_confined(const u8* data, size_t size);

// --- Pools -----------------------------------------------------------------------------
// Where a fixed (non-growing) pool stands; rewinding to it gives back everything taken
// since, which is how the targets start every input from the same state.
i64 fuzz_pool_mark(u8 pool);
void fuzz_pool_rewind(u8 pool, i64 mark);

// A copy of the input in the pool (readers keep views into their text).
Str fuzz_copy(u8 pool, const u8* data, size_t size);
