// The window the frames are drawn into and the camera the canvas is seen through. The main
// loop writes them (the size on a resize, the gamma at start-up, the camera by its keys);
// drawing and the canvas read them. Main thread.
#pragma once

#include "base/types.h"

struct WindowView {
    i32 width, height;
    f64 gamma;  // of the display, applied when the frame buffer is resolved
};

struct Camera {
    f32 pan_speed;
    f32 zoom_speed;
    f32 zoom;  // half the visible height in canvas units, 0.5 to 10000
    f32 pan_x, pan_y;
    f32 range_left, range_right;
};

extern WindowView g_window;
extern Camera g_camera;
