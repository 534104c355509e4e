// Headless back end, system part: init, the test-driven clock, sleep, real pthreads threads
// and mutexes, failure injection and headless_reset. The clock and the failure flags are
// touched from any thread (atomically); headless_reset belongs to the test's main thread.
#include "platform/headless_internal.h"

#include <pthread.h>
#include <sched.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>


static u64 headless_ticks;     // atomic: the performance counter
static u64 headless_slept_ms;  // atomic: sum of the sleeps that moved the clock
static u32 headless_failures;  // atomic: one bit per pending HeadlessFailure

// Set on threads made by thread_create. Their sleeps are real but short: a polling worker
// must not spin, must not make the tests slow, and must not move the clock the test reads.
static thread_local bool headless_on_program_thread;

bool headless_take_failure(HeadlessFailure failure) {
    u32 bit = 1u << (u32)failure;
    u32 before = __atomic_fetch_and(&headless_failures, ~bit, __ATOMIC_SEQ_CST);
    return (before & bit) != 0;
}

Str headless_copy(Str text) {
    if (text.length <= 0) return Str{};
    u8* data = (u8*)malloc((size_t)text.length);
    if (!data) abort();
    memcpy(data, text.data, (size_t)text.length);
    return str_make(data, text.length);
}

void headless_fail_next(HeadlessFailure failure) {
    __atomic_fetch_or(&headless_failures, 1u << (u32)failure, __ATOMIC_SEQ_CST);
}

// What the test chose for the state folder (none: nothing is kept between runs) and the
// clock's text.
static char headless_state_folder[4096];
static i64 headless_state_folder_length;
static char headless_time[64];
static i64 headless_time_length;

static void text_keep(char* storage, i64 capacity, i64* length, Str text) {
    *length = text.length < capacity ? text.length : 0;
    if (*length > 0) memcpy(storage, text.data, (size_t)*length);
}

void headless_set_state_folder(Str folder) {
    text_keep(headless_state_folder, sizeof(headless_state_folder), &headless_state_folder_length,
              folder);
}

void headless_set_time_text(Str text) {
    text_keep(headless_time, sizeof(headless_time), &headless_time_length, text);
}

Str system_state_folder() { return Str{(u8*)headless_state_folder, headless_state_folder_length}; }
Str system_time_text() { return Str{(u8*)headless_time, headless_time_length}; }

void headless_reset() {
    headless_set_state_folder(Str{});
    headless_set_time_text(STR("2000-01-01 00:00:00"));
    __atomic_store_n(&headless_ticks, 0, __ATOMIC_SEQ_CST);
    __atomic_store_n(&headless_slept_ms, 0, __ATOMIC_SEQ_CST);
    __atomic_store_n(&headless_failures, 0, __ATOMIC_SEQ_CST);
    headless_reset_display_input();
    headless_reset_audio();
    headless_reset_clipboard();
    headless_reset_graphics();
    platform_calls_clear();
}

void headless_mark_thread(bool marked) { platform_thread_mark(marked); }
bool headless_thread_is_marked() { return platform_thread_marked(); }
i64 headless_marked_calls(PlatformCall call) { return platform_calls(call); }
void headless_marked_calls_clear() { platform_calls_clear(); }
i64 headless_marked_call_log(PlatformCall* calls, i64 capacity) {
    return platform_call_log(calls, capacity);
}

// ---------------------------------------------------------------------------
// System and clock
// ---------------------------------------------------------------------------
// Nothing to bring up: every part works from the start and headless_reset restarts it.
bool system_init(u32 flags) {
    (void)flags;
    return true;
}

void system_release() {}

u64 system_performance_counter() { return __atomic_load_n(&headless_ticks, __ATOMIC_SEQ_CST); }

u64 system_performance_frequency() { return 1000000; }

void system_sleep(i64 milliseconds) {
    platform_call_note(PLATFORM_CALL_SLEEP);
    if (milliseconds <= 0) return;
    if (headless_on_program_thread) {
        timespec pause = {0, 1000000};
        nanosleep(&pause, nullptr);
        return;
    }
    __atomic_fetch_add(&headless_ticks, (u64)milliseconds * 1000, __ATOMIC_SEQ_CST);
    __atomic_fetch_add(&headless_slept_ms, (u64)milliseconds, __ATOMIC_SEQ_CST);
    // A loop that waits for a worker by sleeping must still let the worker run.
    sched_yield();
}

void headless_clock_advance(u64 ticks) {
    __atomic_fetch_add(&headless_ticks, ticks, __ATOMIC_SEQ_CST);
}

u64 headless_sleep_total_ms() { return __atomic_load_n(&headless_slept_ms, __ATOMIC_SEQ_CST); }

// ---------------------------------------------------------------------------
// Threads and mutexes
// ---------------------------------------------------------------------------
struct PlatformThread {
    pthread_t handle;
    ThreadFunction function;
    void* argument;
    i32 result;
};

struct PlatformMutex {
    pthread_mutex_t handle;
};

static void* headless_thread_start(void* record) {
    PlatformThread* thread = (PlatformThread*)record;
    headless_on_program_thread = true;
    thread->result = thread->function(thread->argument);
    return nullptr;
}

Thread thread_create(ThreadFunction function, void* argument) {
    platform_call_note(PLATFORM_CALL_THREAD_CREATE);
    if (headless_take_failure(HEADLESS_FAIL_THREAD_CREATE) || !function) return nullptr;
    PlatformThread* thread = (PlatformThread*)malloc(sizeof(PlatformThread));
    if (!thread) return nullptr;
    thread->function = function;
    thread->argument = argument;
    thread->result = 0;
    if (pthread_create(&thread->handle, nullptr, headless_thread_start, thread) != 0) {
        free(thread);
        return nullptr;
    }
    return thread;
}

i32 thread_wait(Thread thread, i64 unused) {
    platform_call_note(PLATFORM_CALL_THREAD_WAIT);
    (void)unused;
    if (!thread) return 0;
    pthread_join(thread->handle, nullptr);
    i32 result = thread->result;
    free(thread);
    return result;
}

Mutex mutex_create() {
    platform_call_note(PLATFORM_CALL_MUTEX_CREATE);
    if (headless_take_failure(HEADLESS_FAIL_MUTEX_CREATE)) return nullptr;
    PlatformMutex* mutex = (PlatformMutex*)malloc(sizeof(PlatformMutex));
    if (!mutex) return nullptr;
    if (pthread_mutex_init(&mutex->handle, nullptr) != 0) {
        free(mutex);
        return nullptr;
    }
    return mutex;
}

// A null mutex is ignored, as the real back end does, so a failed start-up can still shut down.
void mutex_lock(Mutex mutex) {
    platform_call_note(PLATFORM_CALL_MUTEX_LOCK);
    if (mutex) pthread_mutex_lock(&mutex->handle);
}

void mutex_unlock(Mutex mutex) {
    platform_call_note(PLATFORM_CALL_MUTEX_UNLOCK);
    if (mutex) pthread_mutex_unlock(&mutex->handle);
}

void mutex_destroy(Mutex mutex) {
    platform_call_note(PLATFORM_CALL_MUTEX_DESTROY);
    if (!mutex) return;
    pthread_mutex_destroy(&mutex->handle);
    free(mutex);
}
