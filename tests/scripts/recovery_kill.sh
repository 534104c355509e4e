#!/bin/sh
# Crash recovery of the real program in a real window (Xvfb): with "-recovery-seconds 1",
# place three notes, wait until the recovery file holds them, kill the program with
# SIGKILL, start it again, answer the recovery question with "restore", save the piece
# through the file browser and check with `sorvane-render --dump` that it holds the three
# notes; a clean quit then leaves no recovery file. The state folder is a temporary
# XDG_STATE_HOME, the working folder a temporary one beside links to the data.
. "$(dirname "$0")/lib/script.sh"
use_window
use_working_folder
export XDG_STATE_HOME="$work/state"
recovery=$work/state/sorvane/recovery.scene

# --- The session that dies ----------------------------------------------------------------
start_program "$build/sorvane" -recovery-seconds 1
sleep 2  # the first frames
press Tab space space space
wait_file "$recovery" || fail "no recovery file within 20 s of placing notes"
sleep 2.5  # one more interval: the last write holds every note
kill -9 $pid
wait $pid 2>/dev/null
pid=
[ -s "$recovery" ] || fail "the recovery file did not outlive the killed program"
grep -q "^sorvane recovery 1$" "$recovery" || fail "the recovery file has no marker"

# --- The next start offers it ---------------------------------------------------------------
start_program "$build/sorvane" -recovery-seconds 1
sleep 2
click 330 482  # "restore", where the save question has "yes"
save_as restored.scene
press Escape  # saved: no question, a clean quit
program_ends
[ -e "$recovery" ] && fail "a clean quit left the recovery file"
notes=$(saved_notes "$pieces/restored.scene")
expected=$(printf '%s\n' \
    'group=0 scope=global time=0/1 duration=1/1 pitch=1/1' \
    'group=0 scope=global time=1/1 duration=1/1 pitch=1/1' \
    'group=0 scope=global time=2/1 duration=1/1 pitch=1/1')
[ "$notes" = "$expected" ] || { printf 'notes:\n%s\n' "$notes"; fail "the restored notes are not the placed ones"; }
echo "ok: killed with three unsaved notes, restored them at the next start, saved, quit cleanly"
