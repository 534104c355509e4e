#!/bin/sh
# The acceptance run: the installed program in a real window (Xvfb and Mesa), driven with
# xdotool as a person would, from placing notes through playing, exporting, saving and
# quitting to opening the piece again. The screenshots stay in BUILD/acceptance/.
. "$(dirname "$0")/lib/script.sh"
artefacts=$build/acceptance
rm -rf "$artefacts"
mkdir -p "$artefacts"
echo "screenshots: $artefacts"

# --- The installation and the user ------------------------------------------------------
prefix=$work/prefix
"$source/packaging/install.sh" install "$build" "$prefix" >"$work/out" 2>&1 || fail "install failed"
export HOME="$work/home"
unset XDG_DATA_HOME
mkdir -p "$HOME"
pieces=$HOME/.local/share/sorvane  # the launcher's working folder: the browser starts here

use_window sox soxi xprop

# --- Screen helpers (window coordinates, y downward) -----------------------------------------
shots=0
shot() {
    shots=$((shots + 1))
    grab
    cp "$current" "$artefacts/$(printf '%02d' $shots)-$1.png"
}
# The x of the play cursor: the first column of row 600 in the play colour, or -1.
cursor_x() {
    distances 0 600 1024 1 "120 224 158" |
        awk '$2 <= 23 { x = $1; exit } END { print (x == "" ? -1 : x) }'
}
# Light text in the lower right corner: "generating samples..." or "# selected: N".
status_shown() { [ "$(count_near 600 725 414 40 "230 232 240" 23)" -gt 15 ]; }
# A panel over the middle of the canvas.
panel_shown() { panel_at 450 450; }
# answer WHAT TEXT: the panel WHAT opens (a screenshot), takes TEXT and Return, and closes.
answer() {
    wait_for "the $1" 20 panel_shown
    shot "$(echo "$1" | tr ' ' -)"
    type_text "$2"
    press Return
    wait_for "the $1 to close" 20 not panel_shown
}

key_pause=0.12  # as a person types; busy_key_presses.sh presses faster than the frames

# Canvas positions under the start-up camera (centre of the window at time 0, pitch 1;
# 38.4 pixels a unit): a time in beats and a row (8 log2 of the pitch) to window pixels.
canvas_x() { awk -v t="$1" 'BEGIN { printf "%d", 512 + t * 38.4 }'; }
canvas_y() { awk -v p="$1" 'BEGIN { printf "%d", 384 - 8 * log(p) / log(2) * 38.4 }'; }
# A note (the group's red, shaded) in the middle of the beat from time T at pitch P.
note_at() {
    set -- $(pixel "$(canvas_x "$1.5")" "$(canvas_y "$2")")
    [ "$1" -gt 150 ] && [ "$2" -lt 110 ]
}
four_notes() { note_at 0 1 && note_at 1 1.125 && note_at 2 1.25 && note_at 3 1.3333; }
moved_note() { note_at 4 1.3333 && ! note_at 2 1.25; }
opened_notes() { note_at 0 1 && note_at 1 1.125 && note_at 3 1.3333 && note_at 4 1.3333; }
kinds_shown() { set -- $(pixel 858 $MENU_Y); [ "$1" -gt 150 ] && [ "$3" -gt 200 ]; }
# While it plays, the play button shows pause: two bars with a gap in the middle.
playing() { set -- $(pixel $PLAY_X $MENU_Y); [ "$2" -lt 150 ]; }
cursor_shown() { [ "$(cursor_x)" -ge 0 ] && ! status_shown; }
cursor_gone() { [ "$(cursor_x)" -lt 0 ] && ! playing; }
# Further right, or past the window's right edge (2 beats, 77 pixels, a second) still playing.
cursor_beyond() { x=$(cursor_x); [ "$x" -gt "$first_x" ] || { [ "$x" -lt 0 ] && playing; }; }

# Menu bar buttons: 48 pixels each (new, open, save, undo, redo, export, ...), a gap of 10
# after export and after stop; in place mode, where the ten kinds follow the mode button,
# the 23 buttons share the 1024 pixels at 43 each.
MENU_Y=24
EXPORT_X=264 PLAY_X=322 STOP_X=370 NOTE_X=471 KEY_X=514 SOUND_X=729

# --- First session ---------------------------------------------------------------------------
start_program "$prefix/bin/sorvane"
on_fail="shot failure"
shot start
xprop -id "$window" WM_CLASS | grep -q '"sorvane", "sorvane"' || fail "WM_CLASS is not the desktop entry's"

# Place mode shows the ten kinds; the text kind's icon sits at x 858.
kinds_shown && fail "kind buttons in select mode"
press Tab
wait_for "place mode's kind buttons" 20 kinds_shown
shot place-mode

