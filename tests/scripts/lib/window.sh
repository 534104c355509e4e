# Sourced by the scripts that drive the program's window: find_window waits (30 s at most)
# for the window titled "sorvane" (or the title given) and sets window, left and top, or
# returns 1. The rest act as a person would, in window coordinates ((0, 0) the top-left
# corner): keys down and up with pauses ($key_pause after each), a modifier held well
# before and after its key, clicks where the mouse has already been, screenshots.
find_window() {
    window=$(timeout 30 xdotool search --sync --onlyvisible --name "^${1:-sorvane}\$" 2>/dev/null | head -n 1)
    [ -n "$window" ] || return 1
    geometry=$(xdotool getwindowgeometry "$window")
    left=$(echo "$geometry" | sed -n 's/.*Position: \([0-9]*\),.*/\1/p')
    top=$(echo "$geometry" | sed -n 's/.*Position: [0-9]*,\([0-9]*\).*/\1/p')
}
focus() { xdotool windowfocus --sync "$window" 2>/dev/null || true; }
press() {
    focus
    for name in "$@"; do
        xdotool keydown "$name"
        sleep 0.06
        xdotool keyup "$name"
        sleep "${key_pause:-0.15}"
    done
}
with() {
    focus
    xdotool keydown "$1"
    sleep 0.4
    press "$2"
    sleep 0.3
    xdotool keyup "$1"
    sleep 0.15
}
# A pause after the text, as a person makes before Return.
type_text() { focus; xdotool type --delay 80 "$1"; sleep 0.5; }
# The canvas takes a press only where the mouse was in the frame before: move, then wait.
click() {
    xdotool mousemove --sync $((left + $1)) $((top + $2))
    sleep 0.3
    xdotool mousedown 1
    sleep 0.08
    xdotool mouseup 1
    sleep 0.3
}
# The window's 1024x768 pixels into $current, and "r g b" of one pixel of it.
grab() { import -window root -crop "1024x768+$left+$top" +repage "$current" 2>/dev/null; }
pixel() {
    convert "$current" -crop "1x1+$1+$2" -depth 8 txt:- |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}
# "x d" for each pixel of the rectangle X Y W H of $current, row by row: its x in the
# rectangle and its largest channel difference from the colour "R G B".
distances() {
    convert "$current" -crop "$3x$4+$1+$2" +repage -depth 8 txt:- | awk -v colour="$5" '
        BEGIN { split(colour, want, " ") }
        NR > 1 { split($1, x, ","); split($2, c, /[(),]/); d = 0
                 for (i = 1; i <= 3; i++) {
                     e = c[i + 1] - want[i]; if (e < 0) e = -e; if (e > d) d = e }
                 print x[1], d }'
}
# How many pixels of the rectangle X Y W H lie within LIMIT of "R G B" in every channel, or
# further than LIMIT in some channel.
count_near() { distances "$@" | awk -v limit="$6" '$2 <= limit { n++ } END { print n + 0 }'; }
count_far() { distances "$@" | awk -v limit="$6" '$2 > limit { n++ } END { print n + 0 }'; }
# A panel (dark grey) at X Y, rather than the canvas (navy).
panel_at() { set -- $(pixel "$1" "$2"); [ "$3" -lt 90 ]; }
# Runs CHECK (a shell command) until it holds, for at most SECONDS; 1 if it never does.
poll() {
    end=$(($(date +%s) + $1))
    shift
    until "$@"; do [ "$(date +%s)" -ge "$end" ] && return 1; sleep 0.2; done
}
# wait_for DESCRIPTION SECONDS CHECK: polls CHECK on a fresh grab each time, or fails.
wait_for() {
    description=$1 seconds=$2
    shift 2
    poll "$seconds" grabbed "$@" || fail "waited ${seconds}s for: $description"
}
grabbed() { grab; "$@"; }
not() { ! "$@"; }
running() { kill -0 "$pid" 2>/dev/null; }
wait_file() { poll 20 [ -s "$1" ]; }
# Starts the program (appending its output to $work/out and $work/err) and waits for its
# 1024x768 window, titled $title or "sorvane", and its first frame: the window stays black
# until then (the menu bar, or the drawing test's background, is lighter).
start_program() {
    "$@" >>"$work/out" 2>>"$work/err" &
    pid=$!
    find_window "${title:-sorvane}" || fail "no window titled ${title:-sorvane} appeared"
    echo "$geometry" | grep -q "Geometry: 1024x768" || fail "the window is not 1024x768"
    wait_for "the first frame" 30 not black_at 1000 20
}
black_at() { [ "$(pixel "$1" "$2")" = "0 0 0" ]; }
# The program $pid ends by itself within 30 s, with status 0 and no sanitizer report.
program_ends() {
    poll 30 not running || fail "the program did not end$*"
    wait "$pid"
    status=$?
    pid=
    [ $status -eq 0 ] || fail "exit status $status$*"
    no_sanitizer_report "$work/err"
}
# The quit key, after which the program ends by itself (program_ends).
quit() { press Escape; program_ends "$@"; }
# The piece saved under NAME in the working folder; never saved, it asks for the name.
save_as() {
    with ctrl s
    type_text "$1"
    press Return
    wait_file "$pieces/$1" || fail "$1 was not saved"
}
# The notes of a saved piece as `sorvane-render --dump` lists them, without their ids.
saved_notes() {
    "$build/sorvane-render" --dump "$1" >"$work/dump" || fail "--dump of $1"
    grep '^note ' "$work/dump" | sed 's/^note id=[0-9]* //'
}
