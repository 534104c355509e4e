// The editor targets on the headless back end: start-up until the first presented frame,
// and one frame's work on the main thread (input, editor step, the score view and the
// interface with every draw call built) with the 10 000 notes of W2 all in view, timed by
// Google Benchmark. The headless back end records each draw; the records are cleared
// between frames outside the timing.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <unistd.h>

#include "app/app.h"
#include "bench_table.h"
#include "model/piece.h"
#include "platform/headless.h"
#include "workloads.h"

static i64 frame_draws;

static void editor_frame(benchmark::State& state) {
    for (auto _ : state) {
        app_frame();
        state.PauseTiming();
        frame_draws = headless_draw_count();
        headless_draws_clear();
        state.ResumeTiming();
    }
}

// Keeps the median time per iteration of the run it is given.
struct MedianKeeper : benchmark::BenchmarkReporter {
    f64 seconds = -1.0;
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        // Adjusted times are in the run's own unit.
        for (const Run& run : runs) {
            f64 in_seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                seconds = in_seconds;
            else if (run.run_type == Run::RT_Iteration && seconds < 0.0)
                seconds = in_seconds;
        }
    }
};

void bench_editor(const BenchOptions* options) {
    char previous[1024];
    if (!getcwd(previous, sizeof(previous)) || chdir(options->data_folder) != 0) {
        bench_row("editor start-up to the first presented frame < 0.5 s", BENCH_MISSING,
                  "no data folder");
        return;
    }
    headless_reset();
    app_state_reset();
    f64 started = bench_seconds();
    bool up = app_startup();
    while (up && headless_present_count() == 0) app_frame();
    f64 startup = bench_seconds() - started;
    bench_row("editor start-up to the first presented frame < 0.5 s",
              up && startup < 0.5 ? BENCH_PASS : BENCH_FAIL, "%.0f ms%s", startup * 1000.0,
              up ? "" : " (start-up failed)");
    if (!up) {
        chdir(previous);
        return;
    }
    // W2 in the editor, the whole of it in view: 1200 beats across, its pitches upright.
    workload_build(&g_piece, WORKLOAD_W2, WORKLOAD_SEED);
    g_camera.zoom = 460.0f;
    g_camera.pan_x = 600.0f;
    g_camera.pan_y = 20.0f;
    app_frame();
    headless_draws_clear();

    benchmark::RegisterBenchmark("editor_frame", editor_frame)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(options->repetitions)
        ->ReportAggregatesOnly(true);
    MedianKeeper keeper;
    benchmark::RunSpecifiedBenchmarks(&keeper);
    benchmark::ClearRegisteredBenchmarks();
    f64 frame_ms = keeper.seconds * 1000.0;
    bool all_in_view = frame_draws >= g_piece.notes.count;
    bench_row("editor frame on the main thread, 10 000 notes in view < 8 ms",
              all_in_view && keeper.seconds >= 0.0 && frame_ms < 8.0 ? BENCH_PASS : BENCH_FAIL,
              "%.2f ms (%lld draw calls a frame)", frame_ms, (long long)frame_draws);
    app_shutdown();
    if (chdir(previous) != 0) fprintf(stderr, "sorvane_bench: cannot return to %s\n", previous);
}
