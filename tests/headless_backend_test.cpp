// Tests of the headless back end itself: the input, display, clock, thread, audio,
// clipboard and graphics behaviour that every other headless test relies on.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <string.h>
#include <time.h>

#include "platform/headless.h"

namespace {

class HeadlessFixture : public ::testing::Test {
protected:
    void SetUp() override { headless_reset(); }
    void TearDown() override { headless_reset(); }
};

using HeadlessInput = HeadlessFixture;
using HeadlessDisplay = HeadlessFixture;
using HeadlessClock = HeadlessFixture;
using HeadlessThreads = HeadlessFixture;
using HeadlessAudio = HeadlessFixture;
using HeadlessClipboard = HeadlessFixture;
using HeadlessGraphics = HeadlessFixture;

struct KeyAnswer {
    bool pressed, typed, held, released;
};

KeyAnswer key_answer(i32 code) {
    return {input_key_is_pressed(code), input_key_is_typed(code), input_key_is_held(code),
            input_key_is_released(code)};
}

void expect_key(i32 code, bool pressed, bool typed, bool held, bool released) {
    KeyAnswer answer = key_answer(code);
    EXPECT_EQ(answer.pressed, pressed) << "key " << code;
    EXPECT_EQ(answer.typed, typed) << "key " << code;
    EXPECT_EQ(answer.held, held) << "key " << code;
    EXPECT_EQ(answer.released, released) << "key " << code;
}

bool str_is(Str text, const char* expected) {
    return str_equal(text, str_from_cstring(expected));
}

void real_sleep_ms(long milliseconds) {
    timespec pause = {0, milliseconds * 1000000};
    nanosleep(&pause, nullptr);
}

// ---------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------
TEST_F(HeadlessInput, TapIsPressedTypedAndReleasedInOnePollButNeverHeld) {
    headless_key_tap(KEY_LETTER('q'));
    expect_key(KEY_LETTER('q'), false, false, false, false);  // nothing before the poll
    input_poll();
    expect_key(KEY_LETTER('q'), true, true, false, true);
    input_poll();
    expect_key(KEY_LETTER('q'), false, false, false, false);
}

TEST_F(HeadlessInput, DownStaysHeldAcrossPollsUntilUp) {
    headless_key_down(KEY_SHIFT);
    input_poll();
    expect_key(KEY_SHIFT, true, true, true, false);
    input_poll();
    expect_key(KEY_SHIFT, false, false, true, false);
    input_poll();
    expect_key(KEY_SHIFT, false, false, true, false);
    headless_key_up(KEY_SHIFT);
    input_poll();
    expect_key(KEY_SHIFT, false, false, false, true);
    input_poll();
    expect_key(KEY_SHIFT, false, false, false, false);
}

TEST_F(HeadlessInput, RepeatIsTypedButNotPressed) {
    headless_key_down(KEY_LEFT);
    input_poll();
    headless_key_repeat(KEY_LEFT);
    headless_key_repeat(KEY_LEFT);
    input_poll();
    expect_key(KEY_LEFT, false, true, true, false);
    EXPECT_TRUE(input_key_is_typed(KEY_ANY));
    EXPECT_FALSE(input_key_is_pressed(KEY_ANY));
    input_poll();
    expect_key(KEY_LEFT, false, false, true, false);
}

TEST_F(HeadlessInput, AnyKeyIsTypedWhenSomeKeyWentDownOrRepeated) {
    input_poll();
    EXPECT_FALSE(input_key_is_typed(KEY_ANY));
    headless_key_down(KEY_DIGIT(3));
    input_poll();
    EXPECT_TRUE(input_key_is_typed(KEY_ANY));
    EXPECT_TRUE(input_key_is_pressed(KEY_ANY));
    input_poll();  // still held, but nothing went down
    EXPECT_FALSE(input_key_is_typed(KEY_ANY));
    headless_key_up(KEY_DIGIT(3));
    headless_mouse_click(MOUSE_LEFT);
    headless_type_text(STR("x"));
    input_poll();  // neither a key going up, nor a click, nor text alone counts
    EXPECT_FALSE(input_key_is_typed(KEY_ANY));
    headless_key_tap(KEY_F5);
    input_poll();
    EXPECT_TRUE(input_key_is_typed(KEY_ANY));
    EXPECT_FALSE(input_key_is_held(KEY_ANY));  // held only while some key is
    headless_key_down(KEY_SPACE);
    input_poll();
    input_poll();
    EXPECT_TRUE(input_key_is_held(KEY_ANY));
    EXPECT_FALSE(input_key_is_typed(KEY_ANY));
}

TEST_F(HeadlessInput, EventsApplyInTheOrderQueued) {
    headless_key_down(KEY_UP);
    input_poll();
    headless_key_up(KEY_UP);
    headless_key_down(KEY_UP);  // released and pressed again within one poll
    input_poll();
    expect_key(KEY_UP, true, true, true, true);
    headless_key_up(KEY_UP);
    headless_key_up(KEY_UP);  // an up of a key that is not down changes nothing
    input_poll();
    expect_key(KEY_UP, false, false, false, true);
    headless_key_down(KEY_UP);
    input_poll();
    headless_key_down(KEY_UP);  // a second down of a held key arrives as a repeat
    input_poll();
    expect_key(KEY_UP, false, true, true, false);
}

TEST_F(HeadlessInput, EveryPressOfAPollIsListedInOrderWithTheModifiersOfItsMoment) {
    headless_key_tap(KEY_LETTER('l'));
    headless_key_tap(KEY_LETTER('l'));
    headless_key_down(KEY_CONTROL);
    headless_key_tap(KEY_LETTER('j'));
    headless_key_repeat(KEY_CONTROL);
    headless_key_up(KEY_CONTROL);
    headless_key_tap(KEY_COUNT + 3);  // outside the table: not listed
    headless_key_tap(KEY_LETTER('l'));
    input_poll();
    const KeyPress expected[] = {{KEY_LETTER('l'), 0, false},
                                 {KEY_LETTER('l'), 0, false},
                                 {KEY_CONTROL, MODIFIER_CONTROL, false},
                                 {KEY_LETTER('j'), MODIFIER_CONTROL, false},
                                 {KEY_CONTROL, MODIFIER_CONTROL, true},
                                 {KEY_LETTER('l'), 0, false}};
    ASSERT_EQ(input_key_press_count(), 6);
    for (i64 i = 0; i < 6; i += 1) {
        KeyPress press = input_key_press(i);
        EXPECT_EQ(press.code, expected[i].code) << "press " << i;
        EXPECT_EQ(press.modifiers, expected[i].modifiers) << "press " << i;
        EXPECT_EQ(press.repeat, expected[i].repeat) << "press " << i;
    }
    EXPECT_EQ(input_key_press(6).code, 0);
    input_poll();
    EXPECT_EQ(input_key_press_count(), 0);

    // Deferred presses leave this poll and come first at the next, with their text.
    headless_key_tap(KEY_LETTER('f'));
    headless_key_tap(KEY_DIGIT(3));
    headless_type_text(STR("3"));
    input_poll();
    input_key_presses_defer(1);
    EXPECT_EQ(input_key_press_count(), 1);
    EXPECT_FALSE(input_key_is_pressed(KEY_DIGIT(3)));
    EXPECT_EQ(input_text_typed().length, 0);
    headless_key_tap(KEY_RETURN);
    input_poll();
    ASSERT_EQ(input_key_press_count(), 2);
    EXPECT_EQ(input_key_press(0).code, KEY_DIGIT(3));
    EXPECT_EQ(input_key_press(1).code, KEY_RETURN);
    EXPECT_EQ(input_key_press(1).text_offset, 1);
    EXPECT_TRUE(input_key_is_pressed(KEY_DIGIT(3)));
    EXPECT_TRUE(str_is(input_text_typed(), "3"));
}

TEST_F(HeadlessInput, CodesOutsideTheTableAreIgnored) {
    headless_key_tap(KEY_COUNT + 3);
    headless_key_tap(-2);
    headless_mouse_click(40);
    input_poll();
    EXPECT_FALSE(input_key_is_pressed(KEY_COUNT + 3));
    EXPECT_FALSE(input_key_is_pressed(-2));
    EXPECT_FALSE(input_mouse_is_pressed(40));
    EXPECT_FALSE(input_key_is_typed(KEY_ANY));
}

TEST_F(HeadlessInput, ModifiersFollowHeldKeysAndLockBits) {
    headless_key_down(KEY_SHIFT);
    headless_key_down(KEY_CONTROL);
    headless_key_down(KEY_ALT);
    input_poll();
    EXPECT_EQ(input_key_modifiers(), (u32)(MODIFIER_SHIFT | MODIFIER_CONTROL | MODIFIER_ALT));
    headless_set_modifiers(MODIFIER_NUM_LOCK | MODIFIER_CAPS_LOCK);
    EXPECT_EQ(input_key_modifiers() & MODIFIER_NUM_LOCK, 0u);  // applies at the next poll
    headless_key_up(KEY_SHIFT);
    headless_key_up(KEY_ALT);
    input_poll();
    EXPECT_EQ(input_key_modifiers(),
              (u32)(MODIFIER_CONTROL | MODIFIER_NUM_LOCK | MODIFIER_CAPS_LOCK));
    headless_key_up(KEY_CONTROL);
    headless_key_tap(KEY_SHIFT);  // a tap is never held, so it is no modifier
    headless_set_modifiers(0);
    input_poll();
    EXPECT_EQ(input_key_modifiers(), 0u);
}

TEST_F(HeadlessInput, TypedTextAccumulatesWithinAPollAndClearsAtTheNext) {
    headless_type_text(STR("ab"));
    headless_type_text(STR("\xC3\xA7"));
    input_poll();
    EXPECT_TRUE(str_is(input_text_typed(), "ab\xC3\xA7"));
    input_poll();
    EXPECT_EQ(input_text_typed().length, 0);

    input_text_enable(false);
    headless_type_text(STR("lost"));
    input_poll();
    EXPECT_EQ(input_text_typed().length, 0);
    input_text_enable(true);
    headless_type_text(STR("kept"));
    input_poll();
    EXPECT_TRUE(str_is(input_text_typed(), "kept"));
}

TEST_F(HeadlessInput, MouseButtonsAndPositionPersistAcrossPolls) {
    headless_mouse_move(10.5f, 20.0f);
    headless_mouse_down(MOUSE_LEFT);
    input_poll();
    f32 x = 0, y = 0;
    input_mouse_position(&x, &y);
    EXPECT_EQ(x, 10.5f);
    EXPECT_EQ(y, 20.0f);
    EXPECT_TRUE(input_mouse_is_pressed(MOUSE_LEFT));
    EXPECT_TRUE(input_mouse_is_held(MOUSE_LEFT));

    headless_mouse_click(MOUSE_RIGHT);
    input_poll();
    input_mouse_position(&x, &y);
    EXPECT_EQ(x, 10.5f);  // no move queued: the position stays
    EXPECT_FALSE(input_mouse_is_pressed(MOUSE_LEFT));
    EXPECT_TRUE(input_mouse_is_held(MOUSE_LEFT));
    EXPECT_TRUE(input_mouse_is_pressed(MOUSE_RIGHT));
    EXPECT_TRUE(input_mouse_is_released(MOUSE_RIGHT));
    EXPECT_FALSE(input_mouse_is_held(MOUSE_RIGHT));
    EXPECT_FALSE(input_mouse_is_pressed(MOUSE_MIDDLE));

    headless_mouse_move(1.0f, 2.0f);
    headless_mouse_move(3.0f, 4.0f);
    headless_mouse_up(MOUSE_LEFT);
    input_poll();
    input_mouse_position(&x, &y);
    EXPECT_EQ(x, 3.0f);
    EXPECT_EQ(y, 4.0f);
    EXPECT_TRUE(input_mouse_is_released(MOUSE_LEFT));
    EXPECT_FALSE(input_mouse_is_held(MOUSE_LEFT));
    EXPECT_FALSE(input_key_is_pressed(MOUSE_LEFT));  // buttons are not keys
}

TEST_F(HeadlessInput, WheelNotchesSumWithinAPollAndResetAtTheNext) {
    headless_mouse_wheel(2);
    headless_mouse_wheel(-5);
    input_poll();
    EXPECT_EQ(input_mouse_wheel(), -3);
    input_poll();
    EXPECT_EQ(input_mouse_wheel(), 0);
}

// ---------------------------------------------------------------------------
// Display
// ---------------------------------------------------------------------------
TEST_F(HeadlessDisplay, OpensAtTheSizeTheTestSetAndRecordsTheRequest) {
    i32 width = 0, height = 0, rate = 0;
    display_get_info(&width, &height, &rate);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_EQ(rate, 60);

    headless_set_display(800, 600, 0);
    EXPECT_FALSE(headless_display_is_open());
    ASSERT_TRUE(display_open(1024, 768, STR("sorvane"), DISPLAY_RESIZABLE | DISPLAY_WINDOWED, 1));
    EXPECT_TRUE(headless_display_is_open());
    EXPECT_EQ(headless_display_flags(), (u32)(DISPLAY_RESIZABLE | DISPLAY_WINDOWED));
    EXPECT_TRUE(str_is(headless_display_title(), "sorvane"));
    display_get_info(&width, &height, &rate);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    EXPECT_EQ(rate, 0);

    u8 pixels[16 * 8 * 4] = {};
    display_set_icon(16, 8, pixels);
    EXPECT_EQ(headless_icon_width(), 16);
    display_close();
    EXPECT_FALSE(headless_display_is_open());
    EXPECT_TRUE(str_is(headless_display_title(), "sorvane"));  // still there to inspect

    headless_reset();
    EXPECT_EQ(headless_display_title().length, 0);
    EXPECT_EQ(headless_icon_width(), 0);
}

TEST_F(HeadlessDisplay, OpenFailureAffectsOnlyTheNextOpen) {
    headless_fail_next(HEADLESS_FAIL_DISPLAY_OPEN);
    EXPECT_FALSE(display_open(1024, 768, STR("x"), 0, 1));
    EXPECT_FALSE(headless_display_is_open());
    EXPECT_GT(system_last_error().length, 0);  // the program can say why
    EXPECT_TRUE(display_open(1024, 768, STR("x"), 0, 1));
    EXPECT_TRUE(headless_display_is_open());
}

TEST_F(HeadlessDisplay, CloseRequestIsReportedForOnePollOnly) {
    headless_request_close();
    EXPECT_FALSE(display_is_closed());
    input_poll();
    EXPECT_TRUE(display_is_closed());
    EXPECT_TRUE(display_is_closed());  // the answer holds for the whole poll
    input_poll();
    EXPECT_FALSE(display_is_closed());
}

TEST_F(HeadlessDisplay, ResizeIsReportedOnceWithTheLastSize) {
    headless_resize(640, 480);
    headless_resize(1280, 720);
    i32 width = 0, height = 0;
    EXPECT_FALSE(display_is_resized(&width, &height));
    EXPECT_EQ(width, 1024);
    input_poll();
    EXPECT_TRUE(display_is_resized(&width, &height));
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_FALSE(display_is_resized(&width, &height));
    input_poll();
    EXPECT_FALSE(display_is_resized(&width, &height));
    // A change that no one asked about in its poll is still reported once, later.
    headless_resize(300, 200);
    input_poll();
    input_poll();
    EXPECT_TRUE(display_is_resized(&width, &height));
    EXPECT_FALSE(display_is_resized(&width, &height));
    headless_resize(1280, 720);
    input_poll();
    i32 rate = 0;
    display_get_info(&width, &height, &rate);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
}

// ---------------------------------------------------------------------------
// Clock
// ---------------------------------------------------------------------------
TEST_F(HeadlessClock, MovesOnlyByAdvanceAndSleep) {
    EXPECT_EQ(system_performance_frequency(), 1000000u);
    u64 start = system_performance_counter();
    EXPECT_EQ(system_performance_counter(), start);
    headless_clock_advance(250);
    EXPECT_EQ(system_performance_counter(), start + 250);
    system_sleep(16);
    system_sleep(6);
    EXPECT_EQ(system_performance_counter(), start + 250 + 22000);
    EXPECT_EQ(headless_sleep_total_ms(), 22u);
    system_sleep(0);
    system_sleep(-5);
    EXPECT_EQ(system_performance_counter(), start + 250 + 22000);
    EXPECT_EQ(headless_sleep_total_ms(), 22u);
    headless_reset();
    EXPECT_EQ(system_performance_counter(), 0u);
    EXPECT_EQ(headless_sleep_total_ms(), 0u);
}

i32 sleep_three_times(void* argument) {
    for (i32 i = 0; i < 3; i += 1) system_sleep(30);
    return *(i32*)argument;
}

TEST_F(HeadlessClock, SleepsOfProgramThreadsLeaveTheClockAlone) {
    i32 value = 7;
    Thread thread = thread_create(sleep_three_times, &value);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread_wait(thread, 0), 7);
    EXPECT_EQ(system_performance_counter(), 0u);
    EXPECT_EQ(headless_sleep_total_ms(), 0u);
}

