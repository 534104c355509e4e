// sorvane_bench: runs every benchmark of the performance targets and prints one table of
// target, measured figure and pass or fail (bench/README.md).
//   sorvane_bench --data DIR --tool SORVANE_RENDER --work DIR [--csound RESULTS]
//                 [--repetitions N]
//                 [--only render|csound|pieces|lookups|editor|memory|midi_import|playback]
// Exit status 1 when a target failed or could not be measured.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bench_table.h"

int main(int argc, char** argv) {
    BenchOptions options = {};
    options.data_folder = "data";
    options.work_folder = "/tmp";
    options.repetitions = 3;
    const char* only = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--data") == 0) options.data_folder = argv[i + 1];
        else if (strcmp(argv[i], "--csound") == 0) options.csound_results = argv[i + 1];
        else if (strcmp(argv[i], "--tool") == 0) options.render_tool = argv[i + 1];
        else if (strcmp(argv[i], "--work") == 0) options.work_folder = argv[i + 1];
        else if (strcmp(argv[i], "--repetitions") == 0) options.repetitions = atoi(argv[i + 1]);
        else if (strcmp(argv[i], "--only") == 0) only = argv[i + 1];
        else {
            fprintf(stderr, "sorvane_bench: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (options.repetitions < 1) options.repetitions = 1;
    struct {
        const char* name;
        void (*run)(const BenchOptions*);
    } measures[] = {// First, while this process is small: a child's peak counts what it
                    // shared with this process between the fork and the exec.
                    {"memory", bench_memory},
                    {"render", bench_render}, {"csound", bench_csound}, {"pieces", bench_pieces},
                    {"lookups", bench_lookups}, {"editor", bench_editor},
                    {"midi_import", bench_midi_import}, {"playback", bench_playback}};
    for (auto& measure : measures)
        if (!only || strcmp(only, measure.name) == 0) measure.run(&options);
    return bench_table_print() > 0 ? 1 : 0;
}
