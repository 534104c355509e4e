// sorvane-examples FOLDER: writes the demo pieces (examples.h) into FOLDER as scene files,
// each through the program's own scene encoder. The same build always writes the same
// bytes. Prints nothing unless something fails.
#include <stdio.h>

#include "examples.h"
#include "model/scene.h"
#include "platform/system.h"

static bool example_write(u8 example, const char* folder) {
    Piece piece;
    piece_init(&piece, POOL_MAIN);
    Str name = example_file_name(example);
    char path[4096];
    int length = snprintf(path, sizeof(path), "%s/%.*s", folder, (int)name.length, (const char*)name.data);
    if (length <= 0 || length >= (int)sizeof(path)) {
        fprintf(stderr, "sorvane-examples: the folder name is too long\n");
        return false;
    }
    Str bytes = {};
    if (!example_build(&piece, example) || (bytes = scene_encode(&piece, POOL_MAIN)).length == 0) {
        fprintf(stderr, "sorvane-examples: not enough memory for %s\n", path);
        return false;
    }
    FileHandle file = file_open(str_from_cstring(path), FILE_WRITE);
    bool written = !file_failed(file) && file_write(file, bytes.length, bytes.data) == bytes.length;
    written = file_close(file) && written;
    if (!written) {
        Str reason = system_last_error();
        fprintf(stderr, "%s could not be written: %.*s\n", path, (int)reason.length, (const char*)reason.data);
    }
    return written;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: sorvane-examples FOLDER\n");
        return 2;
    }
    if (!pool_setup(POOL_MAIN, 16 << 20, true) || !pool_setup(POOL_TMP, 8 << 20, true)) {
        fprintf(stderr, "sorvane-examples: not enough memory\n");
        return 1;
    }
    i32 status = 0;
    for (u8 example = 0; example < EXAMPLE_COUNT; example += 1) {
        if (!example_write(example, argv[1])) status = 1;
        pool_empty(POOL_TMP);
    }
    pool_release(POOL_MAIN);
    pool_release(POOL_TMP);
    return status;
}
