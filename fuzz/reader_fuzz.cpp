// The libFuzzer program of one reader target, chosen at build time (FUZZ_TARGET=keys makes
// keys_fuzz). Fixed pools, rewound by the target between inputs; with FUZZ_WHOLE_PROGRAM
// (the text field) the whole program is started on the headless back end first. A broken
// property traps, which libFuzzer reports as a crash; an input whose paths could leave the
// private folder is dropped from the corpus.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "app/app.h"
#include "fuzz_support.h"
#include "platform/headless.h"
#include "sound/worker.h"

#define FUZZ_JOIN2(a, b) a##b
#define FUZZ_JOIN(a, b) FUZZ_JOIN2(a, b)
#define FUZZ_SETUP FUZZ_JOIN(FUZZ_TARGET, _fuzz_setup)
#define FUZZ_ONE FUZZ_JOIN(FUZZ_TARGET, _fuzz_one)
#define FUZZ_STRING2(a) #a
#define FUZZ_STRING(a) FUZZ_STRING2(a)

static bool fuzz_start() {
    headless_reset();
    if (FUZZ_WHOLE_PROGRAM) {
        // The text field draws with the program's font, theme and renderer.
        if (chdir(SORVANE_DATA_DIR) != 0) return false;
        app_state_reset();
        if (!app_startup()) return false;
        render_worker_stop();  // nothing renders; its polling would only cost time
        return true;
    }
    return pool_setup(POOL_MAIN, 64 << 20, false) && pool_setup(POOL_TMP, 16 << 20, false);
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!fuzz_start() || !FUZZ_SETUP()) {
        fprintf(stderr, "%s: set-up failed\n", FUZZ_STRING(FUZZ_TARGET));
        abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    const char* failure = FUZZ_ONE(data, size);
    if (failure == FUZZ_SKIPPED) return -1;
    if (failure) {
        fprintf(stderr, "%s: %s\n", FUZZ_STRING(FUZZ_TARGET), failure);
        __builtin_trap();
    }
    return 0;
}
