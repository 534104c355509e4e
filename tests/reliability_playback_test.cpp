// Regressions of a race the stress test found under ThreadSanitizer: the main thread
// rewound or paused the playing slot under the audio lock but paused the device only after
// letting go of it, so a device thread waiting for the lock played one more buffer first:
// the first 11 ms of the piece at full gain when playback reached its end or an export
// began, a stop that did not stay at the start, a pause that lost its place. The headless
// device is made to pump the moment the lock is let go, which is when the real one would.
#include "sound_test_support.h"

struct PlaybackRace : PlaybackTest {
    // Two seconds of a note, rendered by the worker and playing past its fade-in.
    void SetUp() override {
        PlaybackTest::SetUp();
        g_piece.settings.end_time = frac(4);
        play_rendered();
        for (i32 i = 0; i < 8; i += 1) pump(512);
    }
};

TEST_F(PlaybackRace, TheEndOfTheRenderingRewindsWithoutPlayingTheStart) {
    while (headless_audio_is_playing() && played() <= g_audio.slot_length) pump(512);
    // The frame lets go of the lock twice: after looking for a finished fade (the device
    // still plays, silence past the end), then after the rewind (the device is paused).
    headless_audio_pump_on_unlock(2, 2048);
    playback_frame();  // past the end: back to idle at the start
    EXPECT_EQ(headless_audio_unlock_pumps(), 1);
    EXPECT_FALSE(headless_audio_is_playing());
    EXPECT_FALSE(playback_is_playing());
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(played(), 0);
}

TEST_F(PlaybackRace, AnExportWhilePlayingRewindsWithoutPlayingTheStart) {
    headless_audio_pump_on_unlock(1, 2048);
    export_request(STR("/nonexistent folder/export.wav"));
    EXPECT_EQ(headless_audio_unlock_pumps(), 0);
    EXPECT_FALSE(headless_audio_is_playing());
    EXPECT_EQ(position(), 0);
}

TEST_F(PlaybackRace, AStopThatHasFadedOutStaysAtTheStart) {
    playback_stop();
    for (i32 i = 0; i < 8 && !g_audio.faded_out; i += 1) pump(512);
    ASSERT_TRUE(g_audio.faded_out);
    headless_audio_pump_on_unlock(1, 2048);
    playback_frame();  // pauses and rewinds
    EXPECT_EQ(headless_audio_unlock_pumps(), 0);
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(played(), 0);
}

TEST_F(PlaybackRace, APauseThatHasFadedOutKeepsItsPlaceExactly) {
    playback_play_pause();
    ASSERT_TRUE(playback_is_resumable());
    for (i32 i = 0; i < 8 && !g_audio.faded_out; i += 1) pump(512);
    ASSERT_TRUE(g_audio.faded_out);
    i64 kept = position();
    headless_audio_pump_on_unlock(1, 2048);
    playback_frame();
    EXPECT_EQ(headless_audio_unlock_pumps(), 0);
    EXPECT_EQ(position(), kept);
    EXPECT_FALSE(headless_audio_is_playing());
}
