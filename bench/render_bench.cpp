// The render targets on the reference workloads: one-core render times, the speed-up on
// every core and its bit-identical output, the fast path against the reference loop, and
// the share of compilation in W2's rendering. A render is what the export does without the
// file: compile, synthesise into a new buffer, convert to 16-bit samples.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bench_table.h"
#include "platform/system.h"
#include "sound/render.h"
#include "sound/synth_reference.h"
#include "workloads.h"

static Piece workloads[WORKLOAD_COUNT];

static void workloads_build() {
    pool_setup(POOL_MAIN, 64 << 20, true);
    pool_setup(POOL_TMP, 32 << 20, true);
    pool_setup(POOL_WORKER, 1 << 20, true);
    sounds_reset();
    sounds_parse(str_copy(POOL_MAIN, str_from_cstring(workload_sounds_text)), Str{0, 0});
    for (u8 w = 0; w < WORKLOAD_COUNT; w += 1) {
        piece_init(&workloads[w], POOL_MAIN);
        workload_build(&workloads[w], w, WORKLOAD_SEED);
    }
}

// Seconds of one render on `threads` threads (0: every core).
static f64 render_seconds(const Piece* piece, i64 threads) {
    pool_empty(POOL_WORKER);
    f64 started = bench_seconds();
    CompiledPiece compiled;
    compiled_piece_init(&compiled, POOL_WORKER);
    Rendering rendering;
    RenderFailure failure;
    if (!render_piece(piece, 44100, 2, &compiled, 0, &rendering, &failure, threads)) return -1.0;
    WaveData wave;
    render_convert(&rendering, SAMPLE_FORMAT_S16, threads, &wave);
    f64 seconds = bench_seconds() - started;
    rendering_free(&rendering);
    return seconds;
}

static f64 render_median(const Piece* piece, i64 threads, i32 repetitions) {
    f64 times[16];
    if (repetitions > 16) repetitions = 16;
    for (i32 i = 0; i < repetitions; i += 1) times[i] = render_seconds(piece, threads);
    return bench_median(times, repetitions);
}

// Renders `compiled` into a new buffer by the fast path (threads > 0) or the reference
// loop (0), then puts the events' phases back; the phases reached go to `phases`.
static f32* synth_once(CompiledPiece* compiled, i64 threads, f64* phases, f64* seconds) {
    i64 count = compiled->events.count;
    f64* saved = (f64*)malloc((size_t)(count + 1) * sizeof(f64));
    f32* samples = (f32*)calloc((size_t)compiled->compiled_length + 1, sizeof(f32));
    for (i64 e = 0; e < count; e += 1) saved[e] = compiled->events[e].phase;
    f64 started = bench_seconds();
    if (threads > 0)
        synthesize(compiled, samples, compiled->compiled_length, 0, threads);
    else
        synthesize_reference(compiled, samples, compiled->compiled_length, 0);
    *seconds = bench_seconds() - started;
    for (i64 e = 0; e < count; e += 1) {
        phases[e] = compiled->events[e].phase;
        compiled->events[e].phase = saved[e];
    }
    free(saved);
    return samples;
}

struct Comparison {
    f64 largest_difference;
    bool same_bits, same_phases;
    f64 seconds_a, seconds_b;  // the synthesis alone
};

static Comparison compare(CompiledPiece* compiled, i64 threads_a, i64 threads_b) {
    i64 count = compiled->events.count, length = compiled->compiled_length;
    f64* phases_a = (f64*)malloc((size_t)(count + 1) * sizeof(f64));
    f64* phases_b = (f64*)malloc((size_t)(count + 1) * sizeof(f64));
    Comparison result = {};
    f32* a = synth_once(compiled, threads_a, phases_a, &result.seconds_a);
    f32* b = synth_once(compiled, threads_b, phases_b, &result.seconds_b);
    for (i64 i = 0; i < length; i += 1) {
        f64 d = fabs((f64)a[i] - (f64)b[i]);
        if (!(d <= result.largest_difference)) result.largest_difference = d;
    }
    result.same_bits = memcmp(a, b, (size_t)length * sizeof(f32)) == 0;
    result.same_phases = memcmp(phases_a, phases_b, (size_t)count * sizeof(f64)) == 0;
    free(a);
    free(b);
    free(phases_a);
    free(phases_b);
    return result;
}

