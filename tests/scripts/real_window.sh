#!/bin/sh
# The real program in a real window under Xvfb and Mesa: it opens a 1024x768 window titled
# "sorvane", keeps running after an unknown argument, and quits cleanly with status 0
# and no sanitizer report when the quit key is sent. `sorvane PIECE` shows the piece at
# start-up; --help and --version print and quit without a window.
. "$(dirname "$0")/lib/script.sh"
program=$build/sorvane
use_window
cd "$source/data" || fail "no data folder"

start_program "$program" -x
sleep 1
kill -0 $pid 2>/dev/null || fail "the program stopped by itself"
quit

# --help and --version need no display at all.
env -u DISPLAY "$program" --version >"$work/out" 2>"$work/err" || fail "--version failed"
grep -qx "sorvane [0-9.]*" "$work/out" || fail "--version did not print the version"
env -u DISPLAY "$program" --help >"$work/out" 2>"$work/err" || fail "--help failed"
grep -q "^usage: sorvane \[PIECE\]" "$work/out" || fail "--help did not print the usage"

# A piece on the command line: the demo's first note (beats 0 to 4 at 1/1) is drawn just
# right of the window's centre, where an empty piece shows the red line of 1/1.
start_program "$program" examples/just_chords.scene
note_drawn() { set -- $(pixel 560 384); [ "$1" -gt 90 ] && [ "$3" -gt 200 ]; }
wait_for "the piece's first note" 10 note_drawn
quit " with a piece"
echo "ok: window 1024x768, unknown argument skipped, quit with status 0, a piece opened at start, --help, --version"
