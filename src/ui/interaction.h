// What the widgets know of the frame's input: the mouse, the keyboard's owner, the time
// step, and the interaction stack, whose top tells the widget being processed whether the
// mouse is its to use. The main loop pushes the canvas entry, the frame one entry per
// panel and one for the menu bar; every push is popped when its scope ends. Main thread.
#pragma once

#include "base/types.h"

// What the widgets read of the frame: the mouse (y counts upward from the bottom edge),
// the keyboard's owner and the time step of per-frame motion. Written by the main loop.
struct UiInput {
    f32 mouse_x, mouse_y;
    bool keyboard_free;  // false for one frame after a text field held the keyboard
    i64 keyboard_taken;  // raised by a focused text field during a frame
    f64 frame_seconds;
};
extern UiInput g_ui;

void interaction_reset();  // empties the stack
void interaction_push(bool allowed);
void interaction_pop();
bool interaction_allowed();  // the top entry; false on an empty stack
i64 interaction_depth();
// Set while a panel below a modal one runs its content: its focused text fields type
// nothing until the modal panel is answered.
void interaction_keyboard_block(bool blocked);
bool interaction_keyboard_allowed();
