#!/bin/sh
# Crash recovery of the real program in a real window (Xvfb): three notes placed, the
# program killed once the recovery file holds them, and restored at the next start, as
# the saved piece's `sorvane-render --dump` shows; a clean quit then leaves no recovery file.
. "$(dirname "$0")/lib/script.sh"
use_window
use_working_folder
recovery=$work/state/sorvane/recovery.scene

# --- The session that dies ----------------------------------------------------------------
start_program "$build/sorvane" -recovery-seconds 1
press Tab space space space
wait_file "$recovery" || fail "no recovery file within 20 s of placing notes"
sleep 2.5  # one more interval: the last write holds every note
kill -9 $pid
wait $pid 2>/dev/null
pid=

# --- The next start offers it ---------------------------------------------------------------
start_program "$build/sorvane" -recovery-seconds 1
wait_for "the recovery question" 20 panel_at 450 450
click 330 482  # "restore", where the save question has "yes"
wait_for "the recovery question to close" 20 not panel_at 450 450
save_as restored.scene
quit  # saved: no question, a clean quit
[ -e "$recovery" ] && fail "a clean quit left the recovery file"
notes=$(saved_notes "$pieces/restored.scene")
expected=$(printf '%s\n' \
    'group=0 scope=global time=0/1 duration=1/1 pitch=1/1' \
    'group=0 scope=global time=1/1 duration=1/1 pitch=1/1' \
    'group=0 scope=global time=2/1 duration=1/1 pitch=1/1')
[ "$notes" = "$expected" ] || { printf 'notes:\n%s\n' "$notes"; fail "the restored notes are not the placed ones"; }
echo "ok: killed with three unsaved notes, restored them at the next start, saved, quit cleanly"
