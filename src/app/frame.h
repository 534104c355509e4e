// The frame: the canvas into the frame buffer, then the interface on top of it (status
// texts, the start hint, the statistics overlay, the panels, the menu bar, the help), and
// the actions of the menu bar and the file shortcuts. Owns the interface state below. Main thread.
#pragma once

#include "ui/button.h"

// The menu bar's buttons, left to right (the ten kind buttons show only in place mode).
enum MenuButton {
    MENU_NEW = 0,
    MENU_OPEN,
    MENU_SAVE,
    MENU_UNDO,
    MENU_REDO,
    MENU_EXPORT,
    MENU_PLAY,
    MENU_STOP,
    MENU_ASSIGN_GROUP,
    MENU_MODE,
    MENU_KIND_FIRST,  // ten buttons, one per object kind
    MENU_SHOW_GROUPS = MENU_KIND_FIRST + 10,
    MENU_SHOW_GROUP_PROPERTIES,
    MENU_SHOW_GLOBAL_PROPERTIES,
    MENU_BUTTON_COUNT,
};

struct FrameState {
    bool help_visible;  // the controls text; toggled by F1
    bool hint_done;     // the start hint is gone: an object was placed, or F1 pressed
    ToolbarCursor menu_cursor;
    ButtonState menu_buttons[MENU_BUTTON_COUNT];
    Rect menu_rects[MENU_BUTTON_COUNT];  // where each button was last drawn; empty if hidden
};

extern FrameState g_frame;

void frame_reset();
void frame();
// The save question; follow_up 1 quits afterwards, 0 starts a new piece, 2 opens the file
// panel to open another. One question at a time: asking again while it is open only
// changes what follows its answer.
void save_question_open(u8 follow_up);
// The controls text of the help overlay.
Str frame_help_text();
// The start hint's line, shown on an empty canvas until an object is placed or F1 pressed.
Str frame_hint_text();
// The statistics overlay's text for this frame, in POOL_TMP.
Str frame_statistics_text();
