#!/bin/sh
# Times sorvane-render on one thread against Csound rendering the same notes with the same
# envelope and control curves, whole commands by wall clock, alternately A B C A B C for
# PAIRS rounds per workload: sorvane, then Csound with bench/csound/workloads.orc (three
# audio-rate ramps per note), then Csound with the lean orchestra of the performance peer
# (../shared/perf-peer/workloads-lean.orc from the repository's root: one audio-rate
# linseg, as a Csound user writes it) when that file is there. ksmps 64, 16-bit WAV.
# Prints one line per workload and orchestra: name, orchestra (full or lean), sorvane
# median s, Csound median s, median of the pair ratios; and a line "lean-missing PATH"
# when the lean orchestra is absent.
#   bench/csound-compare.sh BUILD_DIR [PAIRS] [WORKLOADS...]      (defaults: 5, w2 w3)
set -eu
build=$(cd "$1" && pwd)
pairs=${2:-5}
shift; [ $# -gt 0 ] && shift
workloads=${*:-w2 w3}
here=$(cd "$(dirname "$0")" && pwd)
data=$here/../data
lean=$here/../../shared/perf-peer/workloads-lean.orc
work=$build/csound
mkdir -p "$work"

now() { date +%s.%N; }

# Median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Csound on orchestra $1 for workload $2 into $3.
csound_run() {
    csound -d -m0 --nodisplays -W -s -o "$3" "$1" "$work/$2.sco" >"$work/$2-csound.log" 2>&1
}

[ -f "$lean" ] || echo "lean-missing $lean"
for w in $workloads; do
    "$build/sorvane-piecegen" "$w" "$work/$w.scene"
    "$build/sorvane-csound-score" "$w" "$work/$w.sco"
    : >"$work/$w.times"
    i=0
    while [ "$i" -lt "$pairs" ]; do
        a0=$(now)
        "$build/sorvane-render" --threads 1 "$work/$w.scene" "$work/$w-sorvane.wav" --data "$data"
        a1=$(now)
        csound_run "$here/csound/workloads.orc" "$w" "$work/$w-csound.wav"
        b1=$(now)
        c1=$b1
        [ -f "$lean" ] && csound_run "$lean" "$w" "$work/$w-lean.wav" && c1=$(now)
        echo "$a0 $a1 $b1 $c1" | awk '{ a = $2 - $1; b = $3 - $2; c = $4 - $3; printf "%.4f %.4f %.4f %.4f %.4f\n", a, b, a / b, c, (c > 0 ? a / c : 0) }' >>"$work/$w.times"
        i=$((i + 1))
    done
    sorvane=$(cut -d' ' -f1 "$work/$w.times" | median)
    echo "$w full $sorvane $(cut -d' ' -f2 "$work/$w.times" | median) $(cut -d' ' -f3 "$work/$w.times" | median)"
    [ -f "$lean" ] && echo "$w lean $sorvane $(cut -d' ' -f4 "$work/$w.times" | median) $(cut -d' ' -f5 "$work/$w.times" | median)"
done
exit 0
