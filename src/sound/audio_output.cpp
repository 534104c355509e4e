// The audio callback and the hand-over of renderings to it. The callback is a copy with
// gains: it never allocates, never takes a lock of its own, never touches a file, and
// reads the slot only while the platform holds the audio lock around it, so the main
// thread's swaps under audio_lock are whole when it looks.
#include "sound/audio_output.h"

#include <stdlib.h>
#include <string.h>

#include "platform/system.h"
#include "sound/sounds.h"

AudioState g_audio;

void playback_reset();
void render_worker_reset();

void audio_output_reset() {
    memset(&g_audio, 0, sizeof(g_audio));
    g_audio.fade_length = 2048;
    playback_reset();
    render_worker_reset();
    sounds_reset();
}

bool audio_output_open() {
    g_audio.channels = 2;
    g_audio.sample_rate = 44100;
    if (!audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, audio_callback, &g_audio)) return false;
    audio_lock();
    g_audio.open = 1;
    g_audio.loop = 0;
    g_audio.position = 0;
    g_audio.played = 0;
    g_audio.fade_length = 2048;
    audio_unlock();
    return true;
}

void audio_output_close() {
    if (g_audio.open) audio_close();
    g_audio.open = 0;
    // The device is gone (or never ran), so nothing reads the slot any more.
    if (render_stream_release(g_audio.slot)) free(g_audio.slot);
    g_audio.slot = 0;
    g_audio.slot_length = 0;
    g_audio.slot_final = 0;
}

void audio_callback(void* user_data, f32* output, i64 size_in_bytes) {
    AudioState* audio = (AudioState*)user_data;
    i64 n = size_in_bytes / 4;
    if (n <= 0 || !output) return;
    const f32* slot = audio->slot;
    i64 length = audio->slot_length;
    // A loop goes round the whole rendering, so it waits, silent, until all of it is final.
    i64 final = slot && audio->slot_final ? __atomic_load_n(audio->slot_final, __ATOMIC_ACQUIRE)
                                          : length;
    if (audio->loop && final < length) {
        for (i64 i = 0; i < n; i += 1) output[i] = 0.0f;
        audio->starved = 1;
        return;
    }
    if (audio->loop) {
        audio->starved = 0;
        for (i64 i = 0; i < n; i += 1)
            output[i] = length > 0 && slot ? slot[(audio->position + i) % length] : 0.0f;
        audio->position += n;
        audio->played += n;
        if (length > 0 && audio->position >= length) audio->position -= length;
        return;
    }
    // A buffer that would reach samples the worker has not finished is silence, and the
    // place stays where it is: nothing is skipped and nothing unfinished is heard.
    i64 reach = audio->position + n < length ? audio->position + n : length;
    if (reach > final) {
        for (i64 i = 0; i < n; i += 1) output[i] = 0.0f;
        audio->starved = 1;
        if (audio->pause_request || audio->stop_request) {
            audio->faded_out = 1;
            audio->stop_kind = audio->stop_request;
        }
        return;
    }
    audio->starved = 0;
    for (i64 i = 0; i < n; i += 1) {
        i64 at = audio->position + i;
        output[i] = slot && at >= 0 && at < length ? slot[at] : 0.0f;
    }
    f64 fade = (f64)audio->fade_length;
    if (audio->fade_in) {
        for (i64 i = 0; i < n; i += 2) {
            f64 gain = fade > 0.0 ? (f64)(audio->fade_in_progress + i) / fade : 1.0;
            if (gain > 1.0) gain = 1.0;
            output[i] = (f32)(output[i] * gain);
            if (i + 1 < n) output[i + 1] = (f32)(output[i + 1] * gain);
        }
        audio->fade_in_progress += n;
        if (audio->fade_in_progress >= audio->fade_length) audio->fade_in = 0;
    }
    if (audio->pause_request || audio->stop_request) {
        if (audio->fade_out_progress >= audio->fade_length) {
            audio->faded_out = 1;
            audio->stop_kind = audio->stop_request;
        }
        for (i64 i = 0; i < n; i += 2) {
            f64 gain = fade > 0.0 ? 1.0 - (f64)(audio->fade_out_progress + i) / fade : 0.0;
            if (gain < 0.0) gain = 0.0;
            output[i] = (f32)(output[i] * gain);
            if (i + 1 < n) output[i + 1] = (f32)(output[i + 1] * gain);
        }
        audio->fade_out_progress += n;
    }
    audio->position += n;
    audio->played += n;
}

void audio_slot_install(f32* samples, i64 length, const i64* final) {
    audio_lock();
    f32* previous = g_audio.slot;
    g_audio.slot = samples;
    g_audio.slot_length = samples ? length : 0;
    g_audio.slot_final = samples ? final : 0;
    g_audio.starved = 0;
    g_audio.position = 0;
    g_audio.played = 0;
    audio_unlock();
    // Outside the lock: the callback can no longer reach the old buffer.
    if (previous != samples && render_stream_release(previous)) free(previous);
}

void audio_slot_completed() {
    audio_lock();
    g_audio.slot_final = 0;
    audio_unlock();
}

void playback_start() {
    audio_lock();
    g_audio.paused = 0;
    g_audio.pause_request = 0;
    g_audio.stop_request = 0;
    g_audio.faded_out = 0;
    g_audio.fade_in = 1;
    g_audio.fade_in_progress = 0;
    audio_unlock();
    audio_play();
}

// The device is paused before the lock is let go: a device thread waiting for the lock
// would otherwise play a buffer from the rewound position first.
void audio_pause_and_rewind() {
    audio_lock();
    g_audio.paused = 1;
    g_audio.position = 0;
    g_audio.played = 0;
    audio_pause();
    audio_unlock();
}
