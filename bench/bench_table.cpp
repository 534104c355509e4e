// The table of `make bench`, the machine line above it, and the small timing helpers the
// measures share.
#include "bench_table.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

struct BenchRow {
    char target[120];
    char measured[160];
    i32 verdict;
};

static BenchRow rows[64];
static i32 row_count;

void bench_row(const char* target, i32 verdict, const char* measured_format, ...) {
    if (row_count == (i32)(sizeof(rows) / sizeof(rows[0]))) return;
    BenchRow* row = &rows[row_count++];
    snprintf(row->target, sizeof(row->target), "%s", target);
    va_list args;
    va_start(args, measured_format);
    vsnprintf(row->measured, sizeof(row->measured), measured_format, args);
    va_end(args);
    row->verdict = verdict;
    // Rows appear as they are measured too, so a long run shows progress.
    fprintf(stderr, "bench: %s: %s\n", row->target, row->measured);
}

// "model name" of /proc/cpuinfo, or "unknown processor".
static void processor_name(char* name, size_t size) {
    snprintf(name, size, "unknown processor");
    FILE* file = fopen("/proc/cpuinfo", "r");
    if (!file) return;
    char line[256];
    while (fgets(line, sizeof(line), file)) {
        if (strncmp(line, "model name", 10) != 0) continue;
        const char* value = strchr(line, ':');
        if (!value) break;
        value += 1;
        while (*value == ' ') value += 1;
        snprintf(name, size, "%s", value);
        size_t length = strlen(name);
        if (length > 0 && name[length - 1] == '\n') name[length - 1] = 0;
        break;
    }
    fclose(file);
}

i32 bench_table_print() {
    char processor[128];
    processor_name(processor, sizeof(processor));
    char date[32];
    time_t now = time(0);
    strftime(date, sizeof(date), "%Y-%m-%d %H:%M UTC", gmtime(&now));
    double load[3] = {0, 0, 0};
    FILE* file = fopen("/proc/loadavg", "r");
    if (file) {
        if (fscanf(file, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = -1;
        fclose(file);
    }
    printf("\nsorvane benchmarks, %s, %s, %ld cores, load average %.2f at the end\n\n", date,
           processor, sysconf(_SC_NPROCESSORS_ONLN), load[0]);
    printf("| target | measured | result |\n|---|---|---|\n");
    i32 failed = 0;
    for (i32 i = 0; i < row_count; i += 1) {
        const char* verdict = rows[i].verdict == BENCH_PASS   ? "pass"
                              : rows[i].verdict == BENCH_FAIL ? "FAIL"
                              : rows[i].verdict == BENCH_FIGURE ? "-"
                                                                : "not measured";
        if (rows[i].verdict == BENCH_FAIL || rows[i].verdict == BENCH_MISSING) failed += 1;
        printf("| %s | %s | %s |\n", rows[i].target, rows[i].measured, verdict);
    }
    printf("\n");
    return failed;
}

f64 bench_seconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (f64)now.tv_sec + (f64)now.tv_nsec * 1e-9;
}

f64 bench_median(f64* values, i64 count) {
    if (count <= 0) return 0.0;
    for (i64 i = 1; i < count; i += 1)
        for (i64 j = i; j > 0 && values[j - 1] > values[j]; j -= 1) {
            f64 swap = values[j];
            values[j] = values[j - 1];
            values[j - 1] = swap;
        }
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2.0;
}