// ---------------------------------------------------------------------------
// Threads and mutexes
// ---------------------------------------------------------------------------
struct Counter {
    Mutex mutex;
    i64 value;
};

i32 count_up(void* argument) {
    Counter* counter = (Counter*)argument;
    for (i32 i = 0; i < 200000; i += 1) {
        mutex_lock(counter->mutex);
        counter->value += 1;
        mutex_unlock(counter->mutex);
    }
    return 1;
}

TEST_F(HeadlessThreads, RealThreadsUnderOneMutexLoseNoUpdate) {
    Counter counter = {mutex_create(), 0};
    ASSERT_NE(counter.mutex, nullptr);
    Thread first = thread_create(count_up, &counter);
    Thread second = thread_create(count_up, &counter);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(thread_wait(first, 0) + thread_wait(second, 0), 2);
    EXPECT_EQ(counter.value, 400000);
    mutex_destroy(counter.mutex);
}

i32 return_five(void*) { return 5; }

TEST_F(HeadlessThreads, InjectedFailuresHitOnlyTheNextMatchingCall) {
    headless_fail_next(HEADLESS_FAIL_THREAD_CREATE);
    headless_fail_next(HEADLESS_FAIL_MUTEX_CREATE);
    headless_fail_next(HEADLESS_FAIL_AUDIO_OPEN);
    EXPECT_EQ(thread_create(return_five, nullptr), nullptr);
    Thread thread = thread_create(return_five, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread_wait(thread, 0), 5);
    EXPECT_EQ(mutex_create(), nullptr);
    Mutex mutex = mutex_create();
    EXPECT_NE(mutex, nullptr);
    mutex_destroy(mutex);
    // The audio failure waited for its own call.
    EXPECT_FALSE(audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, [](void*, f32*, i64) {}, nullptr));
    EXPECT_TRUE(audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, [](void*, f32*, i64) {}, nullptr));
    // What a failed start-up would hand to shutdown is harmless.
    mutex_lock(nullptr);
    mutex_unlock(nullptr);
    mutex_destroy(nullptr);
    EXPECT_EQ(thread_wait(nullptr, 0), 0);
}

