// What the headless back end adds to the shared platform code and the other headless tests
// take on trust: the pretend window, the clock only the test moves, injected failures, the
// audio pump and its lock, the clipboard and the draw records.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include "platform/headless.h"

namespace {

class Headless : public ::testing::Test {
protected:
    void SetUp() override { headless_reset(); }
    void TearDown() override { headless_reset(); }
};
// The tests with threads of their own, by the names the ThreadSanitizer run selects.
using HeadlessThreads = Headless;
using HeadlessAudio = Headless;

TEST_F(Headless, TheWindowHasTheTestsSizeAndReportsCloseAndResizeForOnePoll) {
    headless_set_display(800, 600, 0);
    headless_fail_next(HEADLESS_FAIL_DISPLAY_OPEN);
    EXPECT_FALSE(display_open(1024, 768, STR("x"), 0, 1));
    EXPECT_GT(system_last_error().length, 0);  // the program can say why
    ASSERT_TRUE(display_open(1024, 768, STR("sorvane"), DISPLAY_RESIZABLE, 1));
    i32 width = 0, height = 0, rate = 0;
    display_get_info(&width, &height, &rate);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);

    headless_request_close();
    headless_resize(640, 480);
    headless_resize(1280, 720);
    EXPECT_FALSE(display_is_closed());  // queued for the next poll
    EXPECT_FALSE(display_is_resized(&width, &height));
    input_poll();
    EXPECT_TRUE(display_is_closed());
    EXPECT_TRUE(display_is_resized(&width, &height));
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_FALSE(display_is_resized(&width, &height));  // reported once
    input_poll();
    EXPECT_FALSE(display_is_closed());
    // A change that no one asked about in its poll is still reported once, later.
    headless_resize(300, 200);
    input_poll();
    input_poll();
    EXPECT_TRUE(display_is_resized(&width, &height));
    EXPECT_EQ(width, 300);
}

i32 sleep_three_times(void* argument) {
    for (i32 i = 0; i < 3; i += 1) system_sleep(30);
    return *(i32*)argument;
}

TEST_F(Headless, TheClockMovesOnlyByAdvanceAndTheMainThreadsSleeps) {
    headless_clock_advance(250);
    system_sleep(16);
    system_sleep(-5);
    EXPECT_EQ(system_performance_counter(), 250u + 16000u);
    EXPECT_EQ(headless_sleep_total_ms(), 16u);
    i32 value = 7;
    Thread thread = thread_create(sleep_three_times, &value);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread_wait(thread, 0), 7);
    EXPECT_EQ(system_performance_counter(), 250u + 16000u);
    headless_reset();
    EXPECT_EQ(system_performance_counter(), 0u);
}

struct Counter {
    Mutex mutex;
    i64 value;    // under mutex
    i32 started;  // atomic
};

// Both threads count at once, and one that gave up its processor inside the lock would
// lose the other's updates were the lock not held.
i32 count_up(void* argument) {
    Counter* counter = (Counter*)argument;
    __atomic_fetch_add(&counter->started, 1, __ATOMIC_SEQ_CST);
    while (__atomic_load_n(&counter->started, __ATOMIC_SEQ_CST) < 2) sched_yield();
    for (i32 i = 0; i < 20000; i += 1) {
        mutex_lock(counter->mutex);
        i64 value = counter->value;
        if (i % 16 == 0) sched_yield();
        counter->value = value + 1;
        mutex_unlock(counter->mutex);
    }
    return 1;
}

TEST_F(HeadlessThreads, UnderOneMutexNoUpdateIsLostAndFailuresHitOnlyTheNextCall) {
    headless_fail_next(HEADLESS_FAIL_THREAD_CREATE);
    headless_fail_next(HEADLESS_FAIL_MUTEX_CREATE);
    EXPECT_EQ(thread_create(count_up, nullptr), nullptr);
    EXPECT_EQ(mutex_create(), nullptr);
    Counter counter = {mutex_create(), 0, 0};
    ASSERT_NE(counter.mutex, nullptr);
    Thread first = thread_create(count_up, &counter);
    Thread second = thread_create(count_up, &counter);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(thread_wait(first, 0) + thread_wait(second, 0), 2);
    EXPECT_EQ(counter.value, 40000);
    mutex_destroy(counter.mutex);
    // What a failed start-up would hand to shutdown is harmless.
    mutex_lock(nullptr);
    mutex_unlock(nullptr);
    mutex_destroy(nullptr);
    EXPECT_EQ(thread_wait(nullptr, 0), 0);
}

struct Listener {
    i64 calls;            // atomic
    i64 overlaps;         // atomic: calls made while the main thread held the lock
    i32 main_holds_lock;  // atomic
};

void listener_callback(void* user_data, f32* output, i64 size_in_bytes) {
    Listener* listener = (Listener*)user_data;
    if (__atomic_load_n(&listener->main_holds_lock, __ATOMIC_SEQ_CST))
        __atomic_fetch_add(&listener->overlaps, 1, __ATOMIC_SEQ_CST);
    for (i64 i = 0; i < size_in_bytes / 4; i += 1) output[i] = 0.25f;
    __atomic_fetch_add(&listener->calls, 1, __ATOMIC_SEQ_CST);
}

void* pump_loop(void*) {
    f32 output[512];
    for (i32 i = 0; i < 3000; i += 1) headless_audio_pump(output, sizeof(output));
    return nullptr;
}

