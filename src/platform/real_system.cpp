// The real back end's system calls on SDL2: start-up and release, the performance
// counter, sleeping, threads and the mutex. Owns nothing beyond SDL's own state.
// system_init and system_release on the main thread; the rest from any thread.
#include "platform/real_internal.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <filesystem>

enum {
    SYSTEM_VIDEO = 1 << 0,
    SYSTEM_AUDIO = 1 << 1,
    SYSTEM_TIMERS = 1 << 2,
    SYSTEM_EVENTS = 1 << 3,
    SYSTEM_CLIPBOARD = 1 << 4,  // part of SDL's video subsystem
    SYSTEM_THREADS = 1 << 5,    // SDL threads need no start-up
};

bool system_init(u32 flags) {
    u32 subsystems = 0;
    if (flags & (SYSTEM_VIDEO | SYSTEM_CLIPBOARD)) subsystems |= SDL_INIT_VIDEO;
    if (flags & SYSTEM_TIMERS) subsystems |= SDL_INIT_TIMER;
    if (flags & SYSTEM_EVENTS) subsystems |= SDL_INIT_EVENTS;
    if (SDL_Init(subsystems) != 0) {
        platform_error_set(SDL_GetError());
        return false;
    }
    // A machine without a sound device still runs the editor: audio_open fails later and
    // the program carries on silently.
    if (flags & SYSTEM_AUDIO) SDL_InitSubSystem(SDL_INIT_AUDIO);
    return true;
}

void system_release() { SDL_Quit(); }

static char state_folder[4096];
static char time_text[32];

Str system_state_folder() {
    const char* base = getenv("XDG_STATE_HOME");
    int written = -1;
    if (base && base[0] == '/') {
        written = snprintf(state_folder, sizeof(state_folder), "%s/sorvane", base);
    } else {
        // A relative XDG_STATE_HOME is invalid and ignored, as the convention asks.
        const char* home = getenv("HOME");
        if (home && home[0] == '/')
            written = snprintf(state_folder, sizeof(state_folder), "%s/.local/state/sorvane", home);
    }
    if (written <= 0 || written >= (int)sizeof(state_folder)) return Str{};
    std::error_code error;
    std::filesystem::create_directories(state_folder, error);
    if (error) {
        platform_error_set_errno(error.value());
        return Str{};
    }
    return Str{(u8*)state_folder, written};
}

Str system_time_text() {
    time_t now = time(nullptr);
    struct tm local = {};
    if (!localtime_r(&now, &local)) return Str{};
    size_t length = strftime(time_text, sizeof(time_text), "%Y-%m-%d %H:%M:%S", &local);
    return Str{(u8*)time_text, (i64)length};
}

u64 system_performance_counter() { return SDL_GetPerformanceCounter(); }

u64 system_performance_frequency() { return SDL_GetPerformanceFrequency(); }

void system_sleep(i64 milliseconds) {
    if (milliseconds <= 0) return;
    if (milliseconds > (i64)UINT32_MAX) milliseconds = (i64)UINT32_MAX;
    SDL_Delay((u32)milliseconds);
}

// ---------------------------------------------------------------------------
// Threads and the mutex: the platform's handle types are SDL's own objects.
// ---------------------------------------------------------------------------
Thread thread_create(ThreadFunction function, void* argument) {
    if (!function) return nullptr;
    SDL_Thread* thread = SDL_CreateThread((SDL_ThreadFunction)function, "sorvane", argument);
    if (!thread) platform_error_set(SDL_GetError());
    return (Thread)thread;
}

i32 thread_wait(Thread thread, i64) {
    if (!thread) return 0;
    int status = 0;
    SDL_WaitThread((SDL_Thread*)thread, &status);
    return status;
}

Mutex mutex_create() {
    SDL_mutex* mutex = SDL_CreateMutex();
    if (!mutex) platform_error_set(SDL_GetError());
    return (Mutex)mutex;
}

void mutex_lock(Mutex mutex) {
    if (mutex) SDL_LockMutex((SDL_mutex*)mutex);
}

void mutex_unlock(Mutex mutex) {
    if (mutex) SDL_UnlockMutex((SDL_mutex*)mutex);
}

void mutex_destroy(Mutex mutex) {
    if (mutex) SDL_DestroyMutex((SDL_mutex*)mutex);
}
