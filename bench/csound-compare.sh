#!/bin/sh
# Times sorvane-render on one thread against Csound rendering the same notes with the same
# envelope and control curves (bench/csound/workloads.orc, ksmps 64, 16-bit WAV), whole
# commands by wall clock, alternately A B A B for PAIRS pairs per workload, and prints one
# line per workload: name, sorvane median s, Csound median s, median of the pair ratios.
#   bench/csound-compare.sh BUILD_DIR [PAIRS] [WORKLOADS...]      (defaults: 5, w2 w3)
set -eu
build=$(cd "$1" && pwd)
pairs=${2:-5}
shift; [ $# -gt 0 ] && shift
workloads=${*:-w2 w3}
here=$(cd "$(dirname "$0")" && pwd)
data=$here/../data
work=$build/csound
mkdir -p "$work"

now() { date +%s.%N; }

# Median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for w in $workloads; do
    "$build/sorvane-piecegen" "$w" "$work/$w.scene"
    "$build/sorvane-csound-score" "$w" "$work/$w.sco"
    : >"$work/$w.times"
    i=0
    while [ "$i" -lt "$pairs" ]; do
        a0=$(now)
        "$build/sorvane-render" --threads 1 "$work/$w.scene" "$work/$w-sorvane.wav" --data "$data"
        a1=$(now)
        csound -d -m0 --nodisplays -W -s -o "$work/$w-csound.wav" \
            "$here/csound/workloads.orc" "$work/$w.sco" >"$work/$w-csound.log" 2>&1
        b1=$(now)
        echo "$a0 $a1 $b1" | awk '{ a = $2 - $1; b = $3 - $2; printf "%.4f %.4f %.4f\n", a, b, a / b }' >>"$work/$w.times"
        i=$((i + 1))
    done
    sorvane=$(cut -d' ' -f1 "$work/$w.times" | median)
    csound=$(cut -d' ' -f2 "$work/$w.times" | median)
    ratio=$(cut -d' ' -f3 "$work/$w.times" | median)
    echo "$w $sorvane $csound $ratio"
done