void bench_render(const BenchOptions* options) {
    workloads_build();
    i32 repetitions = options->repetitions;
    i64 cores = system_processor_count();
    f64 one_core[WORKLOAD_COUNT];
    for (u8 w = 0; w < WORKLOAD_COUNT; w += 1) {
        one_core[w] = render_median(&workloads[w], 1, repetitions);
        char target[96];
        snprintf(target, sizeof(target), "%s render on one core (figure)",
                 w == WORKLOAD_W1 ? "W1" : w == WORKLOAD_W2 ? "W2" : "W3");
        bench_row(target, BENCH_FIGURE, "%.3f s, %.0fx real time", one_core[w],
                  workload_seconds(w) / one_core[w]);
    }

    // Every core against one, and the same bits from both.
    f64 all_cores = render_median(&workloads[WORKLOAD_W2], 0, repetitions);
    f64 speed_up = one_core[WORKLOAD_W2] / all_cores;
    pool_empty(POOL_WORKER);
    CompiledPiece compiled;
    compiled_piece_init(&compiled, POOL_WORKER);
    compile_piece(&workloads[WORKLOAD_W2], 44100, 2, &compiled);
    Comparison threads = compare(&compiled, 1, cores > 1 ? cores : 2);
    char target[120];
    snprintf(target, sizeof(target), "W2 render on all %lld cores >= 1.8x faster than on one",
             (long long)cores);
    bench_row(target, speed_up >= 1.8 ? BENCH_PASS : BENCH_FAIL,
              "%.2fx (%.3f s against %.3f s; the synthesis alone %.2fx)", speed_up, all_cores,
              one_core[WORKLOAD_W2], threads.seconds_a / threads.seconds_b);
    bench_row("W2 on all cores equals one core bit for bit (samples and phases)",
              threads.same_bits && threads.same_phases ? BENCH_PASS : BENCH_FAIL,
              "%s samples, %s phases", threads.same_bits ? "identical" : "different",
              threads.same_phases ? "identical" : "different");

    // The share of compilation in W2's render.
    f64 compile_times[16];
    i32 compile_runs = repetitions * 3 > 16 ? 16 : repetitions * 3;
    for (i32 i = 0; i < compile_runs; i += 1) {
        pool_empty(POOL_WORKER);
        compiled_piece_init(&compiled, POOL_WORKER);
        f64 started = bench_seconds();
        compile_piece(&workloads[WORKLOAD_W2], 44100, 2, &compiled);
        compile_times[i] = bench_seconds() - started;
    }
    f64 compile_seconds = bench_median(compile_times, compile_runs);
    f64 share = compile_seconds / one_core[WORKLOAD_W2];
    bench_row("W2 compilation < 2 % of its one-core render", share < 0.02 ? BENCH_PASS : BENCH_FAIL,
              "%.2f %% (%.1f ms)", share * 100.0, compile_seconds * 1000.0);

    // The fast path against the reference loop: W1 and W3 whole, W2's first two minutes.
    f64 largest = 0.0;
    bool phases = true;
    for (u8 w = 0; w < WORKLOAD_COUNT; w += 1) {
        Piece* piece = &workloads[w];
        Fraction end = piece->settings.end_time;
        if (w == WORKLOAD_W2) piece->settings.end_time = Fraction{240, 1};
        pool_empty(POOL_WORKER);
        compiled_piece_init(&compiled, POOL_WORKER);
        compile_piece(piece, 44100, 2, &compiled);
        piece->settings.end_time = end;
        Comparison reference = compare(&compiled, 1, 0);
        if (!(reference.largest_difference <= largest)) largest = reference.largest_difference;
        phases = phases && reference.same_phases;
    }
    bench_row("fast path equals the reference within 1e-6 per sample (W1, W3, W2 0-120 s)",
              largest <= 1e-6 && phases ? BENCH_PASS : BENCH_FAIL,
              "largest difference %.3g, running phases %s", largest,
              phases ? "identical" : "different");
    pool_release(POOL_WORKER);
    pool_release(POOL_TMP);
    pool_release(POOL_MAIN);
}

// The comparison with Csound, from the results of bench/csound-compare.sh: the full
// orchestra (three audio-rate ramps per note) as figures, the lean one of the performance
// peer as the targets.
void bench_csound(const BenchOptions* options) {
    FILE* file = options->csound_results ? fopen(options->csound_results, "r") : 0;
    bool seen[2] = {false, false};  // w2, w3 against the lean orchestra
    char missing[512] = "no Csound results";
    if (file) {
        char line[1024];
        while (fgets(line, sizeof(line), file)) {
            char name[16], orchestra[16], path[480];
            double sorvane, csound, ratio;
            if (sscanf(line, "lean-missing %479s", path) == 1) {
                snprintf(missing, sizeof(missing), "the lean orchestra %s is not there", path);
                continue;
            }
            if (sscanf(line, "%15s %15s %lf %lf %lf", name, orchestra, &sorvane, &csound, &ratio) != 5)
                continue;
            bool w2 = strcmp(name, "w2") == 0;
            if (!w2 && strcmp(name, "w3") != 0) continue;
            char target[160];
            if (strcmp(orchestra, "lean") == 0) {
                seen[w2 ? 0 : 1] = true;
                f64 limit = w2 ? 0.8 : 0.6;
                snprintf(target, sizeof(target),
                         "%s one core: sorvane-render time <= %.1fx Csound's, lean orchestra (median ratio)",
                         w2 ? "W2" : "W3", limit);
                bench_row(target, ratio <= limit ? BENCH_PASS : BENCH_FAIL,
                          "%.2fx (sorvane %.2f s, Csound %.2f s, medians)", ratio, sorvane, csound);
            } else {
                snprintf(target, sizeof(target),
                         "%s one core against Csound's full orchestra, three ramps a note (figure)",
                         w2 ? "W2" : "W3");
                bench_row(target, BENCH_FIGURE, "%.2fx (sorvane %.2f s, Csound %.2f s, medians)",
                          ratio, sorvane, csound);
            }
        }
        fclose(file);
    }
    if (!seen[0])
        bench_row("W2 one core: sorvane-render time <= 0.8x Csound's, lean orchestra", BENCH_MISSING,
                  "%s", missing);
    if (!seen[1])
        bench_row("W3 one core: sorvane-render time <= 0.6x Csound's, lean orchestra", BENCH_MISSING,
                  "%s", missing);
}
