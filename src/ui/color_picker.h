// The colour picker widget: one RGBA colour edited through a saturation/value field, a hue
// strip, an alpha strip and an "ok" button. The caller keeps the state, points `target`
// at the colour before every call, and closes whatever shows it when `done` is raised.
// Main thread only.
#pragma once

#include "ui/button.h"

struct ColorPickerState {
    u8 done;       // the frame "ok" was clicked
    f32* target;   // four floats, RGBA; null: the picker draws but writes nothing
    ButtonState ok;
    f32 hue, saturation, value, alpha;  // 0..1 each
    u8 dragging_field, dragging_hue, dragging_alpha;
};

// The picker's regions inside its rectangle, from the theme's scale and offset.
struct ColorPickerLayout {
    Rect field, hue, alpha, ok, preview;
};
ColorPickerLayout color_picker_layout(Rect rect);

// Hue, saturation and value (and alpha) from the colour, so that an untouched picker
// gives the colour back.
void color_picker_prime(ColorPickerState* state, const f32* color);
// The RGBA colour of hue, saturation, value and alpha; a hue of 1 is red again.
void color_from_hsv(f32 hue, f32 saturation, f32 value, f32 alpha, f32 out[4]);

// Handles the mouse, draws, and writes the colour to the target in every frame in which
// a drag moved one of the picker's values.
void color_picker(ColorPickerState* state, Rect rect);