TEST_F(HeadlessThreads, ResetClearsPendingFailures) {
    headless_fail_next(HEADLESS_FAIL_MUTEX_CREATE);
    headless_reset();
    Mutex mutex = mutex_create();
    EXPECT_NE(mutex, nullptr);
    mutex_destroy(mutex);
}

// ---------------------------------------------------------------------------
// Audio
// ---------------------------------------------------------------------------
struct Listener {
    i64 calls;               // atomic
    i64 overlaps;            // atomic: calls made while the main thread held the lock
    i32 main_holds_lock;     // atomic
    i64 last_size;
    f32 value;
};

void listener_callback(void* user_data, f32* output, i64 size_in_bytes) {
    Listener* listener = (Listener*)user_data;
    if (__atomic_load_n(&listener->main_holds_lock, __ATOMIC_SEQ_CST))
        __atomic_fetch_add(&listener->overlaps, 1, __ATOMIC_SEQ_CST);
    listener->last_size = size_in_bytes;
    for (i64 i = 0; i < size_in_bytes / 4; i += 1) output[i] = listener->value;
    __atomic_fetch_add(&listener->calls, 1, __ATOMIC_SEQ_CST);
}

TEST_F(HeadlessAudio, PumpCallsBackOnlyWhileOpenAndPlaying) {
    Listener listener = {};
    listener.value = 0.25f;
    f32 output[8];
    for (f32& sample : output) sample = 9.0f;
    EXPECT_FALSE(headless_audio_pump(output, sizeof(output)));
    EXPECT_FALSE(headless_audio_is_open());

    ASSERT_TRUE(audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, listener_callback, &listener));
    EXPECT_TRUE(headless_audio_is_open());
    EXPECT_EQ(headless_audio_channels(), 2);
    EXPECT_FALSE(headless_audio_is_playing());  // a device opens paused
    EXPECT_FALSE(headless_audio_pump(output, sizeof(output)));
    EXPECT_EQ(listener.calls, 0);

    audio_play();
    EXPECT_TRUE(headless_audio_pump(output, sizeof(output)));
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(listener.last_size, (i64)sizeof(output));
    EXPECT_EQ(output[7], 0.25f);

    audio_pause();
    EXPECT_FALSE(headless_audio_pump(output, sizeof(output)));
    EXPECT_EQ(listener.calls, 1);
    for (f32 sample : output) EXPECT_EQ(sample, 0.0f);  // paused means silence

    audio_play();
    audio_close();
    EXPECT_FALSE(headless_audio_is_open());
    EXPECT_FALSE(headless_audio_pump(output, sizeof(output)));
    EXPECT_EQ(listener.calls, 1);
}

