// 1000 cycles of play, pause, resume, stop and export with the audio callback pumped on a
// device thread of its own and the render worker running, while the main thread keeps
// editing the piece between and during renders (adding, moving and deleting notes,
// changing the end time). Run under ASan and UBSan by `make test` and under
// ThreadSanitizer by `make tsan`, where every unsynchronised access is reported. Each
// cycle checks what the user would see: the rendering arrives, pause keeps the position,
// stop rewinds, and the exported file holds the piece as it was when export was chosen.
#include <sys/stat.h>

#include <string>

#include "sound_test_support.h"

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
    g_piece.settings.end_time = frac(2);  // one second at 120 beats a minute
    g_piece.settings.stereo = 0;
    g_piece.settings.sample_rate = 8000;
    for (i64 i = 0; i < 6; i += 1) note(frac(i, 3), frac(1, 3), frac(2 + i % 3, 2));
    ASSERT_TRUE(render_worker_start());
    device.pause_ns = 100000;
    device.start();

    std::string path = folder / "export.wav";
    i64 exports = 0;
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
        exports += 1;
        pool_empty(POOL_TMP);
    }
    device.join();
    EXPECT_EQ(exports, 1000);
    EXPECT_GT(device.callbacks, 1000);
    EXPECT_TRUE(device.finite);
    EXPECT_EQ(headless_message_count(), 0);  // no export failed, nothing was refused
}
