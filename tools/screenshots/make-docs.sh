#!/bin/sh
# tools/screenshots/make-docs.sh BUILD SOURCE: retakes docs/interface.png (place mode, the
# help and the save question) and docs/screenshot.png (the demo piece playing, one note
# selected) with the program of BUILD in a 1024x768 window under Xvfb. The view is moved
# by holding keys, so the framing varies a little from run to run; look at the result.
set -u
build=$1
source=$2
out=$source/docs
program=$build/sorvane
work=$(mktemp -d)
xvfb_pid=
pid=
trap 'kill -9 $pid 2>/dev/null; kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/out" "$work/err" 2>/dev/null; exit 1; }
pieces=$work/pieces
mkdir -p "$pieces" "$work/home"
for entry in "$source"/data/*; do ln -s "$entry" "$pieces/"; done
cp "$source/data/examples/just_chords.scene" "$pieces/"
export HOME="$work/home" SDL_AUDIODRIVER=dummy ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
unset XDG_STATE_HOME
. "$source/tests/scripts/lib/xvfb.sh"
. "$source/tests/scripts/lib/window.sh"
start_xvfb || fail "Xvfb did not start"
cd "$pieces" || fail "no folder"
start() {
    "$program" >"$work/out" 2>"$work/err" &
    pid=$!
    find_window || fail "no window"
    sleep 2
}
press() { focus; for name in "$@"; do xdotool keydown "$name"; sleep 0.06; xdotool keyup "$name"; sleep 0.2; done; }
with() { focus; xdotool keydown "$1"; sleep 0.3; press "$2"; sleep 0.2; xdotool keyup "$1"; sleep 0.2; }
hold() { focus; xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; sleep 0.3; }
click() { xdotool mousemove --sync $((left + $1)) $((top + $2)); sleep 0.4; xdotool mousedown 1; sleep 0.08; xdotool mouseup 1; sleep 0.4; }
shot() { import -window root -crop "1024x768+$left+$top" +repage "$1"; }
quit() { kill -9 $pid; wait $pid 2>/dev/null; pid=; }

# --- Place mode, the help and the save question
start
press Tab 3 space i i space i space k k k 2 space
press 4 i i i i
xdotool mousemove --sync $((left + 700)) $((top + 500)); sleep 0.3
press F1
press Escape
sleep 0.5
shot "$out/interface.png"
quit
echo "$out/interface.png"

# --- The demo piece playing, one note selected
start
with ctrl o
xdotool type --delay 100 just_chords.scene; sleep 0.5
press Return
sleep 1
hold q 6
focus; xdotool keydown shift; sleep 0.2; hold d 4.2; xdotool keyup shift; sleep 0.3
hold w 0.6
shot "$work/view.png"
# A melody note (the red spheres): the first reddish pixel below the bar, towards the left.
at=$(convert "$work/view.png" -crop 500x600+60+80 +repage txt:- | awk '
    NR > 1 { split($2, c, /[(),]/)
             if (c[2] > 180 && c[3] < 120 && c[4] < 120) { split($1, p, /[,:]/); print p[1] + 60 + 3, p[2] + 80 + 6; exit } }')
[ -n "$at" ] || fail "no melody note in view"
click $at
click 324 24  # play: the seventh button, after the 12-pixel gap behind export
sleep 6
shot "$out/screenshot.png"
quit
echo "$out/screenshot.png"
