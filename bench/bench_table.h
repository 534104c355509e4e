// The one table `make bench` prints: a row per target with what was measured and whether
// it passed, plus rows of plain figures. Rows are collected while the measures run and
// printed at the end. Single-threaded; bench code only.
#pragma once

#include "base/types.h"

enum BenchVerdict : i32 {
    BENCH_FAIL = 0,
    BENCH_PASS = 1,
    BENCH_FIGURE = 2,   // a figure without a target of its own
    BENCH_MISSING = 3,  // could not be measured (the reason is in `measured`)
};

// printf-style `measured`; the target text is copied.
void bench_row(const char* target, i32 verdict, const char* measured_format, ...)
    __attribute__((format(printf, 3, 4)));
// Prints the table with the machine's processor and core count; returns the number of
// failed or missing rows.
i32 bench_table_print();

// Wall-clock seconds by the monotonic clock.
f64 bench_seconds();
// The median of `count` values (sorted in place).
f64 bench_median(f64* values, i64 count);

// The measures, each adding its rows. `options` come from the command line.
struct BenchOptions {
    const char* data_folder;    // the program's data folder (sounds, fonts, theme)
    const char* csound_results; // lines "w2 SORVANE_S CSOUND_S RATIO" from csound-compare.sh
    const char* render_tool;    // sorvane-render, for the memory peak
    const char* work_folder;    // scratch files
    i32 repetitions;            // timed runs per figure (the median is reported)
};
void bench_render(const BenchOptions* options);
void bench_csound(const BenchOptions* options);
void bench_pieces(const BenchOptions* options);
void bench_lookups(const BenchOptions* options);
void bench_editor(const BenchOptions* options);
void bench_memory(const BenchOptions* options);
void bench_midi_import(const BenchOptions* options);
void bench_playback(const BenchOptions* options);
