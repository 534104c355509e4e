// Compile, synthesis and 16-bit conversion of the reference workloads, timed by Google
// Benchmark in real time. The counter "x_realtime" is the real-time factor: seconds of
// audio made per second of rendering, on one core.
#include <benchmark/benchmark.h>

#include "sound/render.h"
#include "workloads.h"

static void render_workload(benchmark::State& state, u8 workload) {
    pool_setup(POOL_MAIN, 64 << 20, true);
    pool_setup(POOL_TMP, 32 << 20, true);
    pool_setup(POOL_WORKER, 1 << 20, true);
    sounds_reset();
    sounds_parse(str_copy(POOL_MAIN, str_from_cstring(workload_sounds_text)), Str{0, 0});
    Piece piece;
    piece_init(&piece, POOL_MAIN);
    if (!workload_build(&piece, workload, WORKLOAD_SEED)) {
        state.SkipWithError("the workload could not be built");
        return;
    }
    f64 audio_seconds = 0.0;
    for (auto _ : state) {
        pool_empty(POOL_WORKER);
        CompiledPiece compiled;
        compiled_piece_init(&compiled, POOL_WORKER);
        Rendering rendering;
        RenderFailure failure;
        if (!render_piece(&piece, 44100, 2, &compiled, nullptr, &rendering, &failure)) {
            state.SkipWithError("the workload could not be rendered");
            break;
        }
        WaveData wave = {SAMPLE_FORMAT_F32, 2, 44100, rendering.length * 4, rendering.samples};
        audio_wave_convert(&wave, SAMPLE_FORMAT_S16);
        benchmark::DoNotOptimize(wave.data);
        audio_seconds = (f64)rendering.length / (2.0 * 44100.0);
        rendering_free(&rendering);
    }
    state.counters["x_realtime"] =
        benchmark::Counter(audio_seconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["events"] = (f64)piece.notes.count * (workload == WORKLOAD_W3 ? 4 : 1);
    pool_release(POOL_WORKER);
    pool_release(POOL_TMP);
    pool_release(POOL_MAIN);
}

BENCHMARK_CAPTURE(render_workload, W1, (u8)WORKLOAD_W1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(render_workload, W2, (u8)WORKLOAD_W2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(render_workload, W3, (u8)WORKLOAD_W3)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
