// Playback as the user meets it: fades, play, pause, resume, stop, the end of the piece,
// export followed by play, failures that must be seen, and auditions.
#include "sound/render.h"
#include "sound_test_support.h"

using Playback = PlaybackTest;

TEST_F(Playback, FadesInAndOutOver2048SamplesAndReportTheEndOnlyAfterIt) {
    // A slot of ones, so that the output is the gain itself.
    f32* ones = (f32*)malloc(100000 * sizeof(f32));
    for (i64 i = 0; i < 100000; i += 1) ones[i] = 1.0f;
    audio_slot_install(ones, 100000);
    playback_start();
    EXPECT_TRUE(headless_audio_is_playing());
    // Pairs share a gain, which rises by 2/2048 a pair from silence to the full level.
    std::vector<f32> in = pump(2560);
    for (i64 i = 0; i < 2560; i += 1) ASSERT_EQ(in[i], fminf((f32)(i & ~1) / 2048.0f, 1.0f)) << i;
    // The fade-out ends in silence and reports only after its length.
    audio_lock();
    g_audio.stop_request = 1;
    g_audio.fade_out_progress = 0;
    audio_unlock();
    std::vector<f32> out = pump(2048);
    for (i64 i = 0; i < 2048; i += 1) ASSERT_EQ(out[i], 1.0f - (f32)(i & ~1) / 2048.0f) << i;
    EXPECT_EQ(g_audio.faded_out, 0);
    out = pump(512);
    for (f32 s : out) ASSERT_EQ(s, 0.0f);
    EXPECT_EQ(g_audio.faded_out, 1);
    EXPECT_EQ(g_audio.stop_kind, 1);
}

TEST_F(Playback, CallbackPlaysSilenceBeyondTheSlotAndLoopsWhenAsked) {
    f32* three = (f32*)malloc(3 * sizeof(f32));
    three[0] = 0.25f, three[1] = 0.5f, three[2] = 0.75f;
    audio_slot_install(three, 3);
    audio_play();
    std::vector<f32> out = pump(6);
    EXPECT_EQ(out[2], 0.75f);
    EXPECT_EQ(out[3], 0.0f);
    audio_lock();
    g_audio.loop = 1;
    g_audio.position = 0;
    audio_unlock();
    out = pump(7);
    EXPECT_EQ(out[3], 0.25f);
    EXPECT_EQ(out[6], 0.25f);
    EXPECT_EQ(position(), 7 - 3);  // the length is taken off once per callback
}

// Pause fades out and keeps the place, resume fades in from it; stop while playing fades
// out and rewinds, and play then renders anew; stop while paused rewinds at once.
TEST_F(Playback, PauseKeepsThePlaceAndStopRewindsAfterAFadeOrAtOnceWhenPaused) {
    play_rendered();
    EXPECT_TRUE(headless_audio_is_playing());
    for (i32 i = 0; i < 10; i += 1) pump(512);
    playback_play_pause();
    EXPECT_FALSE(playback_is_playing());
    EXPECT_TRUE(playback_is_resumable());
    for (i32 i = 0; i < 4; i += 1) pump(512);
    std::vector<f32> faded = pump(512);
    for (f32 s : faded) ASSERT_EQ(s, 0.0f);
    playback_frame();
    EXPECT_FALSE(headless_audio_is_playing());
    EXPECT_EQ(position(), 15 * 512);
    pump(512);  // the paused device plays nothing and keeps its place
    EXPECT_EQ(position(), 15 * 512);

    playback_play_pause();
    EXPECT_TRUE(playback_is_playing());
    EXPECT_TRUE(headless_audio_is_playing());
    std::vector<f32> resumed = pump(512);
    EXPECT_EQ(resumed[0], 0.0f);
    EXPECT_EQ(resumed[300], g_audio.slot[15 * 512 + 300] * (300.0f / 2048.0f));
    EXPECT_NE(resumed[300], 0.0f);

    for (i32 i = 0; i < 4; i += 1) pump(512);
    playback_stop();
    for (i32 i = 0; i < 5; i += 1) pump(512);
    playback_frame();
    playback_play_pause();
    EXPECT_TRUE(playback_is_waiting());
    ASSERT_TRUE(wait_for_render());
    EXPECT_TRUE(playback_is_playing());

    for (i32 i = 0; i < 4; i += 1) pump(512);
    playback_play_pause();
    for (i32 i = 0; i < 5; i += 1) pump(512);
    playback_frame();
    ASSERT_TRUE(playback_is_resumable());
    playback_stop();
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(played(), 0);
    EXPECT_EQ(g_audio.stop_request, 0);
    EXPECT_FALSE(playback_is_resumable());
    EXPECT_EQ(playback_cursor(), 0.0);
}

