// The save question panel (PANEL_QUESTION): "do you want to save ...?" with yes, no and cancel,
// and what follows the answer (quit, a new piece, or the file panel to open another).
// A question waiting for its answer is modal; Return answers yes, Escape cancels. Main
// thread.
#pragma once

#include "ui/button.h"
#include "ui/panels.h"

enum SaveFollowUp : u8 { FOLLOW_UP_NEW_PIECE = 0, FOLLOW_UP_QUIT = 1, FOLLOW_UP_OPEN = 2 };

struct SaveQuestion {
    u8 close_requested;
    u8 follow_up;  // SaveFollowUp
    ButtonState yes, no, cancel;
    // The recovery question of start-up shares the panel: its text, "restore" and "discard"
    // (app/recovery.h).
    u8 restore;
    Str text;
};

// Draws the question in the content rectangle and acts on its buttons.
void save_question_content(SaveQuestion* question, Rect content);
// What follows an answer that did not cancel: quit, empty the piece, or let the user
// choose the piece to open.
void save_follow_up(u8 follow_up);
// Whether Return answers this question now: it is the topmost question still waiting.
bool question_return_answers(const SaveQuestion* question);
// Escape: closes the topmost waiting question unanswered. False when none waits.
bool question_cancel();