struct PumpThread {
    Listener* listener;
    i32 pumps;
    i32 started;  // atomic
};

void* pump_loop(void* argument) {
    PumpThread* pump = (PumpThread*)argument;
    f32 output[512];
    for (i32 i = 0; i < pump->pumps; i += 1) {
        __atomic_store_n(&pump->started, 1, __ATOMIC_SEQ_CST);
        headless_audio_pump(output, sizeof(output));
    }
    return nullptr;
}

TEST_F(HeadlessAudio, AudioLockKeepsThePumpThreadOut) {
    Listener listener = {};
    ASSERT_TRUE(audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, listener_callback, &listener));
    audio_play();
    audio_lock();
    PumpThread pump = {&listener, 1, 0};
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, nullptr, pump_loop, &pump), 0);
    while (!__atomic_load_n(&pump.started, __ATOMIC_SEQ_CST)) sched_yield();
    real_sleep_ms(20);  // time enough for a pump that ignored the lock to run
    EXPECT_EQ(__atomic_load_n(&listener.calls, __ATOMIC_SEQ_CST), 0);
    audio_unlock();
    pthread_join(thread, nullptr);
    EXPECT_EQ(listener.calls, 1);
}

TEST_F(HeadlessAudio, PumpRacingTheMainThreadsLockNeverOverlapsAndNeverDeadlocks) {
    Listener listener = {};
    ASSERT_TRUE(audio_open(SAMPLE_FORMAT_F32, 2, 44100, 256, listener_callback, &listener));
    audio_play();
    PumpThread pump = {&listener, 3000, 0};
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, nullptr, pump_loop, &pump), 0);
    for (i32 i = 0; i < 3000; i += 1) {
        audio_lock();
        __atomic_store_n(&listener.main_holds_lock, 1, __ATOMIC_SEQ_CST);
        // Hold the lock long enough for a pump that ignored it to slip in.
        for (i32 k = 0; k < 3; k += 1) sched_yield();
        // The program pauses and restarts the device while it holds the lock.
        if (i % 100 == 0) {
            audio_pause();
            audio_play();
        }
        __atomic_store_n(&listener.main_holds_lock, 0, __ATOMIC_SEQ_CST);
        audio_unlock();
    }
    pthread_join(thread, nullptr);
    EXPECT_EQ(listener.overlaps, 0);
    EXPECT_EQ(listener.calls, 3000);
}

