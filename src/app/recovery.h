// Crash recovery: while the piece has unsaved changes its encoding is written every
// interval (30 s unless the command line says otherwise) to "recovery.scene" in the
// platform's state folder, away from the user's pieces; a save, a new piece or a clean
// quit removes it. At start-up a recovery file left by a run that did not end cleanly is
// offered back in a question panel ("restore", "discard"). Main thread.
#pragma once

#include "base/types.h"

struct SaveQuestion;
struct Rect;

enum { RECOVERY_DEFAULT_SECONDS = 30 };

// The interval between writes, from the command line ("-recovery-seconds N"); below one
// second it is one second.
void recovery_set_interval(i64 seconds);
// Forgets the state of an earlier run in this process (the tests start the program often).
void recovery_reset();
// After start-up: when a readable recovery file is there, opens the question.
void recovery_startup();
// Every frame: writes the piece when it has been modified for an interval since the last
// write, and removes the file once the piece is unmodified again.
void recovery_frame();
// A clean quit: the file goes, unless an unanswered question still offers it.
void recovery_shutdown();

// "<state folder>/recovery.scene" in POOL_TMP, or empty when there is no state folder.
Str recovery_path();
// Writes the piece now, atomically (temporary file, sync, rename). False when it could not.
bool recovery_write();
// Replaces the piece with the recovery file's (as an open does, its path restored and the
// piece modified, since the file on disk, if any, lacks those changes). False when the file
// is missing or damaged; the piece is then untouched.
bool recovery_restore();
// The question's text and buttons, drawn in the save question's panel.
void recovery_question_content(SaveQuestion* question, Rect content);
