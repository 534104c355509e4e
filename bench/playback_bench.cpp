// The playback and export targets on long pieces: the time from the play action to the
// first buffer with sound that the audio callback hands out (W2 for ten minutes, W2 six
// times over for sixty), on the headless device pumped every half millisecond, and the peak
// memory of sorvane-render exporting the sixty-minute piece in stereo at 48 kHz.
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include "bench_table.h"
#include "model/scene.h"
#include "platform/headless.h"
#include "platform/system.h"
#include "sound/audio_output.h"
#include "workloads.h"

// W2 laid end to end `copies` times.
static bool long_piece_build(Piece* piece, i64 copies) {
    if (!workload_build(piece, WORKLOAD_W2, WORKLOAD_SEED)) return false;
    i64 notes = piece->notes.count;
    Fraction length = piece->settings.end_time;
    for (i64 c = 1; c < copies; c += 1) {
        Fraction shift = fraction_mul_int(length, c);
        for (i64 n = 0; n < notes; n += 1) {
            NoteObject note = piece->notes[n];
            note.header.time = fraction_add(note.header.time, shift);
            if (!array_push(&piece->notes, note)) return false;
        }
    }
    Fraction end = fraction_mul_int(length, copies);
    // The objects that span W2 span the whole piece.
    for (i64 k = 0; k < OBJECT_KIND_COUNT; k += 1) {
        ObjectList list = piece_objects(piece, (u8)k);
        for (i64 i = 0; i < list.count; i += 1) {
            ObjectHeader* header = object_list_get(list, i);
            if (header->kind != OBJECT_NOTE && fraction_equal(header->duration, length))
                header->duration = end;
        }
    }
    piece->settings.end_time = end;
    return true;
}

static void pools_up() {
    pool_setup(POOL_MAIN, 64 << 20, true);
    pool_setup(POOL_TMP, 32 << 20, true);
    sounds_reset();
    sounds_parse(str_copy(POOL_MAIN, str_from_cstring(workload_sounds_text)), Str{0, 0});
}

static void pools_down() {
    sounds_reset();
    pool_release(POOL_TMP);
    pool_release(POOL_MAIN);
}

// Seconds from the play action to the first buffer with a sample that is not zero; the
// callback is pumped a 256-frame buffer every half millisecond while the main thread runs
// its frames.
static f64 first_sound_seconds() {
    f32 buffer[512];
    f64 started = bench_seconds();
    playback_play_pause();
    for (;;) {
        playback_frame();
        // A paused device hands out nothing: only a callback's buffer counts.
        bool handed_out = headless_audio_is_playing();
        for (f32& sample : buffer) sample = 0.0f;
        headless_audio_pump(buffer, sizeof(buffer));
        for (f32 sample : buffer)
            if (handed_out && sample != 0.0f) return bench_seconds() - started;
        if (bench_seconds() - started > 60.0) return -1.0;
        // A device asks every 5.8 ms; a loop without a pause would take a core from the
        // worker.
        timespec pause = {0, 500000};
        nanosleep(&pause, nullptr);
    }
}

static void latency_row(i64 copies, i32 repetitions) {
    headless_reset();
    audio_output_reset();
    pools_up();
    piece_init(&g_piece, POOL_MAIN);
    char target[120];
    snprintf(target, sizeof(target), "first sound of a %lld-minute piece < 50 ms after play",
             (long long)(copies * 10));
    if (!long_piece_build(&g_piece, copies) || !audio_output_open() || !render_worker_start()) {
        bench_row(target, BENCH_MISSING, "the piece or the worker could not be set up");
        pools_down();
        return;
    }
    f64 times[16];
    if (repetitions > 16) repetitions = 16;
    for (i32 i = 0; i < repetitions; i += 1) {
        times[i] = first_sound_seconds();
        // Stopped and faded out: the device pauses, and the next play renders anew (which
        // cancels the rest of this rendering).
        playback_stop();
        f32 buffer[512];
        for (i32 k = 0; k < 16; k += 1) headless_audio_pump(buffer, sizeof(buffer));
        playback_frame();
    }
    f64 median = bench_median(times, repetitions);
    bench_row(target, median >= 0.0 && median < 0.05 ? BENCH_PASS : BENCH_FAIL,
              "%.1f ms (median of %d)", median * 1000.0, repetitions);
    render_worker_stop();
    audio_output_close();
    piece_init(&g_piece, POOL_MAIN);
    pools_down();
}

void bench_playback(const BenchOptions* options) {
    latency_row(1, options->repetitions);
    latency_row(6, options->repetitions);
}

// The peak resident size of sorvane-render exporting sixty minutes of W2 in stereo at
// 48 kHz. Runs first, while this process is small: a child's peak counts what it shared
// with this process between the fork and the exec.
void bench_memory(const BenchOptions* options) {
    const char* target = "60-minute export (stereo, 48 kHz, sorvane-render) peak memory < 128 MiB";
    if (!options->render_tool) {
        bench_row(target, BENCH_MISSING, "no --tool given");
        return;
    }
    pools_up();
    Piece piece;
    piece_init(&piece, POOL_MAIN);
    bool built = long_piece_build(&piece, 6);
    piece.settings.sample_rate = 48000;
    piece.settings.stereo = 1;
    char scene[512], wave[512], command[2048];
    snprintf(scene, sizeof(scene), "%s/bench-60min.scene", options->work_folder);
    snprintf(wave, sizeof(wave), "%s/bench-60min.wav", options->work_folder);
    Str bytes = scene_encode(&piece, POOL_TMP);
    FILE* file = built ? fopen(scene, "wb") : 0;
    if (file) {
        fwrite(bytes.data, 1, (size_t)bytes.length, file);
        fclose(file);
    }
    pools_down();
    snprintf(command, sizeof(command), "'%s' '%s' '%s' --data '%s'", options->render_tool, scene,
             wave, options->data_folder);
    f64 started = bench_seconds();
    i32 status = system(command);
    f64 seconds = bench_seconds() - started;
    rusage usage = {};
    getrusage(RUSAGE_CHILDREN, &usage);
    FILE* written = fopen(wave, "rb");
    i64 size = 0;
    if (written) {
        fseek(written, 0, SEEK_END);
        size = (i64)ftell(written);
        fclose(written);
    }
    remove(scene);
    remove(wave);
    f64 peak = (f64)usage.ru_maxrss * 1024.0;
    bool ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    bench_row(target, ran && peak < 128.0 * 1024 * 1024 ? BENCH_PASS : BENCH_FAIL,
              "%.1f MiB peak for a %.0f MiB file, %.1f s%s", peak / (1024.0 * 1024.0),
              (f64)size / (1024.0 * 1024.0), seconds, ran ? "" : " (the render failed)");
}
