#!/bin/sh
# Everything `make bench` measures, ending in one table: the Csound comparison first
# (whole commands, A B C: sorvane, the full and the lean orchestra), then sorvane_bench
# with its results. BENCH_PAIRS (5) rounds per workload and BENCH_REPETITIONS (3) runs per
# figure; the medians are reported.
#   bench/run.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
pairs=${BENCH_PAIRS:-5}
repetitions=${BENCH_REPETITIONS:-3}
work=$build/bench-work
mkdir -p "$work"
echo "bench: Csound comparison, $pairs pairs per workload (a few minutes)" >&2
"$here/csound-compare.sh" "$build" "$pairs" w2 w3 >"$work/csound.txt"
"$build/sorvane_bench" --data "$here/../data" --tool "$build/sorvane-render" \
    --work "$work" --csound "$work/csound.txt" --repetitions "$repetitions"
