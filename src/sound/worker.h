// The render worker: a thread that polls its request every 30 ms under the worker mutex,
// renders a snapshot of the piece (for playback, or into a wave file for an export) and
// reports the result under the same mutex. The main thread posts requests and takes
// results; neither side holds the mutex while rendering or together with the audio lock.
#pragma once

#include "core/types.h"
#include "sound/render.h"

// What the main thread gets back for a finished request.
struct RenderResult {
    i64 request_id;  // the newest request served so far
    // A playback rendering (malloc'd; the taker owns it) and its time map (malloc'd).
    f32* samples;
    i64 length;
    f64* block_times;
    i64 block_count;
    i64 sample_rate;
    u8 has_rendering;
    f64 synthesis_seconds;
    u8 export_failed;  // failure holds the message for the user
    i64 midi_waited;   // notes of a MIDI export (MPE) that waited for a free channel
    u8 render_failed;  // a playback render could not be made; failure says why
    u8 render_cut;     // a playback render was made but misses part of the piece; failure says
    RenderFailure failure;
};

void render_worker_reset();  // start-up step 1; does not allocate
// Creates the worker mutex and starts the worker; false (and nothing left behind) when
// either fails.
bool render_worker_start();
// Clears the keep-running flag under the mutex, joins the worker, destroys the mutex and
// frees what a request or result still held.
void render_worker_stop();
i32 render_worker(void* argument);
bool render_worker_available();

// Main thread. Hands the worker a copy of the scene bytes of the piece; with a path it is
// an export to that file (a MIDI file tuned by `midi_tuning` when it ends in ".mid"), else a playback render at `sample_rate` and `channels`. A request
// that the worker has not taken yet is replaced. Returns the request's id (0 when the
// worker is not running or memory is short).
i64 render_request_post(Str snapshot, Str export_path, i64 sample_rate, i64 channels,
                        u8 midi_tuning = 0);
// Main thread: takes the finished results, if any ("render done"); the caller owns the
// buffers in `result` afterwards.
bool render_result_take(RenderResult* result);
