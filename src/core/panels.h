// Floating panel windows. Main thread only.
#pragma once

#include "core/types.h"

void panels_reset();
void panels_input();  // hover, moving, resizing, raising, collapsing, closing
void panels_scale(f32 scale_x, f32 scale_y);  // after a window resize
