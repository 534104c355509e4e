// Whole files through the platform's handles: read into a pool in one piece (on the thread
// that owns the pool), or replaced so that the previous contents survive any failure (on
// the main thread: the temporary name and the reason live in POOL_TMP).
#pragma once

#include "base/pool.h"

// The file's bytes in a block of the pool, or the empty string (missing, empty or too
// large for the pool). A missing file takes no pool space.
Str read_entire_file(Str path, u8 pool);

// Replaces the file at `path` by `bytes` through "<path>.tmp" beside it: written, synced,
// closed, renamed over the path, then the folder synced, so the previous file survives a
// failure at any point. On failure the temporary file is removed and `reason` says why.
bool file_replace_atomically(Str path, Str bytes, Str* reason);