// ---------------------------------------------------------------------------
// Clipboard and message boxes
// ---------------------------------------------------------------------------
TEST_F(HeadlessClipboard, PasteGoesThroughTheProgramsBuffer) {
    headless_clipboard_put(STR("hello"));
    EXPECT_EQ(clipboard_get().length, 0);  // no buffer yet
    u8 block[64];
    clipboard_set_buffer(sizeof(block), block);
    Str pasted = clipboard_get();
    EXPECT_TRUE(str_is(pasted, "hello"));
    EXPECT_EQ(pasted.data, block);

    char source[] = "world";
    clipboard_set(str_from_cstring(source));
    source[0] = 'W';  // the clipboard keeps its own copy
    EXPECT_TRUE(str_is(headless_clipboard_text(), "world"));
    EXPECT_TRUE(str_is(clipboard_get(), "world"));
}

TEST_F(HeadlessClipboard, LongTextIsCutAtACharacterBoundary) {
    // 'a', then e-acute (2 bytes), the euro sign (3 bytes) and a 4-byte emoji.
    Str text = STR("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5");
    headless_clipboard_put(text);
    i64 expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
    u8 block[16];
    for (i64 size = 1; size < ARRAY_COUNT(expected); size += 1) {
        clipboard_set_buffer(size, block);
        Str pasted = clipboard_get();
        EXPECT_EQ(pasted.length, expected[size]) << "buffer of " << size;
        EXPECT_TRUE(str_equal(pasted, str_make(text.data, expected[size])));
    }
}

TEST_F(HeadlessClipboard, MessageBoxesAreRecordedAsCopiesInOrder) {
    char title[] = "error";
    char text[] = "invalid file";
    show_simple_message_box(0, str_from_cstring(title), str_from_cstring(text));
    title[0] = 'X';
    text[0] = 'X';
    show_simple_message_box(0, STR("second"), STR(""));
    ASSERT_EQ(headless_message_count(), 2);
    EXPECT_TRUE(str_is(headless_message_title(0), "error"));
    EXPECT_TRUE(str_is(headless_message_text(0), "invalid file"));
    EXPECT_TRUE(str_is(headless_message_title(1), "second"));
    EXPECT_EQ(headless_message_text(1).length, 0);
    EXPECT_EQ(headless_message_title(2).length, 0);
    headless_reset();
    EXPECT_EQ(headless_message_count(), 0);
}

