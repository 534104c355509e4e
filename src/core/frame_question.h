// The save question panel (kind 4): "do you want to save ...?" with yes, no and cancel,
// and what follows the answer (quit, or a new piece). Main thread.
#pragma once

#include "core/panels.h"
#include "ui/button.h"

enum SaveFollowUp : u8 { FOLLOW_UP_NEW_PIECE = 0, FOLLOW_UP_QUIT = 1 };

struct SaveQuestion {
    u8 close_requested;
    u8 follow_up;  // SaveFollowUp
    ButtonState yes, no, cancel;
    // The recovery question of start-up shares the panel: its text, "restore" and "discard"
    // (core/recovery.h).
    u8 restore;
    Str text;
};

// Draws the question in the content rectangle and acts on its buttons.
void save_question_content(SaveQuestion* question, Rect content);
// What follows an answer that did not cancel: quit, or empty the piece.
void save_follow_up(u8 follow_up);
