// 1000 cycles of play, pause, resume, stop, export, loop and audition with the callback
// pumped on a device thread of its own and the render worker running, while the main thread
// edits the piece between and during renders; run under ThreadSanitizer too (`make tsan`).
// Throughout, audio_callback allocates nothing (counted by the sanitizer allocator's hooks)
// and makes no lock, thread, sleep, file, clipboard or message box call of the platform
// (counted by the headless back end, which marks the pump's thread during the callback).
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
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

// The device pumps one 256-frame buffer about every 100 microseconds, far faster than
// real time, so that fades and the ends of renderings come quickly.
struct StressPlayback : PlaybackTest {
    TempFolder folder;
    DeviceThread device;
    i64 next_id = 100000;
    u32 seed = 12345;

    void TearDown() override {
        device.join();
        PlaybackTest::TearDown();
    }
    u32 random(u32 range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % range;
    }
    // One editing step of the kind the editor makes: a note placed, moved, re-pitched or
    // deleted, or the piece's end moved.
    void edit() {
        u32 what = random(5);
        i64 count = g_piece.notes.count;
        if (what == 0 || count < 4) {
            NoteObject* added =
                note(frac(random(16), 4), frac(1 + random(4), 4), frac(2 + random(3), 2));
            if (added) added->header.id = next_id++;
        } else if (what == 1) {
            g_piece.notes[random((u32)count)].header.time = frac(random(16), 4);
        } else if (what == 2) {
            g_piece.notes[random((u32)count)].header.pitch = frac(3 + random(4), 2);
        } else if (what == 3) {
            array_remove(&g_piece.notes, random((u32)count));
        } else {
            g_piece.settings.end_time = frac(2 + random(3), 2);  // one to two beats
        }
        g_piece.modified = 1;
    }
    // Frames, editing all the while, until `done` holds (false after about 60 s).
    template <typename Done>
    bool frames_until(Done done) {
        for (i32 i = 0; i < 60000; i += 1) {
            playback_frame();
            if (done()) return true;
            if (i % 8 == 0) edit();
            timespec pause = {0, 1000000};
            nanosleep(&pause, nullptr);
        }
        return false;
    }
};

