// sorvane-piecegen WORKLOAD OUT.scene [--seed N] [--end SECONDS]: saves one of the benchmark
// workloads (w1, w2, w3) as a scene file, for rendering with sorvane-render or opening in
// the editor; --end renders only the first SECONDS of it. The same seed always gives the
// same bytes. Prints nothing unless something fails.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/text.h"
#include "model/scene.h"
#include "platform/system.h"
#include "workloads.h"

static i32 fail(const char* message) {
    fprintf(stderr, "sorvane-piecegen: %s\n", message);
    return 1;
}

static i64 number_of(const char* text) {
    TextCursor cursor = text_cursor(str_from_cstring(text));
    return text_parse_integer(&cursor);
}

int main(int argc, char** argv) {
    const char* usage = "usage: sorvane-piecegen w1|w2|w3 OUT.scene [--seed N] [--end SECONDS]";
    if (argc < 3) return fail(usage);
    u8 workload = WORKLOAD_COUNT;
    for (u8 w = 0; w < WORKLOAD_COUNT; w += 1)
        if (str_equal(str_from_cstring(argv[1]), workload_name(w))) workload = w;
    if (workload == WORKLOAD_COUNT) return fail("the workload is w1, w2 or w3");
    u64 seed = WORKLOAD_SEED;
    i64 end_seconds = 0;
    for (int i = 3; i < argc; i += 2) {
        if (i + 1 >= argc) return fail(usage);
        if (strcmp(argv[i], "--seed") == 0)
            seed = (u64)number_of(argv[i + 1]);
        else if (strcmp(argv[i], "--end") == 0)
            end_seconds = number_of(argv[i + 1]);
        else
            return fail(usage);
    }
    if (!pool_setup(POOL_MAIN, 64 << 20, true) || !pool_setup(POOL_TMP, 8 << 20, true))
        return fail("not enough memory");
    i32 status = 0;
    Piece piece;
    piece_init(&piece, POOL_MAIN);
    Str bytes = {};
    bool built = workload_build(&piece, workload, seed);
    if (end_seconds > 0) piece.settings.end_time = Fraction{end_seconds * 2, 1};  // 120 a minute
    if (!built || (bytes = scene_encode(&piece, POOL_MAIN)).length == 0) {
        status = fail("not enough memory");
    } else {
        FileHandle file = file_open(str_from_cstring(argv[2]), FILE_WRITE);
        bool written = !file_failed(file) && file_write(file, bytes.length, bytes.data) == bytes.length;
        written = file_close(file) && written;
        if (!written) {
            Str reason = system_last_error();
            fprintf(stderr, "%s could not be written: %.*s\n", argv[2], (int)reason.length, (const char*)reason.data);
            status = 1;
        }
    }
    pool_release(POOL_MAIN);
    pool_release(POOL_TMP);
    return status;
}
