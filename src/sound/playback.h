// Playback on the main thread: the per-frame hand-shake with the worker and the callback,
// the play/pause, stop and export actions, and the audition of notes. Also the read-only
// view of the playback marks that the frame and the score view draw from.
#pragma once

#include "base/types.h"

struct NoteObject;

void playback_reset();  // from audio_output_reset; does not allocate
// Once per frame, before any editing: finishes fades, follows the play cursor, stops at
// the end of the rendering, and starts playing a rendering the worker has finished.
void playback_frame();
// Pauses while playing, resumes while paused, else asks the worker for a rendering.
void playback_play_pause();
void playback_stop();
// Plays from piece time `time` to the piece's end time: a rendering of its own, starting
// there, replaces whatever played or was paused; the play cursor starts at `time`.
void playback_play_from(Fraction time);
// The export action: pauses and rewinds playback and asks the worker to render the piece
// into a wave file at `path` (copied) in the piece's own format, or, for a name ending in
// ".mid", into a MIDI file tuned by `midi_tuning` (MidiTuning).
void export_request(Str path, u8 midi_tuning = 0);
// Renders and plays a quarter-second preview of the notes, together.
void audition_notes(const NoteObject* const* notes, i64 count);

bool playback_is_playing();
bool playback_is_resumable();  // paused by the user; play resumes at the kept position
bool playback_is_waiting();    // a rendering has been asked for and has not arrived
bool playback_is_starved();    // playing, but the worker is behind: silence until it catches up
bool playback_is_streaming();  // the slot's rendering is still being written
f64 playback_cursor();         // piece time reached by playback
f64 playback_synthesis_seconds();  // duration of the last synthesis
bool playback_worker_available();
