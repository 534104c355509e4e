// The document lifecycle around the scene codec: open, save (never destroying the previous
// file), new piece, the quit test, and what confirming the file panel does in each of its
// six actions. Works on g_piece, on the main thread; failures the user must see are
// shown in a message box.
#pragma once

#include "core/types.h"

enum FileAction : u8 {
    FILE_ACTION_OPEN = 0,
    FILE_ACTION_SAVE = 1,
    FILE_ACTION_SAVE_THEN_QUIT = 2,
    FILE_ACTION_SAVE_THEN_NEW = 3,
    FILE_ACTION_EXPORT = 4,
    FILE_ACTION_SAVE_THEN_OPEN = 5,
    // Export too; a MIDI file is tuned by per-note channels and pitch bends (MPE) instead
    // of tuning messages. The export panel switches between the two.
    FILE_ACTION_EXPORT_MPE = 6,
};

// Reads the scene file into g_piece. A missing, empty, foreign or damaged file shows
// "invalid file", another version "incompatible version"; then the piece, its path and
// its modified flag stay as they were (false). On success the path is the file's and
// the modified flag is clear.
bool piece_open(Str path);
// Makes the MIDI file at `path` into a new piece retuned into the key (an empty name for
// "key") on the tonic (0 = C .. 11 = B, -1 for the file's key signature): imported and
// encoded in POOL_TMP, then read into g_piece like a scene file, so a refused file leaves
// the piece, its path and its flag as they were and shows "invalid MIDI file" with the
// reason. The new piece has no path, since it was never saved, and counts as modified.
bool piece_import_midi(Str path, Str key_name, i64 tonic);
// Whether the path names a MIDI file: it ends in ".mid" or ".midi", in any case.
bool path_is_midi(Str path);
// What a refused open tells the user for a decode result: the message box's title, and
// its text (a new string in POOL_TMP) naming the path.
Str scene_refusal_text(u8 result, Str path, Str* title);

// Replaces the file at `path` by `bytes` through "<path>.tmp" beside it: written, synced,
// closed, renamed over the path, then the folder synced, so the previous file survives a
// failure at any point. On failure the temporary file is removed and `reason` says why.
bool file_replace_atomically(Str path, Str bytes, Str* reason);

// Writes g_piece to "<path>.tmp" in the same folder, syncs it and renames it over the
// path, so the previous file survives any failure. On failure the temporary file is
// removed, "save failed" names the path and the reason, and the piece's path and modified
// flag stay as they were. On success the path is `path` and the modified flag is clear.
bool scene_save(Str path);

// With a path: saves there and answers 1 when that worked (0 when it failed). Without a
// path: opens the file panel titled "save piece" with piece_save_action's action and
// answers 0 (the save happens on confirm).
u8 piece_save(u8 follow_up_requested, u8 follow_up);
// Save (1) without a follow-up; with one, save then quit (2) for follow-up 1, save then
// new piece (3) for follow-up 0, save then the open file panel (5) for follow-up 2, plain
// save (1) for anything else.
u8 piece_save_action(u8 follow_up_requested, u8 follow_up);

// A modified piece opens the save question (follow-up: new piece) and nothing else.
// Otherwise the ten object lists and the tree are emptied (their storage kept) and the
// path cleared; groups, settings, counters and the flag stay.
void piece_new();

// folder + "/" + name (folder and slash left out when the folder is empty), one newline
// at the end of the name dropped; a new string in POOL_TMP.
Str document_path(Str folder, Str typed_name);
// Runs the file panel's action on the chosen path: open, save, save then quit, save then
// new piece, save then open, export. The follow-ups run only when the save worked.
void document_confirm(u8 action, Str folder, Str typed_name);