TEST_F(Playback, PlayAfterAnExportRendersAgainAtThePlaybackFormat) {
    g_piece.settings.end_time = frac(4);
    g_piece.settings.sample_rate = 22050;
    g_piece.settings.stereo = 0;
    play_rendered();
    i64 playback_length = g_audio.slot_length;
    pump(2048);

    TempFolder folder;
    std::string path = folder / "export.wav";
    export_request(to_str(path));
    ASSERT_TRUE(wait_for_render());
    EXPECT_FALSE(playback_is_playing());  // an export does not play
    EXPECT_FALSE(headless_audio_is_playing());
    EXPECT_EQ(headless_message_count(), 0);

    playback_play_pause();
    EXPECT_TRUE(playback_is_waiting());  // not resumed: rendered anew
    ASSERT_TRUE(wait_for_render());
    EXPECT_TRUE(playback_is_playing());
    EXPECT_EQ(g_audio.slot_length, playback_length);
    EXPECT_EQ(g_audio.channels, 2);
    EXPECT_EQ(g_audio.sample_rate, 44100);
}

// Failures are seen: without the worker nothing waits forever, and an export that fails
// says where and why (a folder that does not exist, a sample rate that cannot be used).
TEST_F(Playback, WithoutTheWorkerNothingWaitsAndAFailedExportSaysWhereAndWhy) {
    g_piece.settings.end_time = frac(1);
    note(frac(0), frac(1));
    testing::internal::CaptureStdout();
    playback_play_pause();
    playback_play_pause();
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(playback_is_waiting());
    EXPECT_FALSE(playback_worker_available());
    EXPECT_EQ(said, "the render worker is not running: nothing can be played or exported\n");
    export_request(STR("/tmp/x.wav"));
    EXPECT_FALSE(playback_is_waiting());
    ASSERT_EQ(headless_message_count(), 1);
    EXPECT_EQ(to_string(headless_message_text(0)), "/tmp/x.wav could not be written: the render worker is not running");

    render_worker_start();
    export_request(STR("/nonexistent_folder_of_sorvane/out.wav"));
    ASSERT_TRUE(wait_for_render());
    ASSERT_EQ(headless_message_count(), 2);
    EXPECT_EQ(to_string(headless_message_title(1)), "export failed");
    std::string text = to_string(headless_message_text(1));
    std::string lead = "/nonexistent_folder_of_sorvane/out.wav could not be written: ";
    EXPECT_EQ(text.substr(0, lead.size()), lead);
    EXPECT_GT(text.size(), lead.size());
    g_piece.settings.sample_rate = 0;
    export_request(STR("/tmp/sorvane_never_written.wav"));
    ASSERT_TRUE(wait_for_render());
    ASSERT_EQ(headless_message_count(), 3);
    EXPECT_NE(to_string(headless_message_text(2)).find("sample rate"), std::string::npos);
    EXPECT_FALSE(file_exists(STR("/tmp/sorvane_never_written.wav")));
}

// An audition plays a quarter second of the notes, then stops; it takes over from a
// paused piece, which play then renders again instead of resuming inside the preview.
TEST_F(Playback, AuditionPlaysAQuarterSecondAndTakesOverFromAPausedPiece) {
    play_rendered();
    pump(4096);
    playback_play_pause();
    for (i32 i = 0; i < 5; i += 1) pump(512);
    playback_frame();
    ASSERT_TRUE(playback_is_resumable());
    note(frac(0), frac(1), frac(3, 2));
    const NoteObject* both[] = {&g_piece.notes[0], &g_piece.notes[1]};
    audition_notes(both, 2);
    EXPECT_FALSE(playback_is_resumable());
    EXPECT_TRUE(headless_audio_is_playing());
    EXPECT_FALSE(playback_is_playing());
    EXPECT_EQ(g_audio.slot_length, (i64)(44100 * 0.25 + 1) * 2);
    // Two notes share half the full level; panned to the middle each channel gets half.
    f32 peak = 0.0f;
    for (i64 i = 0; i < g_audio.slot_length; i += 1) peak = fmaxf(peak, fabsf(g_audio.slot[i]));
    EXPECT_GT(peak, 0.2f);
    EXPECT_LE(peak, 0.25f + 1e-6f);
    std::vector<f32> start = pump(512);
    EXPECT_EQ(start[0], 0.0f);  // faded in
    pump(22052);
    playback_frame();
    EXPECT_FALSE(headless_audio_is_playing());
    EXPECT_EQ(position(), 0);
    playback_play_pause();
    EXPECT_TRUE(playback_is_waiting());
}

