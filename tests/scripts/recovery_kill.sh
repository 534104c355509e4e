#!/bin/sh
# Crash recovery of the real program in a real window (Xvfb): with "-recovery-seconds 1",
# place three notes, wait until the recovery file holds them, kill the program with
# SIGKILL, start it again, answer the recovery question with "restore", save the piece
# through the file browser and check with `sorvane-render --dump` that it holds the three
# notes; a clean quit then leaves no recovery file. The state folder is a temporary
# XDG_STATE_HOME, the working folder a temporary one beside links to the data.
set -u
build=$1
source=$2
program=$build/sorvane
work=$(mktemp -d)
xvfb_pid=
pid=
trap 'kill -9 $pid 2>/dev/null; kill $xvfb_pid 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; echo "--- program output"; cat "$work"/out* "$work"/err* 2>/dev/null; exit 1; }

for tool in xdotool Xvfb; do
    command -v $tool >/dev/null 2>&1 || fail "$tool is missing (scripts/install-deps installs it)"
done

pieces=$work/pieces
mkdir -p "$pieces" "$work/state" "$work/home"
for entry in "$source"/data/*; do ln -s "$entry" "$pieces/"; done
export HOME="$work/home" XDG_STATE_HOME="$work/state" SDL_AUDIODRIVER=dummy
# As in real_window.sh: the graphics driver's allocations defeat the leak check here.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
recovery=$work/state/sorvane/recovery.scene

. "$source/tests/scripts/lib/xvfb.sh"
start_xvfb || fail "Xvfb did not start"
cd "$pieces" || fail "no working folder"

window=
start() {
    "$program" -recovery-seconds 1 >"$work/out$1" 2>"$work/err$1" &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^sorvane$' 2>/dev/null | head -n 1)
    [ -n "$window" ] || fail "no window titled sorvane appeared"
    sleep 2  # the first frames
}
# Keys down and up with pauses, so that each lands in a frame of its own.
press() {
    xdotool windowfocus --sync "$window" 2>/dev/null
    for name in "$@"; do
        xdotool keydown "$name"; sleep 0.06; xdotool keyup "$name"; sleep 0.15
    done
}
click() {
    geometry=$(xdotool getwindowgeometry "$window")
    left=$(echo "$geometry" | sed -n 's/.*Position: \([0-9]*\),.*/\1/p')
    top=$(echo "$geometry" | sed -n 's/.*Position: [0-9]*,\([0-9]*\).*/\1/p')
    xdotool mousemove --sync $((left + $1)) $((top + $2)); sleep 0.3
    xdotool mousedown 1; sleep 0.08; xdotool mouseup 1; sleep 0.3
}
wait_file() {
    for _ in $(seq 100); do [ -s "$1" ] && return 0; sleep 0.2; done
    return 1
}

# --- The session that dies ----------------------------------------------------------------
start 1
press Tab space space space
wait_file "$recovery" || fail "no recovery file within 20 s of placing notes"
sleep 2.5  # one more interval: the last write holds every note
kill -9 $pid
wait $pid 2>/dev/null
pid=
[ -s "$recovery" ] || fail "the recovery file did not outlive the killed program"
grep -q "^sorvane recovery 1$" "$recovery" || fail "the recovery file has no marker"

# --- The next start offers it ---------------------------------------------------------------
start 2
click 330 482  # "restore", where the save question has "yes"
# Never saved: control + s asks for a name in the file browser.
xdotool windowfocus --sync "$window" 2>/dev/null
xdotool keydown ctrl; sleep 0.4; press s; sleep 0.3; xdotool keyup ctrl; sleep 0.5
xdotool type --delay 80 restored.scene; sleep 0.5
press Return
wait_file "$pieces/restored.scene" || fail "the restored piece was not saved"
press Escape  # saved: no question, a clean quit
for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
kill -0 $pid 2>/dev/null && fail "the quit key did not end the program"
wait $pid
status=$?
pid=
[ $status -eq 0 ] || fail "exit status $status"
[ -e "$recovery" ] && fail "a clean quit left the recovery file"
if grep -qE "AddressSanitizer|runtime error|UndefinedBehaviorSanitizer" "$work"/err*; then
    fail "sanitizer report"
fi

"$build/sorvane-render" --dump "$pieces/restored.scene" >"$work/dump" || fail "--dump of the restored piece"
notes=$(grep '^note ' "$work/dump" | sed 's/^note id=[0-9]* //')
expected=$(printf '%s\n' \
    'group=0 scope=global time=0/1 duration=1/1 pitch=1/1' \
    'group=0 scope=global time=1/1 duration=1/1 pitch=1/1' \
    'group=0 scope=global time=2/1 duration=1/1 pitch=1/1')
[ "$notes" = "$expected" ] || { printf 'notes:\n%s\n' "$notes"; fail "the restored notes are not the placed ones"; }
echo "ok: killed with three unsaved notes, restored them at the next start, saved, quit cleanly"
