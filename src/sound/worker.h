// The render worker: a thread that polls its request every 2 ms under the worker mutex,
// renders a snapshot of the piece (for playback, or into a wave file for an export) and
// reports the result under the same mutex. A playback rendering is reported as soon as its
// buffer exists and streamed: the samples become final in time order while it plays. The main thread posts requests and takes
// results; neither side holds the mutex while rendering or together with the audio lock.
#pragma once

#include "base/types.h"
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
    // The rendering is still being written: its samples are final only up to
    // *render_stream_final() (read atomically), and the worker owns the buffer until it
    // reports the stream finished (or the slot gives it back with render_stream_release).
    u8 streaming;
    u8 stream_finished;  // the stream of request `finished_id` is over...
    u8 stream_complete;  // ...with every sample final (else it was cancelled)
    i64 finished_id;
    u8 export_failed;  // failure holds the message for the user
    i64 midi_waited;   // notes of a MIDI export (MPE) that waited for a free channel
    u8 render_failed;  // a playback render could not be made; failure says why
    u8 render_cut;     // a playback render was made but misses part of the piece; failure says
    RenderFailure failure;
};

void render_worker_reset();  // from audio_output_reset; does not allocate
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
// Samples (all channels) final so far in the rendering being streamed; read atomically.
const i64* render_stream_final();
// Main thread: stops a playback rendering under way, as a new request would, so that the
// cores are free while that request is made.
void render_playback_cancel();
// Main thread, for a buffer leaving the playing slot: true when the caller may free it,
// false when the worker is still writing it (the worker stops and frees it then).
bool render_stream_release(f32* samples);
// Holds the worker before it makes more samples final, for tests that need a slow worker.
void render_worker_hold(bool held);
// Main thread: takes the finished results, if any ("render done"); the caller owns the
// buffers in `result` afterwards.
bool render_result_take(RenderResult* result);
