// MIDI export: a piece as a Standard MIDI File whose notes sound at exactly the frequencies
// the renderer gives them. midi_plan_build turns the compiled piece into tempo changes and
// channel messages (the tuning arithmetic is here); midi_file_save writes them.
// Any thread; everything comes from the pool it is given.
#pragma once

#include "sound/render.h"

// Ticks per beat (a beat is a MIDI quarter note). Divisible by 2, 3 and 5, and fine enough
// that rounding a time to a tick moves it by at most 0.07 ms at 60 beats a minute.
static const i32 MIDI_TICKS_PER_BEAT = 3840;
static const u8 MIDI_VELOCITY = 100;
static const i32 MIDI_BEND_RANGE_DEFAULT = 48;  // semitones either way
static const i32 MIDI_BEND_RANGE_MAXIMUM = 96;

enum MidiTuning : u8 {
    // One tuning program per channel; a Single Note Tuning Change retunes the key before
    // every note-on.
    MIDI_TUNING_MTS = 0,
    // Every sounding note on a member channel of its own (channels 2 to 16 but 10, which a
    // General MIDI player keeps for drums; channel 1 is the zone's manager), tuned by the
    // channel's pitch bend.
    MIDI_TUNING_MPE = 1,
};

struct MidiExportOptions {
    u8 tuning;       // MidiTuning
    i32 bend_range;  // semitones, 1 to MIDI_BEND_RANGE_MAXIMUM (MPE)
    i32 program;     // General MIDI program 0 to 127 set on every channel; -1 sets none
};

struct MidiExportReport {
    i64 notes;         // note-ons written
    i64 waited;        // MPE: notes that started late because every member channel was busy
    i64 out_of_range;  // notes outside what MIDI keys can tune (below key 0 or above key 127)
    i64 tracks;        // including the tempo track
};

// One message of a track, in the file's own bytes (status byte included; a system
// exclusive message from F0 to F7; a meta event from FF).
struct MidiMessage {
    i64 tick;
    i64 sequence;  // order of making: equal ticks and ranks keep it
    i32 track;     // 0 is the tempo track
    u8 rank;       // at one tick: note-offs, then set-up, then tunings with their note-ons
    u8 length;
    u8 bytes[12];
};

struct MidiPlan {
    PoolArray<MidiMessage> messages;  // sorted by track, tick, rank, sequence
    PoolArray<Str> track_names;       // per track; the tempo track's is empty
    MidiExportReport report;
};

// Where a frequency lies on the MIDI Tuning Standard's scale: the key at or below it and
// the distance above in 1/16384 of a semitone (yy, zz are its high and low seven bits).
// False, with the nearest end of the scale, outside keys 0 to 127 + 16383/16384.
struct MtsPitch {
    u8 key, msb, lsb;
};
bool mts_pitch_of(f64 frequency, MtsPitch* pitch);
// Cents above MIDI key 0 (8.18 Hz): 6900 is 440 Hz.
f64 midi_cents_of(f64 frequency);
// The 14-bit pitch bend (8192 is none) that moves `key` to `frequency` with a bend range of
// `range` semitones, and whether it was reachable.
bool midi_bend_of(f64 frequency, i32 key, i32 range, i32* bend);

bool midi_path_is(Str path);
MidiExportOptions midi_export_defaults();

// The whole file, from a piece compiled by compile_piece; nothing is written yet.
void midi_plan_build(const Piece* piece, const CompiledPiece* compiled,
                     const MidiExportOptions* options, u8 pool, MidiPlan* plan);
// Writes the plan as a format 1 file; false (and `failure` says why) when it cannot.
bool midi_file_save(const MidiPlan* plan, Str path, u8 pool, RenderFailure* failure);
// Compiles the piece at its own sample rate, plans and saves. Scratch from `pool`.
bool midi_export(const Piece* piece, Str path, const MidiExportOptions* options, u8 pool,
                 MidiExportReport* report, RenderFailure* failure);
