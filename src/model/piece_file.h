// Reading g_piece from its file and writing it back, on the main thread; refusals and
// failures are shown in a message box.
#pragma once

#include "base/types.h"

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

// Writes g_piece to "<path>.tmp" in the same folder, syncs it and renames it over the
// path, so the previous file survives any failure. On failure the temporary file is
// removed, "save failed" names the path and the reason, and the piece's path and modified
// flag stay as they were. On success the path is `path` and the modified flag is clear.
bool scene_save(Str path);
