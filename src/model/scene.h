// The scene file: the saved form of a piece, a little-endian image of the group list, the
// group tree, the ten object lists in kind order and the settings, each list a 32-bit
// count and its records. Encoding and decoding touch only the piece and the pool passed
// in (plus the read-only key table and the default colours), print nothing, and so run on the main thread or on the render worker alike.
#pragma once

#include "model/piece.h"

enum SceneResult : u8 {
    SCENE_OK = 0,
    SCENE_INVALID = 1,       // not a scene file, or damaged: cut short, impossible counts
    SCENE_INCOMPATIBLE = 2,  // a scene file of another version
    SCENE_NO_MEMORY = 3,     // a valid file that the pool cannot hold
};

enum : u32 { SCENE_MAGIC = 0x02404EB8u };
enum : u16 { SCENE_VERSION = 0 };
enum {
    SCENE_HEADER_BYTES = 65,  // id, group id, scope, time, duration, pitch
    SCENE_CURVE_BYTES = 37,   // flags, minimum, maximum, point count
    SCENE_POINT_BYTES = 96,   // six fractions
};

// The whole file as bytes in a block of `pool`: fractions as stored (never reduced),
// counts as their low 32 bits, a sound's wave count cut to 0..SOUND_MAX_WAVES. Empty when
// the pool cannot hold it.
Str scene_encode(const Piece* piece, u8 pool);
i64 scene_encoded_size(const Piece* piece);

// Replaces the piece's contents with the file's. The whole file is checked first without
// allocating (magic, version, every count against the bytes left, string lengths, wave
// counts of at most 4, no read past the end); then all memory is reserved; only then is
// the piece written. So on anything but SCENE_OK the piece is exactly as it was.
// Arrays, strings and curve points of the result live in `pool`: the piece's arrays are
// resized in place, and strings and points go to the piece's decoded_storage block, which
// the next decode reuses, so decoding the same file again takes no new memory.
// Afterwards objects are visible, next_object_id and next_group_id are one above the
// largest ids read, keys share their definition's lists, texts have the default font,
// size 32 and alignments -1 and 0, and the modified flag is clear. The path is untouched.
SceneResult scene_decode(Str contents, Piece* piece, u8 pool);