// ---------------------------------------------------------------------------
// Graphics
// ---------------------------------------------------------------------------
const char* const SHADER_SOURCE =
    "#version 330 core\n"
    "uniform mat4 matrix_model_view_projection;\n"
    "uniform vec4 diffuse;\n"
    "uniform sampler2D diffuse_map;\n"
    "uniform float gamma;\n";

u32 make_program(const char* source) {
    u32 program = shader_create();
    u8 log[256] = {};
    EXPECT_TRUE(shader_source(program, str_from_cstring(source), log, sizeof(log))) << log;
    return program;
}

// The mesh set-up the renderer uses: one vertex array reading one vertex buffer, with an
// index buffer bound to it.
struct Mesh {
    u32 vertex_array, vertices, indices;
};

Mesh make_mesh() {
    Mesh mesh = {vertex_array_create(), buffer_create(), buffer_create()};
    vertex_array_bind(mesh.vertex_array);
    buffer_bind(0, mesh.vertices);
    attribute_enable(0, true);
    attribute_format(0, 3, 6, false, 12, 0);
    buffer_bind(1, mesh.indices);
    vertex_array_unbind();
    return mesh;
}

void upload_and_draw(Mesh mesh, const f32* vertices, i64 vertex_count, const u32* indices,
                     i64 index_count) {
    vertex_array_bind(mesh.vertex_array);
    buffer_bind(0, mesh.vertices);
    buffer_data(0, vertex_count * 12, vertices, 3);
    buffer_bind(1, mesh.indices);
    buffer_data(1, index_count * 4, indices, 3);
    draw_elements(4, 2, 0, index_count, 0, 1);
    vertex_array_unbind();
}

TEST_F(HeadlessGraphics, DrawRecordsKeepCopiesOfTheirDataAndState) {
    ASSERT_TRUE(display_open(1024, 768, STR("t"), 0, 1));
    u32 program = make_program(SHADER_SOURCE);
    shader_bind(program);
    f32 mvp[16];
    for (i32 i = 0; i < 16; i += 1) mvp[i] = (f32)i;
    u32 mvp_location = shader_get_uniform_location(program, STR("matrix_model_view_projection"));
    shader_uniform_matrix4fa(mvp_location, 1, false, mvp);
    shader_uniform4f(shader_get_uniform_location(program, STR("diffuse")), 1, 0.5f, 0.25f, 1);
    shader_uniform1f(shader_get_uniform_location(program, STR("gamma")), 2.2f);
    u32 texture = texture_create();
    texture_unit(0);
    texture_bind(1, texture);
    u32 frame_buffer = frame_buffer_create();
    frame_buffer_bind(0, frame_buffer);
    pipeline_viewport(1, 2, 300, 400);
    pipeline_clear_color(0.1f, 0.2f, 0.3f, 1.0f);
    pipeline_clear(5);
    pipeline_blend_enable(true);
    pipeline_scissor_enable(true);
    pipeline_scissor_rect(5, 6, 70, 80);

    Mesh mesh = make_mesh();
    f32 vertices[9] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
    u32 indices[3] = {0, 1, 2};
    upload_and_draw(mesh, vertices, 3, indices, 3);
    // Everything changes for a second draw: the first record must not.
    vertices[0] = 42;
    indices[0] = 2;
    upload_and_draw(mesh, vertices, 2, indices, 2);
    mvp[0] = 99;  // the caller's array is not the uniform's value

    ASSERT_EQ(headless_draw_count(), 2);
    const HeadlessDraw* first = headless_draw(0);
    EXPECT_EQ(first->program, program);
    EXPECT_EQ(first->texture, texture);
    EXPECT_EQ(first->frame_buffer, frame_buffer);
    EXPECT_EQ(first->viewport[0], 1);
    EXPECT_EQ(first->viewport[3], 400);
    EXPECT_TRUE(first->blend);
    EXPECT_FALSE(first->depth);
    EXPECT_TRUE(first->scissor);
    EXPECT_EQ(first->scissor_rect[2], 70);
    EXPECT_EQ(first->clear_color[2], 0.3f);
    EXPECT_EQ(first->mvp[0], 0.0f);
    EXPECT_EQ(first->mvp[15], 15.0f);
    EXPECT_EQ(first->diffuse[1], 0.5f);
    EXPECT_EQ(first->gamma, 2.2f);
    ASSERT_EQ(first->index_count, 3);
    ASSERT_EQ(first->vertex_byte_count, 36);
    const f32* first_vertices = (const f32*)first->vertex_bytes;
    EXPECT_EQ(first_vertices[0], 0.0f);
    EXPECT_EQ(first_vertices[6], 1.0f);
    EXPECT_EQ(first->indices[0], 0u);
    EXPECT_EQ(first->indices[2], 2u);

    const HeadlessDraw* second = headless_draw(1);
    EXPECT_EQ(second->vertex_byte_count, 24);
    EXPECT_EQ(((const f32*)second->vertex_bytes)[0], 42.0f);
    EXPECT_EQ(second->index_count, 2);
    EXPECT_EQ(second->indices[0], 2u);
    EXPECT_EQ(headless_clear_count(), 1);
    EXPECT_EQ(headless_draw(2), nullptr);

    headless_draws_clear();
    EXPECT_EQ(headless_draw_count(), 0);
    EXPECT_EQ(headless_clear_count(), 1);  // clears are counted apart from draws
}

