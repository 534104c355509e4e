// Headless back end, audio device: remembers the callback and lets the test pump it, from
// a thread of its own standing in for the device thread. One recursive mutex is both the
// audio lock of the program and the lock the pump runs the callback under.
#include "platform/headless_internal.h"

#include <pthread.h>
#include <string.h>


struct HeadlessAudio {
    // Every field is read and written under `lock`, from the main thread or the pump's.
    bool open, playing;
    i32 format, channels, sample_rate, frames;
    AudioCallback callback;
    void* user_data;
};

static HeadlessAudio headless_audio;
static pthread_mutex_t headless_audio_mutex;
static pthread_once_t headless_audio_once = PTHREAD_ONCE_INIT;

// Recursive, as the real device lock is: the program may pause the device while it holds
// the lock, and the pump holds it around the callback.
static void headless_audio_mutex_init() {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&headless_audio_mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

static void headless_audio_enter() {
    pthread_once(&headless_audio_once, headless_audio_mutex_init);
    pthread_mutex_lock(&headless_audio_mutex);
}

static void headless_audio_leave() { pthread_mutex_unlock(&headless_audio_mutex); }

void headless_reset_audio() {
    headless_audio_enter();
    headless_audio = HeadlessAudio{};
    headless_audio_leave();
}

bool audio_open(i32 format, i32 channels, i32 sample_rate, i32 frames, AudioCallback callback,
                void* user_data) {
    if (headless_take_failure(HEADLESS_FAIL_AUDIO_OPEN) || !callback) return false;
    headless_audio_enter();
    headless_audio.open = true;
    headless_audio.playing = false;  // a device opens paused
    headless_audio.format = format;
    headless_audio.channels = channels;
    headless_audio.sample_rate = sample_rate;
    headless_audio.frames = frames;
    headless_audio.callback = callback;
    headless_audio.user_data = user_data;
    headless_audio_leave();
    return true;
}

void audio_lock() { headless_audio_enter(); }

void audio_unlock() { headless_audio_leave(); }

void audio_play() {
    headless_audio_enter();
    if (headless_audio.open) headless_audio.playing = true;
    headless_audio_leave();
}

void audio_pause() {
    headless_audio_enter();
    headless_audio.playing = false;
    headless_audio_leave();
}

// Taking the lock means a pump in progress finishes before the callback is forgotten.
void audio_close() {
    headless_audio_enter();
    headless_audio = HeadlessAudio{};
    headless_audio_leave();
}

bool headless_audio_is_open() {
    headless_audio_enter();
    bool open = headless_audio.open;
    headless_audio_leave();
    return open;
}

bool headless_audio_is_playing() {
    headless_audio_enter();
    bool playing = headless_audio.playing;
    headless_audio_leave();
    return playing;
}

i32 headless_audio_channels() {
    headless_audio_enter();
    i32 channels = headless_audio.open ? headless_audio.channels : 0;
    headless_audio_leave();
    return channels;
}

bool headless_audio_pump(f32* output, i64 size_in_bytes) {
    headless_audio_enter();
    bool run = headless_audio.open && headless_audio.playing;
    if (run)
        headless_audio.callback(headless_audio.user_data, output, size_in_bytes);
    else if (output && size_in_bytes > 0)
        memset(output, 0, (size_t)size_in_bytes);
    headless_audio_leave();
    return run;
}
