// The commands that change a pitch, a time or a duration, shared by the editor's cursor
// and every selected object: stepping through the scale of the key in effect, snapping to
// the selected duration's grid, the per-object key step and the selection toggle by click.
// Main thread, from the editor step.
#pragma once

#include "platform/system.h"

#include "model/piece.h"

// The canvas takes the mouse: no panel covers it and the input gate is open.
bool canvas_takes_mouse();

// One step of a pitch through the scale of the key in effect at (time, group), up
// (direction 1) or down (-1): by an octave with `octave`, through every scale pitch with
// `chromatic`, otherwise through the pitches of the current pitch's own class. A key
// without pitches steps by octaves. A piece with no key object at all steps through the
// scale of the key that a newly placed key object gets ("key" of keys.txt), when it
// exists. A pitch that is not positive is returned unchanged.
Fraction pitch_step(const Piece* piece, Fraction pitch, Fraction time, i64 group, i32 direction,
                    bool octave, bool chromatic);
// The same with shift (octave) and control (chromatic) of the press's modifiers, on g_piece.
void pitch_step_up(Fraction* pitch, Fraction time, i64 group, u32 modifiers);
void pitch_step_down(Fraction* pitch, Fraction time, i64 group, u32 modifiers);

// The time moved to the nearest multiple of the step, halves rounding up. A zero step
// leaves the time as it is.
void time_snap(Fraction* time, Fraction step);

// One key press applied to one object (i, k, l, j, u, o, f, g, h, y, key 79).
void object_adjust(ObjectHeader* object, KeyPress key);
// Toggles the selection when button 2 went down over the object on a canvas that takes
// the mouse (a text on its drawn lines, any other object on its row and duration).
void object_click_select(ObjectHeader* object);
// The per-object step of the select mode. With a key press: adjust the object when
// selected and apply the press to its curves' picked points. Without (once a frame, after
// the presses): click-select (unless `clicks` is false) and the curves' mouse work.
void object_step(ObjectHeader* object, const KeyPress* key, bool clicks);