TEST_F(HeadlessGraphics, ViewportStartsAtTheWindowSizeAndDefaultsAreOff) {
    headless_set_display(640, 360, 60);
    ASSERT_TRUE(display_open(1024, 768, STR("t"), 0, 1));
    Mesh mesh = make_mesh();
    f32 vertices[3] = {};
    u32 index = 0;
    upload_and_draw(mesh, vertices, 1, &index, 1);
    const HeadlessDraw* draw = headless_draw(0);
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->viewport[2], 640);
    EXPECT_EQ(draw->viewport[3], 360);
    EXPECT_EQ(draw->program, 0u);
    EXPECT_EQ(draw->texture, 0u);
    EXPECT_EQ(draw->frame_buffer, 0u);
    EXPECT_FALSE(draw->blend || draw->depth || draw->scissor);
}

TEST_F(HeadlessGraphics, IndicesComeFromTheBoundVertexArray) {
    Mesh one = make_mesh();
    Mesh two = make_mesh();
    f32 vertices[6] = {};
    u32 indices_one[1] = {1};
    u32 indices_two[1] = {0};
    upload_and_draw(one, vertices, 2, indices_one, 1);
    upload_and_draw(two, vertices, 2, indices_two, 1);
    // Drawing with the first array again, without rebinding its index buffer.
    vertex_array_bind(one.vertex_array);
    draw_elements(4, 2, 0, 1, 0, 1);
    ASSERT_EQ(headless_draw_count(), 3);
    EXPECT_EQ(headless_draw(2)->indices[0], 1u);
    // Asking for more indices than the buffer holds gives zeros, not stray memory.
    draw_elements(4, 2, 0, 3, 0, 1);
    EXPECT_EQ(headless_draw(3)->indices[0], 1u);
    EXPECT_EQ(headless_draw(3)->indices[2], 0u);
}

TEST_F(HeadlessGraphics, UniformLocationsAreDistinctAndNameTheirUniform) {
    u32 first = make_program(SHADER_SOURCE);
    u32 second = make_program("#version 330\nuniform vec4 uv_rect;\nuniform float gamma;\n");
    u32 mvp = shader_get_uniform_location(first, STR("matrix_model_view_projection"));
    u32 diffuse = shader_get_uniform_location(first, STR("diffuse"));
    u32 map = shader_get_uniform_location(first, STR("diffuse_map"));
    u32 gamma_first = shader_get_uniform_location(first, STR("gamma"));
    u32 gamma_second = shader_get_uniform_location(second, STR("gamma"));
    u32 all[] = {mvp, diffuse, map, gamma_first, gamma_second};
    for (i64 i = 0; i < ARRAY_COUNT(all); i += 1) {
        EXPECT_NE(all[i], 0xFFFFFFFFu);
        for (i64 j = 0; j < i; j += 1) EXPECT_NE(all[i], all[j]);
    }
    EXPECT_EQ(shader_get_uniform_location(first, STR("diffuse")), diffuse);  // stable
    EXPECT_TRUE(str_is(headless_uniform_name(map), "diffuse_map"));
    EXPECT_TRUE(str_is(headless_uniform_name(gamma_second), "gamma"));
    EXPECT_EQ(headless_uniform_name(0xFFFFFFFF).length, 0);

    // Only whole names in the program's own source count.
    EXPECT_EQ(shader_get_uniform_location(second, STR("diffuse")), 0xFFFFFFFFu);
    EXPECT_EQ(shader_get_uniform_location(second, STR("uv")), 0xFFFFFFFFu);
    EXPECT_EQ(shader_get_uniform_location(first, STR("matrix_model")), 0xFFFFFFFFu);
    EXPECT_EQ(shader_get_uniform_location(first, STR("")), 0xFFFFFFFFu);
    EXPECT_EQ(shader_get_uniform_location(12345, STR("gamma")), 0xFFFFFFFFu);
}

TEST_F(HeadlessGraphics, UniformValuesBelongToTheBoundProgram) {
    u32 first = make_program(SHADER_SOURCE);
    u32 second = make_program(SHADER_SOURCE);
    u32 gamma_first = shader_get_uniform_location(first, STR("gamma"));
    u32 gamma_second = shader_get_uniform_location(second, STR("gamma"));
    u32 mvp_second = shader_get_uniform_location(second, STR("matrix_model_view_projection"));
    shader_bind(first);
    shader_uniform1f(gamma_first, 2.2f);
    shader_bind(second);
    shader_uniform1f(gamma_second, 1.0f);
    shader_uniform1f(gamma_first, 5.0f);     // another program's location: dropped
    shader_uniform1f(0xFFFFFFFF, 7.0f);      // absent uniform: ignored
    shader_uniform4f(gamma_second, 3, 3, 3, 3);  // wrong type for the uniform: dropped
    f32 rows[16] = {};
    rows[1] = 4.0f;  // row 0, column 1 given row-major
    shader_uniform_matrix4fa(mvp_second, 1, true, rows);

    Mesh mesh = make_mesh();
    f32 vertices[3] = {};
    u32 index = 0;
    upload_and_draw(mesh, vertices, 1, &index, 1);
    shader_bind(first);
    upload_and_draw(mesh, vertices, 1, &index, 1);
    ASSERT_EQ(headless_draw_count(), 2);
    EXPECT_EQ(headless_draw(0)->gamma, 1.0f);
    EXPECT_EQ(headless_draw(0)->diffuse[0], 0.0f);
    EXPECT_EQ(headless_draw(0)->mvp[4], 4.0f);  // column-major in the record
    EXPECT_EQ(headless_draw(0)->mvp[1], 0.0f);
    EXPECT_EQ(headless_draw(1)->gamma, 2.2f);
    EXPECT_EQ(headless_draw(1)->mvp[4], 0.0f);
}

