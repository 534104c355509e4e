// Reading the command line of sorvane-render. Pure: the strings returned point into the
// argument array, the messages are constants.
#include "arguments.h"

#include "piece/midi_import.h"

const char tool_usage_text[] =
    "usage: sorvane-render --dump PIECE\n"
    "       sorvane-render PIECE OUT.wav [--data DIR] [--threads N]\n"
    "       sorvane-render --import IN.mid OUT.scene [--key NAME] [--tonic NOTE] [--data DIR]\n"
    "  --dump PIECE   print the scene file PIECE as text\n"
    "  PIECE OUT.wav  render PIECE into the wave file OUT.wav\n"
    "  --data DIR     the data folder (sounds and keys), by default the working folder\n"
    "  --threads N    render on N threads (1 to 64), by default on every core\n"
    "  --import IN.mid OUT.scene\n"
    "                 make the MIDI file IN.mid into a new piece OUT.scene, its keys retuned\n"
    "                 into a key of keys.txt (files carrying their own tuning keep it)\n"
    "  --key NAME     the key of the import, by default \"key\" (twelve notes)\n"
    "  --tonic NOTE   the note of its 1/1, C to B with # or b, by default the file's key\n"
    "                 signature, else C\n";

static ToolOptions refused(const char* error, Str argument = Str{}) {
    ToolOptions options = {};
    options.mode = TOOL_MODE_USAGE;
    options.error = str_from_cstring(error);
    options.argument = argument;
    return options;
}

ToolOptions tool_arguments_read(const Str* args, i64 count) {
    ToolOptions options = {};
    options.tonic = -1;
    bool dump = false, import = false, keyed = false;
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
        } else if (str_equal(arg, STR("--import"))) {
            if (import) return refused("--import is given twice");
            if (i + 1 >= count) return refused("--import needs a MIDI file");
            import = true;
            i += 1;
            options.midi_path = args[i];
        } else if (str_equal(arg, STR("--key"))) {
            if (i + 1 >= count) return refused("--key needs a key name");
            i += 1;
            options.key_name = args[i];
            keyed = true;
        } else if (str_equal(arg, STR("--tonic"))) {
            if (i + 1 >= count) return refused("--tonic needs a note");
            i += 1;
            options.tonic = midi_tonic_parse(args[i]);
            if (options.tonic < 0) return refused("--tonic needs a note from C to B, with # or b: ", args[i]);
            keyed = true;
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
    if (keyed && !import) return refused("--key and --tonic belong to --import");
    if (import) {
        if (dump) return refused("--import and --dump do not go together");
        if (positional_count != 1) return refused("--import takes a MIDI file and a scene file");
        options.mode = TOOL_MODE_IMPORT;
        options.output_path = positional[0];
        return options;
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
