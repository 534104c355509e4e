// The audio callback's contract, checked on its own thread over 100 000 device buffers of
// 256 stereo frames while the main thread plays, pauses, resumes, stops and auditions and
// the worker renders: inside audio_callback no allocation (counted with the sanitizer
// allocator's hooks), no lock, thread, sleep, file, clipboard or message box call of the
// platform (counted by the headless back end, which marks the pump's thread while the
// callback runs). The time of every callback, by the monotonic clock, is printed beside
// the 5.8 ms that a 256-frame buffer lasts.
#include <stdio.h>

#include <algorithm>
#include <vector>

#include "sound_test_support.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define CONTRACT_SANITIZER_ALLOCATOR 1
#endif
#endif
#ifndef CONTRACT_SANITIZER_ALLOCATOR
#define CONTRACT_SANITIZER_ALLOCATOR 0
#endif

// The sanitizer allocator calls these on the allocating thread for every malloc, calloc,
// realloc, new, free and delete. Weak, so a build without a sanitizer still links.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void*, size_t), void (*free_hook)(const volatile void*))
    __attribute__((weak));

static i64 marked_allocations, marked_frees;  // atomic

static void count_malloc(const volatile void*, size_t) {
    if (headless_thread_is_marked()) __atomic_fetch_add(&marked_allocations, 1, __ATOMIC_RELAXED);
}

static void count_free(const volatile void*) {
    if (headless_thread_is_marked()) __atomic_fetch_add(&marked_frees, 1, __ATOMIC_RELAXED);
}

// Installed once per process: the hooks cannot be taken out again.
static bool allocation_hooks_installed() {
    static bool installed =
        __sanitizer_install_malloc_and_free_hooks &&
        __sanitizer_install_malloc_and_free_hooks(count_malloc, count_free) != 0;
    return installed;
}

using AudioContract = PlaybackTest;

TEST_F(AudioContract, CallbackNeitherAllocatesNorLocksNorTouchesFilesOver100000Buffers) {
    bool counting_allocations = allocation_hooks_installed();
    if (CONTRACT_SANITIZER_ALLOCATOR) ASSERT_TRUE(counting_allocations);
    // Twenty seconds of notes: long enough that most rounds pause and resume instead of
    // rendering again.
    g_piece.settings.end_time = frac(40);
    for (i64 i = 0; i < 40; i += 1) note(frac(i), frac(3, 2), frac(2 + i % 3, 2));
    ASSERT_TRUE(render_worker_start());
    headless_marked_calls_clear();
    __atomic_store_n(&marked_allocations, 0, __ATOMIC_RELAXED);
    __atomic_store_n(&marked_frees, 0, __ATOMIC_RELAXED);

    const i64 wanted = 100000;
    std::vector<u32> times;
    times.reserve(wanted + 1000);
    DeviceThread device;
    device.callback_ns = &times;
    device.start();
    auto played = [&] { return __atomic_load_n(&device.callbacks, __ATOMIC_RELAXED); };
    auto running = [&] { return played() < wanted; };
    // Frames while the device plays, until it has played `count` more buffers.
    auto frames_playing = [&](i64 count) {
        i64 until = played() + count;
        while (running() && played() < until && headless_audio_is_playing()) {
            playback_frame();
            sched_yield();
        }
        playback_frame();
    };
    // Frames until a fade-out has run out and the frame has paused the device.
    auto frames_until_paused = [&] {
        for (i32 i = 0; i < 1000000 && running() && headless_audio_is_playing(); i += 1) {
            playback_frame();
            sched_yield();
        }
    };
    // Every path of the callback: fade-in, steady copy, fade-out to a pause and to a stop,
    // silence past the end of the slot, a slot replaced by an audition, the loop mode.
    const NoteObject* first[] = {g_piece.notes.data};
    i64 rounds = 0;
    while (running()) {
        playback_play_pause();  // renders, or resumes the paused piece with a fade-in
        if (playback_is_waiting()) ASSERT_TRUE(wait_for_render());
        frames_playing(150);
        if (rounds % 8 == 3) {
            playback_stop();  // fades out, then rewinds
        } else if (rounds % 8 == 5) {
            audio_lock();
            g_audio.loop = 1;
            audio_unlock();
            frames_playing(100);
            audio_lock();
            g_audio.loop = 0;
            audio_unlock();
            playback_play_pause();
        } else {
            playback_play_pause();  // pauses after a fade-out
        }
        frames_until_paused();
        if (rounds % 8 == 7) {
            audition_notes(first, 1);  // takes the slot; plays a quarter second to its end
            frames_playing(100);
        }
        rounds += 1;
    }
    device.join();
    audio_lock();
    g_audio.loop = 0;
    audio_unlock();

    EXPECT_GE(device.callbacks, wanted);
    EXPECT_GT(rounds, 1);
    EXPECT_TRUE(device.finite);
    if (counting_allocations) {
        EXPECT_EQ(__atomic_load_n(&marked_allocations, __ATOMIC_RELAXED), 0);
        EXPECT_EQ(__atomic_load_n(&marked_frees, __ATOMIC_RELAXED), 0);
    }
    for (i32 call = 0; call < PLATFORM_CALL_COUNT; call += 1)
        EXPECT_EQ(headless_marked_calls((PlatformCall)call), 0) << "platform call " << call;
    // A figure, not an assertion: a loaded machine may preempt any thread for milliseconds.
    ASSERT_FALSE(times.empty());
    std::sort(times.begin(), times.end());
    printf("audio callback over %zu buffers of 256 frames (a buffer lasts 5805 us): median %.1f us, "
           "99.9%% %.1f us, worst %.1f us\n",
           times.size(), times[times.size() / 2] / 1000.0, times[times.size() * 999 / 1000] / 1000.0,
           times.back() / 1000.0);
}

