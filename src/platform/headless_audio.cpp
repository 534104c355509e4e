// Headless back end, audio device: remembers the callback and lets the test pump it, from
// a thread of its own standing in for the device thread, which is marked while the callback
// runs so that every platform call the callback makes is counted. One recursive mutex is
// both the audio lock of the program and the lock the pump runs the callback under. A test
// may also have a buffer pumped the moment the program lets go of the lock, as a device
// thread waiting for it would.
#include "platform/headless_internal.h"

#include <pthread.h>
#include <string.h>
#include <time.h>


struct HeadlessAudio {
    // Every field is read and written under `lock`, from the main thread or the pump's.
    bool open, playing;
    i32 format, channels, sample_rate, frames;
    AudioCallback callback;
    void* user_data;
    // Buffers to pump when the program next lets go of the audio lock, and their size.
    i64 unlock_pumps_pending, unlock_pump_bytes, unlock_pumps_ran;
};

static const i64 UNLOCK_PUMP_CAPACITY = 4096;  // bytes of one buffer pumped at an unlock

static HeadlessAudio headless_audio;
static thread_local i64 callback_nanoseconds;  // of the last callback pumped on this thread
static i64 program_lock_depth;  // audio_lock nesting; changed only by the thread holding it
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
    platform_call_note(PLATFORM_CALL_AUDIO_DEVICE);
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

void audio_lock() {
    platform_call_note(PLATFORM_CALL_AUDIO_LOCK);
    headless_audio_enter();
    program_lock_depth += 1;
}

void audio_unlock() {
    platform_call_note(PLATFORM_CALL_AUDIO_UNLOCK);
    program_lock_depth -= 1;
    bool pump = program_lock_depth == 0 && headless_audio.unlock_pumps_pending > 0;
    i64 bytes = headless_audio.unlock_pump_bytes;
    if (pump) headless_audio.unlock_pumps_pending -= 1;
    headless_audio_leave();
    if (!pump) return;
    // The waiting device takes the lock before the program's next step.
    static f32 output[UNLOCK_PUMP_CAPACITY / 4];
    bool ran = headless_audio_pump(output, bytes);
    headless_audio_enter();
    if (ran) headless_audio.unlock_pumps_ran += 1;
    headless_audio_leave();
}

void headless_audio_pump_on_unlock(i64 count, i64 size_in_bytes) {
    headless_audio_enter();
    headless_audio.unlock_pumps_pending = count;
    headless_audio.unlock_pump_bytes =
        size_in_bytes < UNLOCK_PUMP_CAPACITY ? size_in_bytes : UNLOCK_PUMP_CAPACITY;
    headless_audio.unlock_pumps_ran = 0;
    headless_audio_leave();
}

i64 headless_audio_unlock_pumps() {
    headless_audio_enter();
    i64 ran = headless_audio.unlock_pumps_ran;
    headless_audio_leave();
    return ran;
}

void audio_play() {
    platform_call_note(PLATFORM_CALL_AUDIO_DEVICE);
    headless_audio_enter();
    if (headless_audio.open) headless_audio.playing = true;
    headless_audio_leave();
}

void audio_pause() {
    platform_call_note(PLATFORM_CALL_AUDIO_DEVICE);
    headless_audio_enter();
    headless_audio.playing = false;
    headless_audio_leave();
}

// Taking the lock means a pump in progress finishes before the callback is forgotten.
void audio_close() {
    platform_call_note(PLATFORM_CALL_AUDIO_DEVICE);
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
    if (run) {
        // Whatever the callback asks of the platform is counted against it.
        bool marked = platform_thread_marked();
        platform_thread_mark(true);
        timespec start, end;
        clock_gettime(CLOCK_MONOTONIC, &start);
        headless_audio.callback(headless_audio.user_data, output, size_in_bytes);
        clock_gettime(CLOCK_MONOTONIC, &end);
        platform_thread_mark(marked);
        callback_nanoseconds =
            (i64)(end.tv_sec - start.tv_sec) * 1000000000 + (i64)(end.tv_nsec - start.tv_nsec);
    } else if (output && size_in_bytes > 0) {
        memset(output, 0, (size_t)size_in_bytes);
    }
    headless_audio_leave();
    return run;
}

i64 headless_audio_callback_nanoseconds() { return callback_nanoseconds; }
