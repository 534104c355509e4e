// Audio output and the render worker's life cycle. The callback runs on the platform's
// audio thread; the worker on its own thread, polling its flags every 30 ms under the
// worker mutex; everything else here runs on the main thread.
#include "sound/audio_output.h"

#include <string.h>

#include "platform/system.h"

struct AudioState {
    // written by the main thread before the device opens
    i64 channels;
    i64 sample_rate;
    u8 open;
};

struct WorkerState {
    Mutex mutex;
    Thread thread;
    // guarded by mutex
    u8 running;
};

static AudioState audio_state;
static WorkerState worker_state;

void audio_output_reset() {
    memset(&audio_state, 0, sizeof(audio_state));
    memset(&worker_state, 0, sizeof(worker_state));
}

void audio_callback(void* user_data, f32* output, i64 size_in_bytes) {
    (void)user_data;
    memset(output, 0, (size_t)size_in_bytes);
}

bool audio_output_open() {
    audio_state.channels = 2;
    audio_state.sample_rate = 44100;
    if (!audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, audio_callback, &audio_state)) return false;
    audio_state.open = 1;
    return true;
}

void audio_output_close() {
    if (audio_state.open) audio_close();
    audio_state.open = 0;
}

i32 render_worker(void* argument) {
    (void)argument;
    for (;;) {
        mutex_lock(worker_state.mutex);
        bool running = worker_state.running != 0;
        mutex_unlock(worker_state.mutex);
        if (!running) return 0;
        system_sleep(30);
    }
}

bool render_worker_start() {
    worker_state.mutex = mutex_create();
    if (!worker_state.mutex) return false;
    worker_state.running = 1;
    worker_state.thread = thread_create(render_worker, 0);
    if (!worker_state.thread) {
        mutex_destroy(worker_state.mutex);
        worker_state.mutex = 0;
        worker_state.running = 0;
        return false;
    }
    return true;
}

void render_worker_stop() {
    if (!worker_state.thread) return;
    mutex_lock(worker_state.mutex);
    worker_state.running = 0;
    mutex_unlock(worker_state.mutex);
    thread_wait(worker_state.thread, 0);
    mutex_destroy(worker_state.mutex);
    worker_state.thread = 0;
    worker_state.mutex = 0;
}

void export_request(Str path) { (void)path; }
