// Undo and redo of every change to the piece: a list of steps, each the piece's scene
// encoding and its path, kept in malloc'd blocks outside the pools within a byte budget
// (the oldest steps drop out first, never the current one). Main thread only.
#pragma once

#include "base/types.h"

enum : i64 {
    HISTORY_DEFAULT_BUDGET = 256ll << 20,  // bytes of encodings kept
    HISTORY_MAX_STEPS = 1000,              // steps kept, the current one included
};

// Forgets every step and records the piece as it is now, as clean when it is unmodified.
void history_reset();
// Frees every step; the history is empty until the next reset or frame.
void history_release();
// The byte budget of all kept encodings together (at least the current step is kept).
void history_set_budget(i64 bytes);

// An edit path that replaces the piece without setting its modified flag (an open, a new
// piece) says so here, so that the end of this frame compares the piece with the last step.
void history_note_change();
// The end of a frame: records a step when the piece's encoding differs from the current
// step's. The encoding is made only in frames where the piece may have changed: its
// modified flag is set and there was input, the flag changed, or an edit path said so.
void history_frame();

// Steps back (undo) or forward (redo): the step's encoding is decoded into the piece as an
// open does, its path restored, and the modified flag cleared exactly when the step is a
// clean one (the piece as its file holds it, or a never-saved piece as it was started or
// made new). False when there is no such step or the piece could not take it (it is then
// unchanged). The caller closes the panels bound to the piece's objects.
bool history_undo();
bool history_redo();
bool history_can_undo();
bool history_can_redo();

i64 history_step_count();    // steps kept, the current one included
i64 history_current_step();  // index of the current step among them
i64 history_bytes();         // bytes of the kept encodings and paths
// Whether the piece is exactly the current step and that step is a clean one: nothing
// done since the piece was opened, saved, started or made new is left unsaved.
bool history_piece_is_clean();