TEST_F(HeadlessAudio, ThePumpCallsBackOnlyWhilePlayingAndNeverInsideTheLock) {
    Listener listener = {};
    f32 output[8];
    headless_fail_next(HEADLESS_FAIL_AUDIO_OPEN);
    EXPECT_FALSE(audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, listener_callback, &listener));
    ASSERT_TRUE(audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, listener_callback, &listener));
    EXPECT_FALSE(headless_audio_pump(output, sizeof(output)));  // a device opens paused
    audio_play();
    EXPECT_TRUE(headless_audio_pump(output, sizeof(output)));
    EXPECT_EQ(output[7], 0.25f);
    audio_pause();
    EXPECT_FALSE(headless_audio_pump(output, sizeof(output)));
    for (f32 sample : output) EXPECT_EQ(sample, 0.0f);  // paused means silence
    EXPECT_EQ(listener.calls, 1);

    audio_play();
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, nullptr, pump_loop, nullptr), 0);
    for (i32 i = 0; i < 3000; i += 1) {
        audio_lock();
        __atomic_store_n(&listener.main_holds_lock, 1, __ATOMIC_SEQ_CST);
        // Hold the lock long enough for a pump that ignored it to slip in; the program
        // pauses and restarts the device while it holds the lock.
        for (i32 k = 0; k < 3; k += 1) sched_yield();
        if (i % 100 == 0) {
            audio_pause();
            audio_play();
        }
        __atomic_store_n(&listener.main_holds_lock, 0, __ATOMIC_SEQ_CST);
        audio_unlock();
    }
    pthread_join(thread, nullptr);
    EXPECT_EQ(listener.overlaps, 0);
    EXPECT_EQ(listener.calls, 3001);
    audio_close();
    EXPECT_FALSE(headless_audio_pump(output, sizeof(output)));
}

TEST_F(Headless, PasteGoesThroughTheProgramsBufferCutAtACharacter) {
    // 'a', then e-acute (2 bytes), the euro sign (3 bytes) and a 4-byte emoji.
    Str text = STR("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5");
    headless_clipboard_put(text);
    EXPECT_EQ(clipboard_get().length, 0);  // no buffer yet
    const i64 expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
    u8 block[16];
    for (i64 size = 1; size < ARRAY_COUNT(expected); size += 1) {
        clipboard_set_buffer(size, block);
        Str pasted = clipboard_get();
        EXPECT_EQ(pasted.data, block);
        EXPECT_TRUE(str_equal(pasted, str_make(text.data, expected[size]))) << size;
    }
    char source[] = "world";
    clipboard_set(str_from_cstring(source));
    source[0] = 'W';  // the clipboard keeps its own copy
    EXPECT_TRUE(str_equal(clipboard_get(), STR("world")));
}

// What a draw record holds: the bound program with its own uniforms, the matrix column-major,
// the state of its moment and copies of the data, which a second draw with everything
// changed must leave alone.
TEST_F(Headless, DrawRecordsKeepCopiesOfTheirDataAndTheBoundProgramsUniforms) {
    headless_set_display(640, 360, 60);
    ASSERT_TRUE(display_open(1024, 768, STR("t"), 0, 1));
    const char* source = "#version 330\nuniform mat4 matrix_model_view_projection;\n"
                         "uniform float gamma;\n";
    u32 programs[2];
    for (u32& program : programs) {
        program = shader_create();
        u8 log[256] = {};
        ASSERT_TRUE(shader_source(program, str_from_cstring(source), log, sizeof(log)));
    }
    u32 gamma_first = shader_get_uniform_location(programs[0], STR("gamma"));
    EXPECT_EQ(shader_get_uniform_location(programs[0], STR("matrix_model")), 0xFFFFFFFFu);
    shader_bind(programs[0]);
    shader_uniform1f(gamma_first, 2.2f);
    shader_bind(programs[1]);
    shader_uniform1f(gamma_first, 5.0f);  // another program's location: dropped
    f32 rows[16] = {};
    rows[1] = 4.0f;  // row 0, column 1 given row-major
    shader_uniform_matrix4fa(shader_get_uniform_location(programs[1],
                                                         STR("matrix_model_view_projection")),
                             1, true, rows);
    u32 texture = texture_create();
    texture_bind(1, texture);

    u32 vertex_buffer = buffer_create(), index_buffer = buffer_create();
    f32 vertices[9] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
    u32 indices[3] = {0, 1, 2};
    auto upload_and_draw = [&] {
        buffer_bind(0, vertex_buffer);
        buffer_data(0, sizeof(vertices), vertices, 3);
        buffer_bind(1, index_buffer);
        buffer_data(1, sizeof(indices), indices, 3);
        draw_elements(4, 2, 0, 3, 0, 1);
    };
    upload_and_draw();
    vertices[0] = 42;
    indices[0] = 2;
    shader_bind(programs[0]);
    pipeline_blend_enable(true);
    upload_and_draw();

    ASSERT_EQ(headless_draw_count(), 2);
    const HeadlessDraw* first = headless_draw(0);
    EXPECT_EQ(first->program, programs[1]);
    EXPECT_EQ(first->texture, texture);
    EXPECT_EQ(first->viewport[2], 640);  // the viewport starts at the window's size
    EXPECT_FALSE(first->blend);
    EXPECT_EQ(first->mvp[4], 4.0f);
    EXPECT_EQ(first->gamma, 0.0f);
    EXPECT_EQ(((const f32*)first->vertex_bytes)[0], 0.0f);
    EXPECT_EQ(first->indices[0], 0u);
    const HeadlessDraw* second = headless_draw(1);
    EXPECT_EQ(second->gamma, 2.2f);
    EXPECT_TRUE(second->blend);
    EXPECT_EQ(((const f32*)second->vertex_bytes)[0], 42.0f);
    EXPECT_EQ(second->indices[0], 2u);
}

}  // namespace
