#!/bin/sh
# Key presses faster than the frames, on a machine kept busy on purpose, in a real window
# (Xvfb): the saved piece holds the notes exactly where every press, in order, put the
# cursor. Then the last buttons of the menu bar in place mode open their panels.
. "$(dirname "$0")/lib/script.sh"
use_window
use_working_folder

start_program "$build/sorvane" -sleep 150
key_pause=0.4  # longer than a frame, so that each lands in a frame of its own
# Presses 8 ms apart: a 150 ms frame gathers a dozen or more. (A release followed
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

save_as burst.scene
notes=$(saved_notes "$pieces/burst.scene")
expected=$(printf '%s\n' \
    'group=0 scope=global time=30/1 duration=1/1 pitch=1/1' \
    'group=0 scope=global time=31/1 duration=1/1 pitch=15/8' \
    'group=0 scope=global time=22/1 duration=1/1 pitch=15/8' \
    'group=0 scope=global time=23/1 duration=1/1 pitch=15/8')
[ "$notes" = "$expected" ] || { printf 'notes:\n%s\n' "$notes"; fail "presses were lost or reordered"; }
echo "sent $sent presses in $took ms under load with 150 ms frames: all $sent counted, in order"

# --- The last menu buttons in place mode at 1024 pixels ---------------------------------------
# Buttons of 43 pixels share the 1024 (23 buttons and the theme's three gaps of 10): the
# group list spans 890 to 933, the global properties 976 to 1019.
grab
panel_at 160 200 || panel_at 860 600 && fail "no canvas where the panels will open"
click 911 21
wait_for "the group list" 10 panel_at 160 200
click 997 21
wait_for "the global properties" 10 panel_at 860 600
echo "ok: the group list and global properties buttons open their panels in place mode at 1024 px"

quit  # saved: no question, a clean quit
