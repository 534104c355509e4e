// Reading the command line of sorvane-render. Pure: the strings returned point into the
// argument array, the messages are constants.
#include "arguments.h"

const char tool_usage_text[] =
    "usage: sorvane-render --dump PIECE\n"
    "       sorvane-render PIECE OUT.wav [--data DIR] [--threads N]\n"
    "  --dump PIECE   print the scene file PIECE as text\n"
    "  PIECE OUT.wav  render PIECE into the wave file OUT.wav\n"
    "  --data DIR     the data folder (sounds and keys), by default the working folder\n"
    "  --threads N    render on N threads (1 to 64), by default on every core\n";

static ToolOptions refused(const char* error, Str argument = Str{}) {
    ToolOptions options = {};
    options.mode = TOOL_MODE_USAGE;
    options.error = str_from_cstring(error);
    options.argument = argument;
    return options;
}

ToolOptions tool_arguments_read(const Str* args, i64 count) {
    ToolOptions options = {};
    bool dump = false;
    Str positional[2] = {};
    i64 positional_count = 0;
    for (i64 i = 0; i < count; i += 1) {
        Str arg = args[i];
        if (str_equal(arg, STR("--help")) || str_equal(arg, STR("-h"))) {
            return ToolOptions{};
        } else if (str_equal(arg, STR("--dump"))) {
            if (dump) return refused("--dump is given twice");
            if (i + 1 >= count) return refused("--dump needs a piece");
            dump = true;
            i += 1;
            options.piece_path = args[i];
        } else if (str_equal(arg, STR("--data"))) {
            if (i + 1 >= count) return refused("--data needs a folder");
            i += 1;
            options.data_folder = args[i];
        } else if (str_equal(arg, STR("--threads"))) {
            if (i + 1 >= count) return refused("--threads needs a count");
            i += 1;
            i64 threads = 0;
            Str digits = args[i];
            for (i64 k = 0; k < digits.length && threads <= 64; k += 1) {
                u8 c = digits.data[k];
                threads = c >= '0' && c <= '9' ? threads * 10 + (c - '0') : 65;
            }
            if (digits.length == 0 || threads < 1 || threads > 64)
                return refused("--threads needs a count from 1 to 64: ", digits);
            options.threads = threads;
        } else if (arg.length > 1 && arg.data[0] == '-') {
            return refused("unknown option: ", arg);
        } else {
            if (positional_count == 2) return refused("one argument too many: ", arg);
            positional[positional_count] = arg;
            positional_count += 1;
        }
    }
    if (dump) {
        if (positional_count > 0) return refused("--dump takes one piece and nothing else");
        options.mode = TOOL_MODE_DUMP;
        return options;
    }
    if (positional_count < 2) return refused("a piece and a wave file are needed");
    options.mode = TOOL_MODE_RENDER;
    options.piece_path = positional[0];
    options.output_path = positional[1];
    return options;
}
