// The application on the headless back end: command line, start-up with and without the
// parts that can fail, whole frames with the camera keys, resize, and the ways out; every
// drawing object made at start-up is released at shutdown.
#include "frame_support.h"

// Runs start-up with the given arguments on a fresh headless machine.
static bool start(std::initializer_list<const char*> words = {}) {
    headless_reset();
    Str args[16];
    i64 count = 0;
    for (const char* word : words) args[count++] = str_from_cstring(word);
    app_state_reset();
    app_read_command_line(args, count);
    return app_startup();
}

static void frames(i32 count) {
    for (i32 i = 0; i < count; i += 1) app_frame();
}

using AppFrames = InterfaceTest;

TEST(CommandLine, SleepTakesTheNextArgumentAndUnknownOnesAreReportedAndSkipped) {
    const struct {
        Str words[3];
        i64 count, sleep;
        bool measured, fullscreen;
        const char* said;
    } cases[] = {
        {{STR("-sleep"), STR("0")}, 2, 0, false, false, ""},
        {{STR("-s")}, 1, 6, false, false, ""},  // nothing follows: the default stays
        {{STR("-sleep"), STR("soon"), STR("-v")}, 3, 0, true, false, ""},
        {{STR("-x"), STR("-f"), STR("--sleep")}, 3, 6, false, true,
         "unknown argument: -x\nunknown argument: --sleep\n"},
    };
    for (const auto& c : cases) {
        app_state_reset();
        testing::internal::CaptureStdout();
        app_read_command_line(c.words, c.count);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.said);
        EXPECT_EQ(g_app.sleep_amount, c.sleep) << to_string(c.words[0]);
        EXPECT_EQ(g_app.measured_timing, c.measured) << to_string(c.words[0]);
        EXPECT_EQ(g_app.fullscreen, c.fullscreen) << to_string(c.words[0]);
    }
}

TEST(Startup, OpensTheWindowWithTheFlagsOfTheCommandLineAndTheTimeStepOfItsRate) {
    ASSERT_TRUE(start());
    EXPECT_EQ(headless_display_flags(), (u32)(4 + 64 + 16));
    EXPECT_EQ(to_string(headless_display_title()), "sorvane");
    EXPECT_EQ(g_window.width, 1024);
    EXPECT_EQ(g_window.height, 768);
    EXPECT_TRUE(g_app.audio_open);
    EXPECT_TRUE(g_app.worker_running);
    EXPECT_EQ(g_theme.font, font_default());
    app_shutdown();
    EXPECT_FALSE(headless_display_is_open());
    EXPECT_EQ(headless_live_textures() + headless_live_frame_buffers() +
                  headless_live_render_buffers() + headless_live_buffers(), 0);

    ASSERT_TRUE(start({"-v", "-fullscreen"}));
    EXPECT_EQ(headless_display_flags(), (u32)(4 + 32));
    app_shutdown();

    // A refresh rate of zero keeps the default time step.
    for (i32 rate : {0, 120}) {
        headless_reset();
        headless_set_display(800, 600, rate);
        app_state_reset();
        ASSERT_TRUE(app_startup());
        EXPECT_DOUBLE_EQ(g_ui.frame_seconds, 1.0 / (rate ? rate : 60));
        app_shutdown();
    }
}

TEST(Startup, NoWindowMeansAClearMessageAndNoRunAndAWholeRunEndedByTheQuitKeyReturnsZero) {
    headless_reset();
    headless_fail_next(HEADLESS_FAIL_DISPLAY_OPEN);
    testing::internal::CaptureStdout();
    app_state_reset();
    EXPECT_EQ(app_main(nullptr, 0), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "failed to open the window\n");
    EXPECT_EQ(headless_present_count(), 0);

    // The quit key ends an empty piece after the frame.
    headless_reset();
    headless_key_tap(KEY_ESCAPE);
    Str args[] = {STR("-sleep"), STR("1")};
    EXPECT_EQ(app_main(args, 2), 0);
    EXPECT_EQ(headless_present_count(), 1);
    EXPECT_FALSE(headless_display_is_open());
}