# A duration of 8 beats typed into the duration entry, then a key and a sound over them,
# an octave and two octaves below the notes, placed with control so the cursor stays.
press h
answer "duration entry" 8
with shift k
click $KEY_X $MENU_Y
with ctrl space
with shift k
click $SOUND_X $MENU_Y
with ctrl space
with shift i
with shift i
# Four notes of a beat: do re mi fa of the key's scale.
click $NOTE_X $MENU_Y
press 3 space i space i space i space
wait_for "four notes in the key: do re mi fa" 20 four_notes
shot notes-placed

# Select mode; pick mi and move it two beats later and one scale step up, to fa.
press Tab
click "$(canvas_x 2.5)" "$(canvas_y 1.25)"
wait_for "'# selected: 1'" 20 status_shown
press l l i
wait_for "the note moved to time 4, pitch 4/3" 20 moved_note
shot note-moved
click 150 600  # an empty spot lets go of the selection
wait_for "the selection to clear" 20 not status_shown

# Play: the rendering is made ("generating samples..." while it is), then the cursor moves.
click $PLAY_X $MENU_Y
wait_for "the rendering and the play cursor" 60 cursor_shown
first_x=$(cursor_x)
wait_for "the play cursor to move" 20 cursor_beyond
shot playing-later
click $STOP_X $MENU_Y
wait_for "the play cursor to go after stop" 20 cursor_gone
shot stopped

# Export through the file browser, into the working folder.
click $EXPORT_X $MENU_Y
answer "export file browser" first.wav
exported() { [ -s "$pieces/first.wav" ] && ! status_shown; }
wait_for "first.wav in $pieces" 60 exported
shot exported
# 44.1 kHz stereo, the 60 s of 120 beats; the notes sound in the first two seconds (and
# the file is not silent) and nothing sounds after ten.
format="$(soxi -r "$pieces/first.wav") $(soxi -c "$pieces/first.wav") $(soxi -D "$pieces/first.wav")"
stat() { sox "$pieces/first.wav" -n "$@" stat 2>&1 | sed -n 's/^\(Maximum\|RMS *\) amplitude: *//p' | tr '\n' ' '; }
levels="$(stat) $(stat trim 0 2) $(stat trim 10)"
echo "$format $levels" | awk '{ exit !($1 == 44100 && $2 == 2 && $3 > 59.9 && $3 < 60.1 &&
                                      $4 > 0.05 && $7 > 0.01 && $8 < 0.001) }' ||
    fail "first.wav: rate, channels, seconds $format; peaks and RMS (whole, first 2 s, after 10 s) $levels"

# Save through the file browser (the first save of a piece asks for a name).
with ctrl s
answer "save file browser" first.scene
wait_file "$pieces/first.scene" || fail "no first.scene in $pieces"
shot saved

# One more note, then the quit key: the save question comes, and "yes" saves and quits.
# (The quit key is read before the editor's keys, so it waits for the note to be placed:
# the cursor's preview then stands a beat further on.)
press Tab
press space
wait_for "the fifth note" 20 note_at 5 1.3333
press Escape
wait_for "the save question" 20 panel_shown
shot save-question
click 330 481  # yes
program_ends

# --- Second session: the saved piece opens and holds what was placed --------------------------
start_program "$prefix/bin/sorvane"
with ctrl o
answer "open file browser" first.scene
wait_for "the opened piece's notes" 20 opened_notes
shot reopened
quit  # nothing changed since the open: no question

notes=$(saved_notes "$pieces/first.scene" | sort)
cp "$work/dump" "$artefacts/first.scene.txt"
expected=$(printf '%s\n' \
    'group=0 scope=global time=0/1 duration=1/1 pitch=1/1' \
    'group=0 scope=global time=1/1 duration=1/1 pitch=9/8' \
    'group=0 scope=global time=3/1 duration=1/1 pitch=4/3' \
    'group=0 scope=global time=4/1 duration=1/1 pitch=4/3' \
    'group=0 scope=global time=4/1 duration=1/1 pitch=4/3' | sort)
[ "$notes" = "$expected" ] || { printf 'notes:\n%s\n' "$notes"; fail "the saved notes are not the placed ones"; }
grep -q '^key .*time=0/1 duration=8/1 pitch=1/2.*name="key"' "$work/dump" || fail "the saved key"
grep -q '^sound .*time=0/1 duration=8/1 pitch=1/4.*"sine"' "$work/dump" || fail "the saved sound"
echo "ok: placed, moved, played, exported, saved, quit with the question, reopened ($shots screenshots in $artefacts)"
