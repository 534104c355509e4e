// Standard MIDI Files read into a new piece, retuned into a key of keys.txt: a group per
// track, a note per note at its exact time in beats, the tempo map as tempo objects, and
// the key, a sound and the bar lines that a piece needs to play. Touches only the piece
// and the pool it is given and the read-only key table, so it runs on any thread that
// owns them. Kept process-wide: only the silencing of the file library's log messages,
// set by the first import (on the main thread, or in a tool).
#pragma once

#include "model/piece.h"

struct MidiImportOptions {
    Str key_name;  // a key of keys.txt; empty for "key"
    i64 tonic;     // pitch class of the key's 1/1 (0 = C .. 11 = B); -1: the file's key
                   // signature, else C
};

// What the reader found, for the messages of the editor and the tool.
struct MidiImportSummary {
    i64 tracks;  // groups made (tracks holding notes)
    i64 notes;
    i64 tempos;
    u8 tuned;                 // the file carried its own tuning, and its pitches were kept
    i64 tonic;                // the tonic used
    f64 reference_frequency;  // of the key object
};

// Checks the file's chunk and event structure completely, without allocating: header,
// chunk lengths, every delta time, status, data byte and meta or SysEx length, an end of
// track closing every track, and a header track count matching the tracks present. False
// with the reason (a constant) for anything a Standard MIDI File cannot be, and for the
// two things the file library cannot take: format 2 files and escaped (F7) events.
bool midi_structure_check(Str bytes, Str* reason);

// Fills `piece` (set up with piece_init; its pool takes everything, the scratch of the
// import included) from the file's bytes. Plain files have each MIDI key mapped to the
// scale pitch of the key nearest to its equal-tempered place above the tonic; a file
// carrying its own tuning (Single Note Tuning Change messages, or pitch bends on channels
// that sound one note at a time) keeps each pitch as the simplest ratio within half a cent
// of it. False with the reason (a new string in POOL_TMP) for a damaged file, an unknown
// key or a full pool; the piece may then hold part of the import and must be dropped.
bool midi_import(Str bytes, const MidiImportOptions* options, Piece* piece,
                 MidiImportSummary* summary, Str* reason);

// "C", "c#", "Db", "F#", "bb": a letter A to G and an optional '#' or 'b'. -1 otherwise.
i64 midi_tonic_parse(Str name);
// "C", "C#", "D" .. "B" for 0..11.
Str midi_tonic_name(i64 tonic);
// Writes `value` as the file's variable-length number (seven bits a byte, the most
// significant first, every byte but the last with its top bit) into `out`, which has room
// for 5 bytes; returns how many it wrote. The import reads the same form back.
i64 midi_varlen_encode(u32 value, u8* out);
