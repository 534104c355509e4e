#!/bin/sh
# The real program in a real window under Xvfb and Mesa: it opens a 1024x768 window titled
# "sorvane", keeps running, reports an unknown argument, and quits cleanly with status 0
# and no sanitizer report when the quit key is sent. `sorvane PIECE` shows the piece at
# start-up; --help and --version print and quit without a window.
set -u
build=$1
source=$2
program=$build/sorvane
work=$(mktemp -d)
xvfb_pid=
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work/out" "$work/err" 2>/dev/null; exit 1; }

# The quit key to $window: the program $pid ends with status 0 and no sanitizer report.
quit_cleanly() {
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key --clearmodifiers Escape
    for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    if kill -0 $pid 2>/dev/null; then kill $pid; fail "the quit key did not end the program$1"; fi
    wait $pid
    status=$?
    [ $status -eq 0 ] || fail "exit status $status$1"
    if grep -qE "AddressSanitizer|LeakSanitizer|runtime error|UndefinedBehaviorSanitizer" "$work/err"; then
        fail "sanitizer report$1"
    fi
}

. "$source/tests/scripts/lib/xvfb.sh"
start_xvfb || fail "Xvfb did not start"

cd "$source/data" || fail "no data folder"
# The leak check stays off here: the graphics driver keeps allocations it made at start-up
# and is unloaded before the check runs, so its frames cannot be told apart from ours (and
# the full stack walks that could tell them apart hang inside the software rasteriser).
# The headless end-to-end tests run the same program code with the leak check on.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
SDL_AUDIODRIVER=dummy "$program" -x >"$work/out" 2>"$work/err" &
pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^sorvane$' 2>/dev/null | head -n 1)
[ -n "$window" ] || fail "no window titled sorvane appeared"
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "1024x768" ] || fail "window is $geometry, not 1024x768"

sleep 1
kill -0 $pid 2>/dev/null || fail "the program stopped by itself"
grep -qx "unknown argument: -x" "$work/out" || fail "no 'unknown argument: -x' on standard output"

quit_cleanly ""

# --help and --version need no display at all.
env -u DISPLAY "$program" --version >"$work/out" 2>"$work/err" || fail "--version failed"
grep -qx "sorvane [0-9.]*" "$work/out" || fail "--version did not print the version"
env -u DISPLAY "$program" --help >"$work/out" 2>"$work/err" || fail "--help failed"
grep -q "^usage: sorvane \[PIECE\]" "$work/out" || fail "--help did not print the usage"

# A piece on the command line: the demo's first note (beats 0 to 4 at 1/1, where the
# canvas's centre lines cross) is drawn just right of the window's centre, where an empty
# piece shows the red line of 1/1.
SDL_AUDIODRIVER=dummy "$program" examples/just_chords.scene >"$work/out" 2>"$work/err" &
pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^sorvane$' 2>/dev/null | head -n 1)
[ -n "$window" ] || fail "no window with the piece appeared"
position=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
set -- $position
note=
for _ in $(seq 50); do
    import -window root -crop "1x1+$(($1 + 560))+$(($2 + 384))" +repage "$work/pixel.png" 2>/dev/null
    rgb=$(convert "$work/pixel.png" -format "%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]" info:)
    set -- $position $rgb
    if [ "$3" -gt 90 ] && [ "$5" -gt 200 ]; then note=1; break; fi
    sleep 0.2
done
[ -n "$note" ] || fail "the piece's first note is not drawn (pixel $rgb)"
quit_cleanly " with a piece"
echo "ok: window 1024x768, unknown argument reported, quit with status 0, a piece opened at start, --help, --version"