TEST_F(HeadlessGraphics, ShaderWithoutAVersionLineFailsWithATruncatedLog) {
    u32 program = shader_create();
    u8 log[8];
    memset(log, 'z', sizeof(log));
    EXPECT_FALSE(shader_source(program, STR("uniform float gamma;\n"), log, sizeof(log)));
    EXPECT_GT(strlen((const char*)log), 0u);
    EXPECT_LT(strlen((const char*)log), sizeof(log));
    EXPECT_EQ(shader_get_uniform_location(program, STR("gamma")), 0xFFFFFFFFu);
    EXPECT_TRUE(shader_source(program, STR("#version 330\nuniform float gamma;\n"), log,
                              sizeof(log)));
    EXPECT_NE(shader_get_uniform_location(program, STR("gamma")), 0xFFFFFFFFu);
}

TEST_F(HeadlessGraphics, LiveCountsFollowCreateAndDestroy) {
    u32 textures[3] = {texture_create(), texture_create(), texture_create()};
    u32 frame_buffers[2] = {frame_buffer_create(), frame_buffer_create()};
    u32 render_buffer = render_buffer_create();
    u32 buffers[2] = {buffer_create(), buffer_create()};
    EXPECT_NE(textures[0], 0u);
    EXPECT_NE(textures[0], textures[1]);
    EXPECT_NE(textures[1], textures[2]);
    EXPECT_NE(frame_buffers[0], frame_buffers[1]);
    EXPECT_EQ(headless_live_textures(), 3);
    EXPECT_EQ(headless_live_frame_buffers(), 2);
    EXPECT_EQ(headless_live_render_buffers(), 1);
    EXPECT_EQ(headless_live_buffers(), 2);

    texture_destroy(textures[1]);
    texture_destroy(textures[1]);  // twice, and unknown ids, change nothing more
    texture_destroy(0);
    texture_destroy(999);
    frame_buffer_destroy(frame_buffers[0]);
    render_buffer_destroy(render_buffer);
    buffer_destroy(buffers[0]);
    EXPECT_EQ(headless_live_textures(), 2);
    EXPECT_EQ(headless_live_frame_buffers(), 1);
    EXPECT_EQ(headless_live_render_buffers(), 0);
    EXPECT_EQ(headless_live_buffers(), 1);
    EXPECT_NE(texture_create(), textures[1]);  // ids are not reused

    headless_reset();
    EXPECT_EQ(headless_live_textures(), 0);
    EXPECT_EQ(headless_live_buffers(), 0);
}

TEST_F(HeadlessGraphics, TextureSizeAndMipmapsAreRecordedForTheBoundTexture) {
    u32 plain = texture_create();
    u32 mipmapped = texture_create();
    texture_bind(1, plain);
    texture_image_2d(1, 0, 13, 32, 16, 8, 0, nullptr);
    texture_image_2d(1, 1, 13, 16, 8, 8, 0, nullptr);  // a smaller level leaves the size
    texture_bind(1, mipmapped);
    texture_image_2d(1, 0, 13, 64, 64, 8, 0, nullptr);
    texture_generate_mipmap(1);
    texture_unbind(1);
    texture_generate_mipmap(1);  // nothing bound: no texture gains mipmaps

    i32 width = -1, height = -1;
    bool has_mipmaps = true;
    headless_texture_info(plain, &width, &height, &has_mipmaps);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 16);
    EXPECT_FALSE(has_mipmaps);
    headless_texture_info(mipmapped, &width, &height, &has_mipmaps);
    EXPECT_EQ(width, 64);
    EXPECT_TRUE(has_mipmaps);
    headless_texture_info(4242, &width, &height, &has_mipmaps);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_FALSE(has_mipmaps);

    // A texture bound on another unit is not the draw's unit-0 texture, and a destroyed
    // texture is unbound.
    texture_unit(1);
    texture_bind(1, plain);
    texture_unit(0);
    texture_bind(1, mipmapped);
    texture_destroy(mipmapped);
    Mesh mesh = make_mesh();
    f32 vertices[3] = {};
    u32 index = 0;
    upload_and_draw(mesh, vertices, 1, &index, 1);
    EXPECT_EQ(headless_draw(0)->texture, 0u);
}

TEST_F(HeadlessGraphics, PresentsAndFrameBufferStatusAreCounted) {
    EXPECT_EQ(headless_present_count(), 0);
    pipeline_present();
    pipeline_present();
    EXPECT_EQ(headless_present_count(), 2);
    u32 frame_buffer = frame_buffer_create();
    frame_buffer_bind(0, frame_buffer);
    EXPECT_EQ(frame_buffer_get_status(0), 0);
    headless_reset();
    EXPECT_EQ(headless_present_count(), 0);
    EXPECT_EQ(headless_clear_count(), 0);
}

}  // namespace
