// sorvane-render: the editor's companion on the command line. It runs on the headless back
// end (no window, no audio device) with pools of its own, and hands the parsed command
// line to the mode asked for. Exit status 0 on success, 1 when the piece or the output
// failed, 2 for a command line it does not understand.
#include <stdio.h>
#include <stdlib.h>

#include "app/document.h"
#include "arguments.h"
#include "base/format.h"
#include "base/text.h"
#include "gfx/theme.h"
#include "model/dump.h"
#include "model/files.h"
#include "model/scene.h"
#include "render.h"

static void write_text(FILE* stream, Str text) {
    if (text.length > 0) fwrite(text.data, 1, (size_t)text.length, stream);
}

// The piece as text; a refused file gets the open command's message on standard error.
static i32 dump_main(const ToolOptions* options) {
    Piece piece;
    piece_init(&piece, POOL_MAIN);
    Str contents = read_entire_file(options->piece_path, POOL_TMP);
    SceneResult result = scene_decode(contents, &piece, POOL_MAIN);
    if (result != SCENE_OK) {
        Str title;
        write_text(stderr, scene_refusal_text(result, options->piece_path, &title));
        write_text(stderr, STR("\n"));
        return 1;
    }
    StrBuilder out;
    str_builder_init(&out, POOL_TMP);
    piece_dump(&out, &piece);
    write_text(stdout, str_builder_text(&out));
    return fflush(stdout) == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    Str* args = argc > 1 ? (Str*)malloc(sizeof(Str) * (size_t)(argc - 1)) : 0;
    for (int i = 1; i < argc; i += 1) args[i - 1] = str_from_cstring(argv[i]);
    ToolOptions options = tool_arguments_read(args, argc > 1 ? argc - 1 : 0);

    // The built-in theme: what a file's unusable colours are read as, as in the editor
    // before its theme file is read.
    theme_set_defaults();
    // Growing pools: a tool has no frame budget, and a large piece must not be refused.
    i32 status = 1;
    if (!pool_setup(POOL_MAIN, 64 << 20, true) || !pool_setup(POOL_TMP, 32 << 20, true)) {
        fputs("sorvane-render: not enough memory\n", stderr);
    } else if (options.mode == TOOL_MODE_DUMP) {
        status = dump_main(&options);
    } else if (options.mode == TOOL_MODE_RENDER) {
        status = render_main(&options);
    } else if (options.mode == TOOL_MODE_IMPORT) {
        status = import_main(&options);
    } else if (options.error.length == 0) {
        fputs(tool_usage_text, stdout);
        status = 0;
    } else {
        fputs("sorvane-render: ", stderr);
        write_text(stderr, options.error);
        write_text(stderr, options.argument);
        fputs("\n", stderr);
        fputs(tool_usage_text, stderr);
        status = 2;
    }
    pool_release(POOL_MAIN);
    pool_release(POOL_TMP);
    free(args);
    return status;
}
