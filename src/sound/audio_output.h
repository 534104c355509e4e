// Audio output: the device callback, and the render worker that compiles and synthesises
// the piece on request, off the main thread.
#pragma once

#include "core/types.h"

void audio_output_reset();
// Opens the device (2 channels, 44100 Hz, 256-frame buffers); false when it cannot.
bool audio_output_open();
void audio_output_close();
void audio_callback(void* user_data, f32* output, i64 size_in_bytes);

// Creates the worker mutex and starts the worker; false (and nothing left behind) when
// either fails.
bool render_worker_start();
// Clears the keep-running flag under the mutex, joins the worker, destroys the mutex.
void render_worker_stop();
i32 render_worker(void* argument);

// The export action: pauses playback and asks the worker to render the piece into a wave
// file at `path` (copied) with the piece's own sample rate, channels and sample type.
void export_request(Str path);
