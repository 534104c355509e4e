// Whole files through the platform's handles: read into a pool in one piece, or replaced
// so that the previous contents survive any failure. Any thread, with a pool it owns.
#pragma once

#include "base/pool.h"

// The file's bytes in a block of the pool, or the empty string (missing, empty or too
// large for the pool). A missing file takes no pool space.
Str read_entire_file(Str path, u8 pool);

// Replaces the file at `path` by `bytes` through "<path>.tmp" beside it: written, synced,
// closed, renamed over the path, then the folder synced, so the previous file survives a
// failure at any point. On failure the temporary file is removed and `reason` (in the
// pool) says why. The temporary name is made in the pool too, so the render worker passes
// its own arena.
bool file_replace_atomically(Str path, Str bytes, u8 pool, Str* reason);
