// The choice made before a MIDI file opened from the file panel becomes a new piece: the
// key of keys.txt its notes are retuned into and the tonic of its 1/1 (empty: the file's
// key signature, else C), with "ok" (or Return in a field) and "cancel". Main thread.
#pragma once

#include "base/types.h"
#include "ui/text_field.h"

struct Panel;

struct MidiImportPanel {
    u8 close_requested;
    Str path;  // the MIDI file, in POOL_MAIN
    TextField key_field, tonic_field;
    ButtonState ok, cancel;
};

// Opens the panel titled "import MIDI" for the file (the path is copied), centred, its key
// field primed with "key" and holding the keyboard.
void midi_import_panel_open(Str path);
// Draws and handles the panel once per frame. On ok the file is imported (a refusal shows
// its message and changes nothing) and the panels bound to the old piece close; a tonic
// that names no note keeps the panel open and says so.
void midi_import_panel(Panel* panel, Rect content);
