// The frame: the canvas into the frame buffer, then the interface on top. Main thread.
#pragma once

#include "core/types.h"

void frame_reset();
void frame();
// The save question; follow_up 1 quits afterwards, 0 starts a new piece.
void save_question_open(u8 follow_up);
