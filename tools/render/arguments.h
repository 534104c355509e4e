// The command line of sorvane-render, read into one record that each mode takes:
//   sorvane-render --dump PIECE               the piece as text on standard output
//   sorvane-render PIECE OUT.wav [--data DIR] [--threads N]
//                                             the piece rendered into a wave file
//   sorvane-render --import IN.mid OUT.scene [--key NAME] [--tonic NOTE] [--data DIR]
//                                             a MIDI file made into a new piece
//   sorvane-render PIECE OUT.mid [--midi-tuning mts|mpe] [--midi-bend-range N]
//                                             [--midi-program N]
//                                             the piece as a tuned MIDI file
// Options may come in any order; --data applies to whichever mode needs the data folder.
#pragma once

#include "base/types.h"

enum ToolMode : u8 {
    TOOL_MODE_USAGE = 0,  // print the usage: on request, or after `error`
    TOOL_MODE_DUMP = 1,
    TOOL_MODE_RENDER = 2,
    TOOL_MODE_IMPORT = 3,
};

struct ToolOptions {
    u8 mode;
    Str piece_path;
    Str output_path;  // the wave file of the render mode, the scene file of the import
    Str midi_path;    // --import IN.mid
    Str key_name;     // --key NAME; empty when not given
    i64 tonic;        // --tonic NOTE as 0 (C) to 11 (B); -1 when not given
    Str data_folder;  // --data DIR; empty when not given
    i64 threads;      // --threads N, 1 to 64; 0 when not given (every core)
    u8 midi_mpe;      // --midi-tuning mpe (mts, the default, is 0)
    i64 midi_bend_range;  // --midi-bend-range N, 1 to 96; 0 when not given
    i64 midi_program;     // --midi-program N, General MIDI's 1 to 128; 0 when not given
    Str error;        // why the command line was refused; empty for --help
    Str argument;     // the argument the error is about, when there is one
};

ToolOptions tool_arguments_read(const Str* args, i64 count);

extern const char tool_usage_text[];
