// The colour picker panel and the fraction entry panel: values of the piece edited in a
// panel of their own. Both stay open across frames while the editor may delete or move
// what they edit, so they bind by ids and find their value again every frame; when it is
// gone they close without writing. Main thread.
#pragma once

#include "ui/color_picker.h"
#include "ui/text_field.h"

struct Panel;

// --- Colour bindings --------------------------------------------------------------------
enum ColorTarget : u8 {
    COLOR_TARGET_BACKGROUND = 0,  // the piece's background colour (its settings)
    COLOR_TARGET_GROUP = 1,       // a group's colour, by group id
    COLOR_TARGET_OBJECT = 2,      // a colour of an object, by kind and id
};

struct ColorBinding {
    u8 target;       // ColorTarget
    u8 object_kind;  // objects: the list to search
    u8 which;        // objects: which of its colours; every kind with a colour has one, 0
    i64 id;          // the group's or the object's id
};

ColorBinding color_binding_background();
ColorBinding color_binding_group(i64 group_id);
// A measure's bar line colour or a text's colour (which = 0).
ColorBinding color_binding_object(u8 object_kind, i64 object_id, u8 which);
// The four floats the binding names now, or null when its group or object is gone (or the
// object has no such colour). Valid until the piece changes.
f32* color_binding_target(const ColorBinding* binding);
bool color_binding_equal(const ColorBinding* a, const ColorBinding* b);

// --- Colour picker (PANEL_COLOR_PICKER) -------------------------------------------------
struct ColorPickerContent {
    u8 close_requested;
    ColorBinding binding;
    ColorPickerState picker;
};

// Opens "color picker" centred in the window, bound as given and primed from the colour's
// current value. Nothing is opened when the colour is gone or a picker on the same colour
// is open already. Null when nothing was opened.
Panel* color_picker_open(ColorBinding binding);
// The picker on the colour found again this frame; closes the panel, writing nothing, when
// the colour is gone.
void color_picker_panel(Panel* panel, Rect content);

// --- Fraction entry (PANEL_FRACTION) ----------------------------------------------------
// The entry opened by fraction_entry_open (panels/object_panels.h): its label, a one-line
// field primed with the value's display form, and "ok" (or Return in the field), which
// writes the field's fraction into the value found again at that moment and closes the
// panel. An entry whose object is gone closes without writing.
void fraction_entry_panel(Panel* panel, Rect content);
// The entry's text field, or null before the entry's first frame.
TextField* fraction_entry_field(const Panel* panel);

// --- Replacing the piece ----------------------------------------------------------------
// Asks every panel bound to objects, groups or settings of the piece to close: object
// property panels and curve points, colour pickers, fraction entries of objects. Called
// when a file replaces the piece, whose ids may name other things. A closing panel draws
// and writes nothing in the rest of the frame.
void panels_close_piece_bound();