// The piece as one whole rendering at the device's format, on one thread.
static std::vector<f32> whole_rendering(const Piece* piece) {
    CompiledPiece compiled;
    compiled_piece_init(&compiled, POOL_TMP);
    Rendering rendering;
    RenderFailure failure;
    EXPECT_TRUE(render_piece(piece, 44100, 2, &compiled, nullptr, &rendering, &failure, 1));
    std::vector<f32> samples(rendering.samples, rendering.samples + rendering.length);
    rendering_free(&rendering);
    return samples;
}

TEST_F(Playback, ASlowWorkerIsHeardAsSilenceThenStreamedPlaybackEqualsTheWholeRendering) {
    // Thirty seconds, so that the rendering's head and its rest come from two compilations
    // and many ranges; a note sounds across the border between them, twenty seconds in.
    // The notes are listed latest first: the head's compilation picks and orders its own.
    g_piece.settings.end_time = frac(60);
    for (i64 i = 7; i >= 0; i -= 1) note(frac(5 * i + 1), frac(6), frac(2 + i % 3, 2));
    add_volume(&g_piece, group, frac(0), frac(60), frac(1, 2), frac(0));
    g_piece.volumes[0].volume.points[0].y = frac(1, 4);
    array_push(&g_piece.volumes[0].volume.points, point_at(frac(60), frac(1)));
    std::vector<f32> whole = whole_rendering(&g_piece);
    render_worker_hold(true);
    render_worker_start();
    playback_play_pause();
    ASSERT_TRUE(wait_for_render(false));
    EXPECT_TRUE(playback_is_playing());
    EXPECT_TRUE(playback_is_streaming());
    // Nothing is final yet: silence, the place kept, and the overlay's mark raised.
    for (i32 i = 0; i < 3; i += 1) {
        std::vector<f32> out = pump(512);
        for (f32 s : out) ASSERT_EQ(s, 0.0f);
    }
    EXPECT_EQ(position(), 0);
    playback_frame();
    EXPECT_TRUE(playback_is_starved());

    render_worker_hold(false);
    ASSERT_TRUE(wait_for_render());
    ASSERT_EQ(g_audio.slot_length, (i64)whole.size());
    EXPECT_EQ(memcmp(g_audio.slot, whole.data(), whole.size() * sizeof(f32)), 0);
    // Played from the first sample on, faded in as ever, then the samples themselves.
    std::vector<f32> first = pump(2048);
    EXPECT_EQ(first[1000], whole[1000] * (1000.0f / 2048.0f));
    playback_frame();
    EXPECT_FALSE(playback_is_starved());
    std::vector<f32> later = pump(whole.size() - 2048);
    EXPECT_EQ(memcmp(later.data(), whole.data() + 2048, later.size() * sizeof(f32)), 0);
}

TEST_F(Playback, PlayFromHereStartsAtTheGivenTimeTheCursorFollowsAndTheEndReturnsToTheStart) {
    g_piece.settings.end_time = frac(8);
    note(frac(0), frac(2));
    note(frac(3), frac(4), frac(3, 2));
    render_worker_start();
    playback_play_from(frac(3));
    EXPECT_EQ(playback_cursor(), 3.0);
    ASSERT_TRUE(wait_for_render());
    EXPECT_TRUE(playback_is_playing());
    EXPECT_EQ(g_piece.settings.start_time.numerator, 0);  // the piece itself is untouched
    g_piece.settings.start_time = frac(3);
    std::vector<f32> expected = whole_rendering(&g_piece);
    g_piece.settings.start_time = frac(0);
    ASSERT_EQ(g_audio.slot_length, (i64)expected.size());
    EXPECT_EQ(memcmp(g_audio.slot, expected.data(), expected.size() * sizeof(f32)), 0);
    pump(44100);  // half a second: the cursor follows from the third beat
    playback_frame();
    EXPECT_NEAR(playback_cursor(), 3.0 + 1.0, 0.02);
    pump(g_audio.slot_length + 4096);  // past the end: idle, at the start
    playback_frame();
    EXPECT_FALSE(playback_is_playing());
    EXPECT_FALSE(playback_is_resumable());
    EXPECT_FALSE(headless_audio_is_playing());
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(playback_cursor(), 0.0);
}
