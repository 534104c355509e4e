// The checks run on every fuzz input, and the seed pieces. The piece passed in is kept
// between inputs, so decoding over the storage of an earlier file is exercised too.
#include "scene_target.h"

#include <string.h>

#include "model/dump.h"
#include "model/scene.h"
#include "piece_support.h"

static bool same(Str a, Str b) {
    return a.length == b.length && (a.length == 0 || memcmp(a.data, b.data, (size_t)a.length) == 0);
}

static Str dump_tmp(const Piece* piece) {
    StrBuilder out;
    str_builder_init(&out, POOL_TMP);
    piece_dump(&out, piece);
    return str_builder_text(&out);
}

const char* scene_fuzz_one(Piece* piece, const u8* data, size_t size) {
    pool_empty(POOL_TMP);
    Str before = scene_encode(piece, POOL_TMP);
    SceneResult result = scene_decode(Str{(u8*)data, (i64)size}, piece, POOL_MAIN);
    if (result != SCENE_OK) {
        if (result != SCENE_INVALID && result != SCENE_INCOMPATIBLE) return "unexpected result";
        if (!same(scene_encode(piece, POOL_TMP), before)) return "a refused file changed the piece";
        return 0;
    }
    Str first = scene_encode(piece, POOL_TMP);
    if (first.length == 0) return "an accepted piece did not encode";
    Piece again;
    piece_init(&again, POOL_TMP);
    if (scene_decode(first, &again, POOL_TMP) != SCENE_OK) return "a re-encoded file was refused";
    if (!same(scene_encode(&again, POOL_TMP), first)) return "encoding is not stable";
    if (!same(dump_tmp(&again), dump_tmp(piece))) return "the dump changed in a round trip";
    return 0;
}

i64 scene_fuzz_seed_count() { return 5; }

void scene_fuzz_seed(i64 index, Piece* piece, u8 pool) {
    piece_init(piece, pool);
    if (index == 0) return;  // the empty piece
    piece_build_full(piece, pool);
    if (index == 2) {
        // Sounds of every wave count, curves with many points.
        for (i64 waves = 0; waves <= SOUND_MAX_WAVES; waves += 1) {
            SoundObject sound = {};
            sound.header = header_make(OBJECT_SOUND, 100 + waves, 0, SCOPE_GLOBAL, frac(waves),
                                       frac(1));
            sound.wave_count = waves;
            for (i64 w = 0; w < waves; w += 1) sound.wave_names[w] = STR("sine");
            for (i64 c = 0; c < SOUND_MAX_WAVES - 1; c += 1) curve_init(&sound.blend[c], pool);
            for (i64 c = 0; c + 1 < waves; c += 1)
                for (i64 p = 0; p < 6; p += 1)
                    curve_point_insert_with_handle(&sound.blend[c], frac(p, 3), frac(p, 6),
                                                   frac(1, 8));
            array_push(&piece->sounds, sound);
        }
    } else if (index == 3) {
        // Many notes in several groups, ids out of order.
        for (i64 i = 0; i < 64; i += 1) {
            NoteObject note = {};
            note.header = header_make(OBJECT_NOTE, 1000 - i, i % 4, (u8)(i % 3), frac(i, 8),
                                      frac(1, 8), frac(3 + i % 5, 2));
            array_push(&piece->notes, note);
        }
    } else if (index == 4) {
        // Folders nested five deep, one group in each.
        array_clear(&piece->tree);
        for (i32 depth = 0; depth < 5; depth += 1) {
            array_push(&piece->tree, tree_row(100 + depth, "folder", 1, 0));
            array_push(&piece->tree, tree_row(depth, "group"));
        }
        for (i32 depth = 0; depth < 5; depth += 1) array_push(&piece->tree, tree_row(0, "", 0, 1));
    }
}
