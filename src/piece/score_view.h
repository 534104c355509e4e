// The score view: the piece drawn on the canvas under the camera. Main thread, inside the
// frame, into the off-screen frame buffer.
#pragma once

#include "core/types.h"

void score_view_draw();
