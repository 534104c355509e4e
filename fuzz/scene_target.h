// The scene decoder's fuzz entry point, shared by the libFuzzer target (fuzz/scene_fuzz.cpp)
// and the corpus replay that `make test` runs, plus the seed pieces of the corpus.
#pragma once

#include <stddef.h>

#include "model/piece.h"

// Decodes the bytes into `piece` (in POOL_MAIN; POOL_TMP is emptied first) and checks what
// must hold for any input: a refused file leaves the piece's encoding unchanged; an
// accepted one encodes to a file that decodes again to the same encoding and the same
// dump. Null when all held, otherwise what did not.
const char* scene_fuzz_one(Piece* piece, const u8* data, size_t size);

// Seed pieces: index 0 up to scene_fuzz_seed_count() - 1, built in `pool`.
i64 scene_fuzz_seed_count();
void scene_fuzz_seed(i64 index, Piece* piece, u8 pool);
