// The render worker across threads: it renders the snapshot taken when play was pressed,
// allocates nothing from the main thread's pools, collapses requests, and copes with a long
// piece (renderings replaced while the callback reads are the stress test's). Run under
// ThreadSanitizer too (SORVANE_TSAN), where any shared access without a lock is reported.
#include <unistd.h>

#include "sound_test_support.h"

using Worker = PlaybackTest;

// Edits while the worker renders belong to the next rendering; the worker takes no memory
// from the main thread's pools, and emptying the tmp pool mid-render (a new frame) cannot
// disturb it.
TEST_F(Worker, RendersTheSnapshotTakenAtTheRequestInMemoryOfItsOwn) {
    g_piece.settings.end_time = frac(8);  // four seconds
    note(frac(0), frac(2));               // the first second sounds
    render_worker_start();
    playback_play_pause();  // the snapshot is encoded here, in POOL_TMP
    for (i64 i = 0; i < 200; i += 1) note(frac(2 + i % 6), frac(1));
    g_piece.settings.end_time = frac(16);
    i64 main_used = g_pools[POOL_MAIN].used, tmp_used = g_pools[POOL_TMP].used;
    ASSERT_TRUE(wait_for_render());
    EXPECT_EQ(g_pools[POOL_MAIN].used, main_used);
    EXPECT_EQ(g_pools[POOL_TMP].used, tmp_used);
    ASSERT_EQ(g_audio.slot_length, (i64)ceil(8.0 / (120.0 * 256.0 / 2646000.0)) * 512);
    f32 early = 0.0f, late = 0.0f;
    for (i64 i = 0; i < 88200; i += 1) early = fmaxf(early, fabsf(g_audio.slot[i]));
    for (i64 i = 88200 + 2000; i < g_audio.slot_length; i += 1) late = fmaxf(late, fabsf(g_audio.slot[i]));
    EXPECT_GT(early, 0.4f);
    EXPECT_EQ(late, 0.0f);

    playback_stop();
    for (i32 i = 0; i < 5; i += 1) pump(512);
    playback_frame();
    g_piece.settings.end_time = frac(60);  // long enough to be rendering still
    playback_play_pause();
    pool_empty(POOL_TMP);
    memset(g_pools[POOL_TMP].base, 0xAB, 1 << 20);
    ASSERT_TRUE(wait_for_render());
    EXPECT_TRUE(playback_is_playing());
}

TEST_F(Worker, RequestsWaitingTogetherCollapseIntoTheNewest) {
    note(frac(0), frac(1));
    render_worker_start();
    Str snapshot = scene_encode(&g_piece, POOL_TMP);
    i64 last = 0;
    for (i32 i = 0; i < 5; i += 1) last = render_request_post(snapshot, Str{0, 0}, 44100, 2);
    ASSERT_GT(last, 0);
    // A buffer still being written goes back to the worker instead of being freed.
    auto release = [](RenderResult* r) {
        if (render_stream_release(r->samples)) free(r->samples);
        free(r->block_times);
    };
    RenderResult result = {};
    i64 served = 0, finished = 0;
    for (i32 i = 0; i < 20000 && finished != last; i += 1) {
        RenderResult taken;
        if (render_result_take(&taken)) {
            if (taken.stream_finished) finished = taken.finished_id;
            if (taken.has_rendering) {
                release(&result);
                result = taken;
                served = taken.request_id;
            }
        }
        usleep(1000);
    }
    EXPECT_EQ(served, last);
    EXPECT_EQ(finished, last);
    EXPECT_EQ(result.sample_rate, 44100);
    EXPECT_EQ(result.length, 5292032);
    release(&result);
}

TEST_F(Worker, ThirtyMinuteStereoPieceAt48kHzRendersAndExports) {
    g_piece.settings.end_time = frac(3600);  // 30 minutes at 120 beats a minute
    g_piece.settings.sample_rate = 48000;
    g_piece.settings.stereo = 1;
    g_piece.settings.sample_type = SAMPLE_TYPE_SHORT;
    for (i64 i = 0; i < 60; i += 1) note(frac(i * 60), frac(2), frac(1 + i % 3, 1));
    note(frac(3590), frac(10));
    render_worker_start();
    TempFolder folder;
    std::string path = folder / "long.wav";
    export_request(to_str(path));
    ASSERT_TRUE(wait_for_render());
    EXPECT_EQ(headless_message_count(), 0);
    FileHandle file = file_open(to_str(path), FILE_READ);
    ASSERT_FALSE(file_failed(file));
    i64 size = file_size(file);
    i64 frames = (i64)ceil(1800.0 * 48000.0 / 256.0) * 256;
    file_close(file);
    // Two 16-bit channels in whole blocks, and the time map may round up by one more block.
    ASSERT_GE(size, frames * 4);
    EXPECT_LE(size, 44 + (frames + 256) * 4);
}
