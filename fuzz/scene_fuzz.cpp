// libFuzzer target for the scene decoder: any byte string is decoded into one piece that
// lives across inputs; a broken property traps, which libFuzzer reports as a crash.
#include "scene_target.h"

static Piece fuzz_piece;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Growing pools: no input may fail for want of memory, only for what it holds.
    pool_setup(POOL_MAIN, 16 << 20, true);
    pool_setup(POOL_TMP, 16 << 20, true);
    piece_init(&fuzz_piece, POOL_MAIN);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    if (scene_fuzz_one(&fuzz_piece, data, size)) __builtin_trap();
    return 0;
}
