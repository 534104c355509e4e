// State that the real back end's files share (never included by the program): the one
// window and its OpenGL context. Main thread only.
#pragma once

#include <SDL2/SDL.h>

#include "platform/common_internal.h"

extern SDL_Window* real_window;    // null until display_open succeeds
extern SDL_GLContext real_context;

// Called by display_open once the context is current, and by display_close before the
// context goes: graphics calls do nothing while no context exists.
void real_graphics_context_ready(bool ready);

// Called by display_open: the input state starts from the mouse's current position.
void real_input_reset();
