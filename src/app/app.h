// The application core: start-up in a fixed order, one main-loop iteration per displayed
// frame, and shutdown in the reverse order. Owns AppState, which the application's own
// parts read on the main thread; the layers below get what they need passed down.
#pragma once

#include "base/types.h"
#include "gfx/view.h"
#include "ui/interaction.h"

struct AppState {
    bool running;
    f64 update_seconds;  // input, panels and editor of the last frame
    f64 render_seconds;  // drawing of the last frame
    f64 total_seconds;   // from the previous present to this one
    i64 sleep_amount;    // milliseconds slept after each present
    bool measured_timing;
    bool fullscreen;
    Str open_path;        // the piece named on the command line, opened at start-up
    bool print_usage;     // --help: print the usage and run nothing else
    bool print_version;   // --version: likewise with the version
    bool stats_visible;
    // What start-up could bring up; the program runs without what failed.
    bool audio_open;
    bool worker_running;
    u64 previous_present;
    u64 counter_frequency;
};

extern AppState g_app;

// Clears AppState, the window view, the camera and the widgets' input to their initial
// values.
void app_state_reset();
// Reads the command line into AppState; unknown arguments are reported and skipped. The
// first argument not starting with '-' names the piece to open.
void app_read_command_line(const Str* args, i64 count);
extern const char app_usage_text[];
extern const char app_version_text[];
// Fills the panel windows' table of what each kind shows (panel_content.cpp).
void panel_kinds_install();
// Start-up after the command line. False when the program cannot run at all (no window,
// no memory for the pools); the message has been printed and what was set up released.
bool app_startup();
// One iteration of the main loop.
void app_frame();
// Releases everything app_startup set up, in reverse order.
void app_shutdown();
// The whole run: command line, start-up, frames until quit, shutdown. Exit status.
i32 app_main(const Str* args, i64 count);

// The camera keys of one frame (pan, zoom, reset) and the visible range.
void camera_keys(Camera* camera);