TEST(Startup, TheProgramRunsWithoutAudioOrWorker) {
    headless_reset();
    headless_fail_next(HEADLESS_FAIL_AUDIO_OPEN);
    headless_fail_next(HEADLESS_FAIL_THREAD_CREATE);
    app_state_reset();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(app_startup());
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("failed to open audio\n"), std::string::npos);
    EXPECT_NE(said.find("failed to start the render worker"), std::string::npos);
    EXPECT_FALSE(g_app.audio_open);
    EXPECT_FALSE(g_app.worker_running);
    frames(3);
    headless_key_tap(KEY_ESCAPE);
    app_frame();
    EXPECT_FALSE(g_app.running);
    app_shutdown();  // neither audio_close nor a join of a thread that never ran
}

TEST_F(AppFrames, CameraKeysPanAndZoomWithinTheirLimits) {
    f32 zoom = g_camera.zoom;
    headless_key_down(KEY_LETTER('w'));
    app_frame();
    f32 step = g_camera.pan_speed * (f32)g_ui.frame_seconds * zoom;
    EXPECT_FLOAT_EQ(g_camera.pan_y, step);
    headless_key_down(KEY_SHIFT);
    app_frame();
    EXPECT_FLOAT_EQ(g_camera.pan_y, step * 3);  // shift doubles the speed
    headless_key_up(KEY_SHIFT);
    headless_key_up(KEY_LETTER('w'));
    headless_key_down(KEY_LETTER('d'));
    app_frame();
    headless_key_up(KEY_LETTER('d'));
    EXPECT_GT(g_camera.pan_x, 0.0f);
    headless_key_down(KEY_LETTER('r'));
    app_frame();
    headless_key_up(KEY_LETTER('r'));
    EXPECT_EQ(g_camera.pan_x, 0.0f);
    EXPECT_EQ(g_camera.pan_y, 0.0f);

    headless_key_down(KEY_LETTER('e'));
    frames(200);
    EXPECT_EQ(g_camera.zoom, 0.5f);
    headless_key_up(KEY_LETTER('e'));
    headless_key_down(KEY_LETTER('q'));
    headless_key_down(KEY_SHIFT);
    for (i32 i = 0; i < 40000 && g_camera.zoom < 10000.0f; i += 1) app_frame();
    frames(5);
    EXPECT_EQ(g_camera.zoom, 10000.0f);
    f32 aspect = 1024.0f / 768.0f;
    EXPECT_FLOAT_EQ(g_camera.range_right - g_camera.range_left, 2 * 10000.0f * aspect);
}

TEST(Frames, EachFramePresentsAndSleepsAndMeasuredTimingFollowsTheFrameTime) {
    ASSERT_TRUE(start());
    frames(4);
    EXPECT_EQ(headless_present_count(), 4);
    EXPECT_EQ(headless_sleep_total_ms() >= 4 * 6, true);
    app_shutdown();

    ASSERT_TRUE(start({"-sleep", "0"}));
    u64 slept = headless_sleep_total_ms();
    frames(4);
    // The worker sleeps on its own thread; the main loop itself adds nothing.
    EXPECT_LT(headless_sleep_total_ms() - slept, 4u * 6u);
    app_shutdown();

    // Measured timing follows the frame time.
    ASSERT_TRUE(start({"-v"}));
    headless_clock_advance(25000);  // 25 ms
    app_frame();
    EXPECT_NEAR(g_ui.frame_seconds, 0.025, 0.005);
    app_shutdown();
}

TEST_F(AppFrames, TheMouseYCountsFromTheBottomAResizeUpdatesTheWindowAndClosingEndsTheRun) {
    headless_mouse_move(100, 68);
    app_frame();
    EXPECT_EQ(g_ui.mouse_x, 100.0f);
    EXPECT_EQ(g_ui.mouse_y, 700.0f);
    headless_resize(1280, 720);
    app_frame();
    i32 width = 0, height = 0;
    headless_texture_info(g_frame_buffer.color_texture, &width, &height, nullptr);
    EXPECT_EQ(width * 1000 + height, 1280 * 1000 + 720);  // the frame buffer follows the window
    EXPECT_EQ(headless_live_frame_buffers(), 1);
    headless_resize(0, 0);  // minimised: the last real size stays
    app_frame();
    EXPECT_EQ(g_window.width, 1280);
    headless_request_close();  // closing the window ends an empty piece
    app_frame();
    EXPECT_FALSE(g_app.running);
}