TEST_F(StressPlayback, ThousandCyclesOfPlayPauseStopAndExportWhileEditing) {
    bool counting_allocations = allocation_hooks_installed();
    if (CONTRACT_SANITIZER_ALLOCATOR) ASSERT_TRUE(counting_allocations);
    g_piece.settings.end_time = frac(2);  // one second at 120 beats a minute
    g_piece.settings.stereo = 0;
    g_piece.settings.sample_rate = 8000;
    for (i64 i = 0; i < 6; i += 1) note(frac(i, 3), frac(1, 3), frac(2 + i % 3, 2));
    ASSERT_TRUE(render_worker_start());
    headless_marked_calls_clear();
    __atomic_store_n(&marked_allocations, 0, __ATOMIC_RELAXED);
    __atomic_store_n(&marked_frees, 0, __ATOMIC_RELAXED);
    device.start();
    auto callbacks = [&] { return __atomic_load_n(&device.callbacks, __ATOMIC_RELAXED); };

    std::string path = folder / "export.wav";
    for (i32 cycle = 0; cycle < 1000; cycle += 1) {
        SCOPED_TRACE(cycle);
        // Play: the worker renders the piece as it is now; the edits meanwhile wait for the
        // next rendering.
        playback_play_pause();
        ASSERT_TRUE(frames_until([] { return playback_is_playing(); }));
        // Pause: a fade-out, then the device stops with the position kept.
        playback_play_pause();
        ASSERT_TRUE(playback_is_resumable());
        ASSERT_TRUE(frames_until([] { return !headless_audio_is_playing(); }));
        i64 kept = played();
        playback_frame();
        EXPECT_EQ(played(), kept);
        // Resume from there, then stop: a fade-out and a rewind (or, if the short piece
        // ended meanwhile, idle at the start already).
        playback_play_pause();
        edit();
        if (cycle % 8 == 5) {  // the loop mode for a while
            audio_lock();
            g_audio.loop = 1;
            audio_unlock();
            i64 until = callbacks() + 50;
            ASSERT_TRUE(frames_until([&] { return callbacks() >= until || !headless_audio_is_playing(); }));
            audio_lock();
            g_audio.loop = 0;
            audio_unlock();
        }
        playback_stop();
        EXPECT_FALSE(playback_is_playing());
        EXPECT_FALSE(playback_is_resumable());
        ASSERT_TRUE(frames_until([] { return !headless_audio_is_playing(); }));
        playback_frame();
        EXPECT_EQ(played(), 0);
        // Export the piece as it is now; editing goes on while the file is written.
        Str snapshot = scene_encode(&g_piece, POOL_TMP);
        Piece expected;
        piece_init(&expected, POOL_TMP);
        ASSERT_EQ(scene_decode(snapshot, &expected, POOL_TMP), SCENE_OK);
        export_request(to_str(path));
        ASSERT_TRUE(playback_is_waiting());
        ASSERT_TRUE(frames_until([] { return !playback_is_waiting(); }));
        EXPECT_FALSE(playback_is_playing());  // an export never starts playback
        // 16-bit mono at 8000 Hz: the file's data holds the compiled length of the piece
        // as it was when the export was chosen.
        struct stat status;
        ASSERT_EQ(stat(path.c_str(), &status), 0);
        if (cycle % 50 == 0) {
            CompiledPiece compiled;
            compiled_piece_init(&compiled, POOL_TMP);
            compile_piece(&expected, 8000, 1, &compiled);
            EXPECT_EQ((i64)status.st_size, 44 + compiled.compiled_length * 2);
        }
        if (cycle % 8 == 7) {  // auditions take the slot from a playing piece while the device reads it
            playback_play_pause();
            ASSERT_TRUE(frames_until([] { return playback_is_playing(); }));
            const NoteObject* first[] = {g_piece.notes.data};
            for (i32 i = 0; i < 3; i += 1) {
                audition_notes(first, 1);
                playback_frame();
            }
            EXPECT_FALSE(playback_is_playing());
            ASSERT_TRUE(frames_until([] { return !headless_audio_is_playing(); }));
        }
        pool_empty(POOL_TMP);
    }
    device.join();
    EXPECT_GT(device.callbacks, 1000);
    EXPECT_TRUE(device.finite);
    EXPECT_EQ(headless_message_count(), 0);  // no export failed, nothing was refused
    if (counting_allocations) {
        EXPECT_EQ(__atomic_load_n(&marked_allocations, __ATOMIC_RELAXED), 0);
        EXPECT_EQ(__atomic_load_n(&marked_frees, __ATOMIC_RELAXED), 0);
    }
    for (i32 call = 0; call < PLATFORM_CALL_COUNT; call += 1)
        EXPECT_EQ(headless_marked_calls((PlatformCall)call), 0) << "platform call " << call;
    // A figure, not an assertion: a loaded machine may preempt any thread for milliseconds.
    std::vector<u32>& times = device.callback_ns;
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
    const PlatformCall made[] = {PLATFORM_CALL_AUDIO_LOCK,   PLATFORM_CALL_AUDIO_UNLOCK,
                                 PLATFORM_CALL_MUTEX_CREATE, PLATFORM_CALL_MUTEX_LOCK,
                                 PLATFORM_CALL_FILE_OPEN,    PLATFORM_CALL_FILE_CLOSE};
    for (PlatformCall call : made) EXPECT_EQ(headless_marked_calls(call), 1) << "call " << call;
    if (counting_allocations) EXPECT_GE(__atomic_load_n(&marked_allocations, __ATOMIC_RELAXED), 2);
    // Calls outside the callback are not counted.
    audio_lock();
    audio_unlock();
    EXPECT_EQ(headless_marked_calls(PLATFORM_CALL_AUDIO_LOCK), 1);
    audio_close();
    headless_reset();
}

