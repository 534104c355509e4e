// The document flow around the piece's file: save with or without a name, new piece,
// and what confirming the file panel does in each of its actions. Works on g_piece, on
// the main thread.
#pragma once

#include "model/piece_file.h"
#include "panels/file_panel.h"

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
// Runs the file panel's action on the chosen path: open (a MIDI file through the import
// panel; a piece read closes the panels bound to the one it replaced), save, save then
// quit, save then new piece, save then open, export. The follow-ups run only when the
// save worked. Installed as the file panel's confirm action at start-up.
void document_confirm(u8 action, Str folder, Str typed_name);
