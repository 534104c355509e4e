#!/bin/sh
# tools/screenshots/make-docs.sh BUILD SOURCE: retakes the README's pictures of the program
# (docs/interface.png, screenshot.png, canvas.png, group_list.png, sound_panel.png,
# file_browser.png, global_properties.png and color_picker.png) with the program of BUILD
# in a 1024x768 window under Xvfb, driving it as a person would: keys, clicks and drags at
# fixed places of the window. The view is moved by holding keys, so the framing varies a
# little from run to run (the canvas and sound panel views are measured and corrected as
# they go); look at the results.
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
# A folder of pieces for the file browser.
mkdir -p "$pieces/pieces/drafts"
cp "$source/data/examples/just_chords.scene" "$pieces/pieces/chorale.scene"
cp "$source/data/examples/curves.scene" "$pieces/pieces/etude.scene"
cp "$source/data/examples/recorded_waves.scene" "$pieces/pieces/drafts/sketch.scene"
export HOME="$work/home" SDL_AUDIODRIVER=dummy ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
unset XDG_STATE_HOME
. "$source/tests/scripts/lib/xvfb.sh"
. "$source/tests/scripts/lib/window.sh"
start_xvfb || fail "Xvfb did not start"
cd "$pieces" || fail "no folder"
start() {
    rm -rf "$HOME/.local/state"  # a killed session's recovery file would ask first
    "$program" >"$work/out" 2>"$work/err" &
    pid=$!
    find_window || fail "no window"
    sleep 2
}
press() { focus; for name in "$@"; do xdotool keydown "$name"; sleep 0.06; xdotool keyup "$name"; sleep 0.2; done; }
with() { focus; xdotool keydown "$1"; sleep 0.3; press "$2"; sleep 0.2; xdotool keyup "$1"; sleep 0.2; }
hold() { focus; xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; sleep 0.3; }
# The window's place is looked up again before every click and capture: it can still move
# after it first appears.
where() { find_window || fail "no window"; }
click() { where; xdotool mousemove --sync $((left + $1)) $((top + $2)); sleep 0.4; xdotool mousedown 1; sleep 0.08; xdotool mouseup 1; sleep 0.4; }
drag() {
    where; xdotool mousemove --sync $((left + $1)) $((top + $2)); sleep 0.3; xdotool mousedown 1; sleep 0.2
    xdotool mousemove --sync $((left + ($1 + $3) / 2)) $((top + ($2 + $4) / 2)); sleep 0.1
    xdotool mousemove --sync $((left + $3)) $((top + $4)); sleep 0.2; xdotool mouseup 1; sleep 0.4
}
away() { where; xdotool mousemove --sync $((left + $1)) $((top + $2)); sleep 0.4; }
# type_into X Y TEXT: replaces the text of the field at X Y.
type_into() { click "$1" "$2"; with ctrl a; xdotool type --delay 80 "$3"; sleep 0.3; }
open_piece() {
    with ctrl o
    xdotool type --delay 100 "$1"; sleep 0.5
    press Return
    sleep 1
}
# melody_note X Y W H: where to click a melody note of just_chords (the red spheres) in the
# view: just inside the first reddish pixel of that rectangle, scanning by rows.
melody_note() {
    shot "$work/view.png" >/dev/null
    convert "$work/view.png" -crop "$3x$4+$1+$2" +repage txt:- | awk -v x="$1" -v y="$2" '
        NR > 1 { split($2, c, /[(),]/)
                 if (c[2] > 180 && c[3] < 120 && c[4] < 120) { split($1, p, /[,:]/); print p[1] + x + 3, p[2] + y + 6; exit } }'
}
# frame ROW NEAR FAR LEFT RIGHT TEST TOP BOTTOM: zooms and moves the view until the measure
# lines crossing ROW of the window (or rows below it) are NEAR to FAR pixels apart, the
# first of them lies between LEFT and RIGHT, and the first box below the top of the canvas,
# 150 pixels right of that line, whose colour passes the awk TEST on r, g and b (six pixels
# of it in a column) starts between TOP and BOTTOM.
# Holding a key moves the view by an amount that depends on the frame rate, so the view is
# measured after every step.
frame() {
    row=$1 near=$2 far=$3 from=$4 to=$5 test=$6 top=$7 bottom=$8
    for _ in $(seq 80); do
        shot "$work/view.png" >/dev/null
        # Notes can hide a line on one row, so the leftmost line found on several rows counts.
        set -- $(for r in $row $((row + 60)) $((row + 120)) $((row + 180)); do
            convert "$work/view.png" -crop "1024x1+0+$r" +repage txt:- | awk '
                NR > 1 { split($2, c, /[(),]/); split($1, p, /[,:]/)
                         line = c[4] > 120 && c[2] < 110 && c[3] < 110
                         if (line && !was) { if (n++ == 0) first = p[1]; else { print first, p[1] - first; exit } }
                         was = line }'
        done | sort -n | head -n 1)
        [ $# -eq 2 ] || fail "no measure lines in view"
        if [ "$2" -gt "$far" ]; then hold q 0.25
        elif [ "$2" -lt "$near" ]; then hold e 0.25
        elif [ "$1" -gt "$to" ]; then hold d 0.2
        elif [ "$1" -lt "$from" ]; then hold a 0.2
        else
            y=$(convert "$work/view.png" -crop "1x720+$(($1 + 150))+48" +repage txt:- | awk "
                NR > 1 { split(\$2, c, /[(),]/); r = c[2]; g = c[3]; b = c[4]
                         if (!($test)) n = 0; else if (++n == 6) { split(\$1, p, /[,:]/); print p[2] + 48 - 5; exit } }")
            if [ -z "$y" ] || [ "$y" -gt "$bottom" ]; then hold s 0.2
            elif [ "$y" -lt "$top" ]; then hold w 0.2
            else return 0
            fi
        fi
    done
    fail "the view could not be framed"
}
# shot FILE: the window as it is on the screen. A capture taken while the window is being
# drawn comes out black at the bottom (the canvas is never pure black there); it is taken
# again.
shot() {
    for _ in 1 2 3 4 5 6 7 8; do
        where; import -window root -crop "1024x768+$left+$top" +repage -strip "$1"
        [ "$(convert "$1" -format '%[fx:p{0,767}.r + p{0,767}.g + p{0,767}.b == 0]' info:)" = 1 ] || break
        sleep 0.3
    done
    echo "$1"
}
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

# --- The demo piece playing, one note selected
start
open_piece just_chords.scene
hold q 6
focus; xdotool keydown shift; sleep 0.2; hold d 4.2; xdotool keyup shift; sleep 0.3
hold w 0.6
at=$(melody_note 60 80 500 600)
[ -n "$at" ] || fail "no melody note in view"
click $at
click 324 24  # play: the seventh button, after the 12-pixel gap behind export
sleep 6
shot "$out/screenshot.png"
quit

# --- The canvas: two groups of notes, the key, the measure, the tempo and the volumes
start
open_piece just_chords.scene
hold q 4
# Eight bars of about 48 pixels in the middle, the key's green box a little above halfway.
frame 58 46 51 280 320 'g > r + 40 && g > b + 10' 425 455
at=$(melody_note 0 50 1024 400)
[ -n "$at" ] || fail "no melody note in view"
click $at
away 1000 400
shot "$out/canvas.png"
quit

# --- The group list: a folder of two groups, a hidden group, one group selected
start
open_piece just_chords.scene
click 523 24  # the group list: the sphere after the mode switch
rows=93       # the first row of the list; rows are 24 pixels apart
row() { click 150 $((rows + 24 * $1)); }
rename() { type_into 200 391 "$1"; }
click 61 426; click 31 426; click 31 426  # new folder, two new groups
rename hats; row 3; rename drums; row 2; rename percussion
click 31 426; rename pads; click 90 426  # a third group, hidden
click 29 $((rows + 48))  # open the folder: its closing bar comes after it
row 4; focus; xdotool keydown shift; sleep 0.2; row 5; xdotool keyup shift; sleep 0.2
drag 150 $((rows + 96)) 150 $((rows + 54))  # both into the folder: the lower half of its row
row 1
away 700 600
shot "$out/group_list.png"
quit

# --- The sound panel of the three-wave sound, its blend curves beside it
start
open_piece examples/recorded_waves.scene
hold q 0.6
# Bars of eight beats about 245 pixels apart, time 0 near the left, the upper sound's
# orange box (the bowed group's) starting near 542.
frame 58 235 255 180 230 'r > 120 && g > 70 && g < 100 && b < 65' 527 557
click 300 $((y + 12))  # frame left y at the top of that box
press space
drag 420 215 760 225
away 1000 760
shot "$out/sound_panel.png"
quit

# --- The file browser in a folder of pieces, one picked
start
with ctrl o
click 395 256  # "pieces", below "examples"
click 418 294  # the second piece
away 500 294
shot "$out/file_browser.png"
quit

# --- The global properties of a new piece, then the colour picker on its background
start
press Tab 2 space Tab  # one note, so that the canvas is not empty
click 619 24  # the gear
click 918 495  # sample type: short becomes long
type_into 918 529 1/2
type_into 918 563 64
click 800 403  # the panel keeps the values, no field has the keyboard
away 600 200
shot "$out/global_properties.png"
click 918 727  # the background's swatch
drag 616 342 616 368  # the hue strip
drag 500 300 534 411  # saturation and value
away 560 600
shot "$out/color_picker.png"
quit
