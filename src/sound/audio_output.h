// Audio output: the device callback that plays the playing slot with short fades, and the
// record it shares with the main thread. The callback runs on the platform's audio thread;
// the main thread changes the shared fields only between audio_lock and audio_unlock.
#pragma once

#include "base/types.h"
// Start-up and shutdown reach the worker (render_worker_start, render_worker_stop) and the
// document reaches export_request through this header.
#include "sound/playback.h"
#include "sound/worker.h"

struct AudioState {
    // The playing slot. Written by the main thread under audio_lock (pointer and length
    // together), read by the callback. Its buffer is malloc'd and never written again once
    // it is here: a new rendering replaces the slot instead of overwriting it.
    f32* slot;
    i64 slot_length;  // samples, all channels
    // While the worker still writes the slot: how many of its samples are final (read
    // atomically); null when all are. Set with the slot.
    const i64* slot_final;
    // The device's format, set before the device opens and constant afterwards. Renders
    // for playback use them; an export passes its own format to the render calls.
    i64 channels;
    i64 sample_rate;
    // Written by the callback; by the main thread only under audio_lock.
    i64 position;  // index in the slot of the next sample to output
    i64 played;    // samples output since the last start from the beginning
    i64 fade_in_progress, fade_out_progress;  // samples
    u8 faded_out;  // a requested fade-out has finished
    u8 stop_kind;  // the stop request as it was when the fade-out finished
    u8 starved;    // the last buffer reached samples not yet final and played silence
    // Written by the main thread under audio_lock, read by the callback.
    u8 loop;  // repeat the slot endlessly without fades; never set by this program
    u8 pause_request, stop_request;  // a fade-out towards a pause or a stop is running
    u8 fade_in;
    i64 fade_length;  // samples: 2048, about 23 ms of stereo at 44100 Hz
    // Main thread only.
    u8 paused;  // the program paused the device
    u8 open;    // audio_open succeeded
};

extern AudioState g_audio;

// From app_state_reset at start-up: clears the audio state, the worker state, the playback
// marks and the sound tables. Does not allocate.
void audio_output_reset();
// Opens the device (2 channels, 44100 Hz, 256-frame buffers); false when it cannot. The
// format is recorded either way, so renders and exports work without a device.
bool audio_output_open();
// Closes the device (when open) and frees the playing slot.
void audio_output_close();
void audio_callback(void* user_data, f32* output, i64 size_in_bytes);

// Main thread: makes `samples` (malloc'd, `length` samples) the playing slot, rewound to
// its start, in one critical section; frees the buffer it replaces after leaving it (or
// leaves that to the worker still writing it). `final` as AudioState::slot_final.
void audio_slot_install(f32* samples, i64 length, const i64* final = 0);
// Main thread: every sample of the slot is final now.
void audio_slot_completed();
// Main thread: under the audio lock clears paused and the fade-out requests and starts a
// fade-in, then lets the device play.
void playback_start();
// Main thread: pauses the device and rewinds the slot.
void audio_pause_and_rewind();