// The counting itself: a callback that does break the contract is caught, so the zeros
// above mean something.
static void contract_breaker(void*, f32* output, i64 size_in_bytes) {
    audio_lock();
    audio_unlock();
    Mutex mutex = mutex_create();
    mutex_lock(mutex);
    mutex_unlock(mutex);
    mutex_destroy(mutex);
    FileHandle file = file_open(STR("/nonexistent/sorvane"), FILE_READ);
    file_close(file);
    void* block = malloc(16);
    free(block);
    memset(output, 0, (size_t)size_in_bytes);
}

TEST(AudioContractCounting, ACallbackThatLocksAllocatesAndOpensFilesIsCaught) {
    headless_reset();
    bool counting_allocations = allocation_hooks_installed();
    ASSERT_TRUE(audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, contract_breaker, nullptr));
    audio_play();
    __atomic_store_n(&marked_allocations, 0, __ATOMIC_RELAXED);
    f32 out[512];
    EXPECT_TRUE(headless_audio_pump(out, sizeof(out)));
    EXPECT_FALSE(headless_thread_is_marked());  // the mark ends with the callback
    EXPECT_EQ(headless_marked_calls(PLATFORM_CALL_AUDIO_LOCK), 1);
    EXPECT_EQ(headless_marked_calls(PLATFORM_CALL_AUDIO_UNLOCK), 1);
    EXPECT_EQ(headless_marked_calls(PLATFORM_CALL_MUTEX_LOCK), 1);
    EXPECT_EQ(headless_marked_calls(PLATFORM_CALL_MUTEX_CREATE), 1);
    EXPECT_EQ(headless_marked_calls(PLATFORM_CALL_FILE_OPEN), 1);
    EXPECT_EQ(headless_marked_calls(PLATFORM_CALL_FILE_CLOSE), 1);
    if (counting_allocations) EXPECT_GE(__atomic_load_n(&marked_allocations, __ATOMIC_RELAXED), 2);
    // Calls outside the callback are not counted.
    audio_lock();
    audio_unlock();
    EXPECT_EQ(headless_marked_calls(PLATFORM_CALL_AUDIO_LOCK), 1);
    audio_close();
    headless_reset();
}
