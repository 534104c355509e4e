// Reading the command line of sorvane-render. Pure: the strings returned point into the
// argument array, the messages are constants.
#include "arguments.h"

#include "model/midi_import.h"

const char tool_usage_text[] =
    "usage: sorvane-render --dump PIECE\n"
    "       sorvane-render PIECE OUT.wav [--data DIR] [--threads N]\n"
    "       sorvane-render PIECE OUT.mid [--data DIR] [--midi-tuning mts|mpe]\n"
    "                                  [--midi-bend-range N] [--midi-program N]\n"
    "       sorvane-render --import IN.mid OUT.scene [--key NAME] [--tonic NOTE] [--data DIR]\n"
    "  --dump PIECE   print the scene file PIECE as text\n"
    "  PIECE OUT.wav  render PIECE into the wave file OUT.wav\n"
    "  --data DIR     the data folder (sounds and keys), by default the working folder\n"
    "  --threads N    render on N threads (1 to 64), by default on every core\n"
    "  PIECE OUT.mid  write PIECE as a MIDI file whose notes keep their exact tuning\n"
    "  --midi-tuning mts|mpe  tune each key by MIDI Tuning Standard messages (mts, the\n"
    "                 default) or give each note a channel and pitch bend of its own (mpe)\n"
    "  --midi-bend-range N  the pitch bend range of mpe in semitones (1 to 96, default 48)\n"
    "  --midi-program N  the General MIDI program (1 to 128) of every channel; none by default\n"
    "  --import IN.mid OUT.scene\n"
    "                 make the MIDI file IN.mid into a new piece OUT.scene, its keys retuned\n"
    "                 into a key of keys.txt (files carrying their own tuning keep it)\n"
    "  --key NAME     the key of the import, by default \"key\" (twelve notes)\n"
    "  --tonic NOTE   the note of its 1/1, C to B with # or b, by default the file's key\n"
    "                 signature, else C\n";

// A count from 1 to `maximum` in decimal digits; 0 for anything else.
static i64 count_read(Str digits, i64 maximum) {
    i64 value = 0;
    for (i64 k = 0; k < digits.length && value <= maximum; k += 1) {
        u8 c = digits.data[k];
        value = c >= '0' && c <= '9' ? value * 10 + (c - '0') : maximum + 1;
    }
    return digits.length > 0 && value >= 1 && value <= maximum ? value : 0;
}

// The count in the argument after the option at `*i` (which then moves past it), read by
// count_read; 0 also when there is none. `text` is that argument, or empty.
static i64 count_after(const Str* args, i64 count, i64* i, i64 maximum, Str* text) {
    *text = Str{};
    if (*i + 1 >= count) return 0;
    *i += 1;
    *text = args[*i];
    return count_read(*text, maximum);
}

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
        Str arg = args[i], text;
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
            options.threads = count_after(args, count, &i, 64, &text);
            if (options.threads == 0) return refused("--threads needs a count from 1 to 64: ", text);
        } else if (str_equal(arg, STR("--midi-tuning"))) {
            if (i + 1 >= count) return refused("--midi-tuning needs mts or mpe");
            i += 1;
            if (!str_equal(args[i], STR("mts")) && !str_equal(args[i], STR("mpe")))
                return refused("--midi-tuning needs mts or mpe: ", args[i]);
            options.midi_mpe = str_equal(args[i], STR("mpe"));
        } else if (str_equal(arg, STR("--midi-bend-range"))) {
            options.midi_bend_range = count_after(args, count, &i, 96, &text);
            if (options.midi_bend_range == 0)
                return refused("--midi-bend-range needs a count from 1 to 96: ", text);
        } else if (str_equal(arg, STR("--midi-program"))) {
            options.midi_program = count_after(args, count, &i, 128, &text);
            if (options.midi_program == 0)
                return refused("--midi-program needs a number from 1 to 128: ", text);
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
    if (positional_count < 2) return refused("a piece and a wave or MIDI file are needed");
    options.mode = TOOL_MODE_RENDER;
    options.piece_path = positional[0];
    options.output_path = positional[1];
    return options;
}
