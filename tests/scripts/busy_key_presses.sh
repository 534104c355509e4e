#!/bin/sh
# Key presses faster than the frames, on a machine kept busy on purpose, in a real window
# (Xvfb): every frame sleeps 150 ms ("-sleep") while processes burn the processors, and
# a burst of 50 presses arrives 8 ms apart, so each frame gathers a dozen or more. The piece
# saved afterwards must hold the notes exactly where every press, in order, put the cursor
# (`sorvane-render --dump`). Then, in place mode at 1024 pixels, the menu bar's group list
# and global properties buttons (the last ones on the bar) are clicked and their panels
# must show.
set -u
build=$1
source=$2
program=$build/sorvane
work=$(mktemp -d)
xvfb_pid=
pid=
burners=
trap 'kill $burners 2>/dev/null; kill -9 $pid 2>/dev/null; kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work/out" "$work/err" 2>/dev/null; exit 1; }

for tool in xdotool Xvfb import convert; do
    command -v $tool >/dev/null 2>&1 || fail "$tool is missing (scripts/install-deps installs it)"
done

pieces=$work/pieces
mkdir -p "$pieces" "$work/home"
for entry in "$source"/data/*; do ln -s "$entry" "$pieces/"; done
export HOME="$work/home" SDL_AUDIODRIVER=dummy
unset XDG_STATE_HOME
# As in real_window.sh: the graphics driver's allocations defeat the leak check here.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

. "$source/tests/scripts/lib/xvfb.sh"
. "$source/tests/scripts/lib/window.sh"
start_xvfb || fail "Xvfb did not start"
cd "$pieces" || fail "no working folder"

"$program" -sleep 150 >"$work/out" 2>"$work/err" &
pid=$!
find_window || fail "no window titled sorvane appeared"
sleep 2
# Keys down and up with pauses longer than a frame, so that each lands in a frame of its own.
press() {
    focus
    for name in "$@"; do
        xdotool keydown "$name"; sleep 0.06; xdotool keyup "$name"; sleep 0.4
    done
}
# Many presses 8 ms apart: a 150 ms frame gathers a dozen or more. (A release followed
# within 2 ms by a press of the same key is how X reports a held key's auto-repeat, so the
# presses of one key cannot come closer than that; no hand is that fast.)
burst() { focus; xdotool key --delay 8 "$@"; }
repeat() { n=$1; shift; for _ in $(seq "$n"); do printf '%s ' "$@"; done; }

# --- The presses, on a busy machine ---------------------------------------------------------
for _ in 1 2 3; do sh -c 'while :; do :; done' & burners="$burners $!"; done
press Tab 3  # place mode, a duration of one beat
# 30 steps right and a note; 6 steps up the scale (do to ti) and a note; 10 steps left and
# a note; then a note with control held, which leaves the cursor where it is.
keys="$(repeat 30 l) space $(repeat 6 i) space $(repeat 10 j) space ctrl+space"
sent=$(echo $keys | wc -w)
start=$(date +%s%N)
# shellcheck disable=SC2086
burst $keys
took=$((($(date +%s%N) - start) / 1000000))
sleep 2
kill $burners 2>/dev/null
burners=

# Never saved: control + s asks for a name in the file browser.
focus
xdotool keydown ctrl; sleep 0.4; press s; sleep 0.3; xdotool keyup ctrl; sleep 0.5
xdotool type --delay 150 burst.scene; sleep 0.5
press Return
for _ in $(seq 100); do [ -s "$pieces/burst.scene" ] && break; sleep 0.2; done
[ -s "$pieces/burst.scene" ] || fail "the piece was not saved"
"$build/sorvane-render" --dump "$pieces/burst.scene" >"$work/dump" || fail "--dump of the piece"
notes=$(grep '^note ' "$work/dump" | sed 's/^note id=[0-9]* //')
expected=$(printf '%s\n' \
    'group=0 scope=global time=30/1 duration=1/1 pitch=1/1' \
    'group=0 scope=global time=31/1 duration=1/1 pitch=15/8' \
    'group=0 scope=global time=22/1 duration=1/1 pitch=15/8' \
    'group=0 scope=global time=23/1 duration=1/1 pitch=15/8')
[ "$notes" = "$expected" ] || { printf 'notes:\n%s\n' "$notes"; fail "presses were lost or reordered"; }
echo "sent $sent presses in $took ms under load with 150 ms frames: all $sent counted, in order"

# --- The last menu buttons in place mode at 1024 pixels ---------------------------------------
current=$work/current.png
grab() { import -window root -crop "1024x768+$left+$top" +repage "$current" 2>/dev/null; }
blue() { convert "$current" -format "%[fx:int(255*p{$1,$2}.b)]" info:; }
click() {
    xdotool mousemove --sync $((left + $1)) $((top + $2)); sleep 0.5
    xdotool mousedown 1; sleep 0.2; xdotool mouseup 1; sleep 0.8
}
# Buttons of 43 pixels share the 1024 (23 buttons and the theme's three gaps of 10): the
# group list spans 890 to 933, the global properties 976 to 1019.
grab
[ "$(blue 160 200)" -gt 90 ] && [ "$(blue 860 600)" -gt 90 ] || fail "no canvas where the panels will open"
click 911 21
grab
[ "$(blue 160 200)" -lt 90 ] || fail "the group list did not open"
click 997 21
grab
[ "$(blue 860 600)" -lt 90 ] || fail "the global properties did not open"
echo "ok: the group list and global properties buttons open their panels in place mode at 1024 px"

press Escape  # saved: no question, a clean quit
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && fail "the quit key did not end the program"
wait $pid
status=$?
pid=
[ $status -eq 0 ] || fail "exit status $status"
if grep -qE "AddressSanitizer|runtime error|UndefinedBehaviorSanitizer" "$work/err"; then
    fail "sanitizer report"
fi
