// Openers of the panels the editor asks for: an object's properties panel, the "curve
// point" window and the fraction entry of f, g and h. They create the panel record with
// its kind, title, size and place (centred in the window) and a content record in
// POOL_MAIN; what the panels show and do is drawn by their content code. Main thread.
//
// Every content record starts with `u8 close_requested`, and binds to what it edits by
// ids, never by a pointer into an object list (the lists move when they grow, and the
// object may be deleted while the panel is open). Fields may be appended to these records
// freely: the openers allocate them by sizeof and zero them.
#pragma once

#include "model/piece.h"
#include "ui/button.h"
#include "ui/text_field.h"

struct Panel;

// Which curve of an object: 0 for a tempo's, a pitch's and a volume's volume curve, 1 for
// a volume's pan curve, i for a sound's blend curve i.
Curve* object_curve(ObjectHeader* object, u8 curve_index);

// --- Object properties panels (PANEL_KEY to PANEL_TEXT) ---------------------------------
// Text rows by kind, in row order: key: name, frequency; measure: bar length; tempo,
// volume, pitch: minimum, maximum; sound: the wave names; repeat: num, start, end; shape:
// time offset, volume curve; text: the text.
enum { OBJECT_PANEL_FIELDS = 4 };
static_assert((i32)OBJECT_PANEL_FIELDS >= (i32)SOUND_MAX_WAVES, "one field per wave name");

struct ObjectPanelContent {
    u8 close_requested;
    u64 object_id;
    u8 object_kind;
    // Widgets, primed from the object when the panel opens. Text rows adopt their text
    // only in the frame the field reports an edit; toggles show the object's flags.
    ButtonState ok;
    ButtonState scope;
    ButtonState visible, editable;
    ButtonState panning;  // volumes: whether the pan curve is shown while "visible" is on
    ButtonState swatch;   // measures and texts: opens the colour picker
    ButtonState remove_wave[SOUND_MAX_WAVES];
    ButtonState add_wave;
    TextField fields[OBJECT_PANEL_FIELDS];
};

// The panel kind of an object kind's properties panel, 0 for a note (it has none).
u8 object_panel_kind(u8 object_kind);
// Opens the properties panel of the object (titles and sizes per kind); a note has none,
// and a panel already open on the same object is not opened twice. Null when nothing
// was opened.
Panel* object_panel_open(u8 object_kind, i64 object_id);
// The object the panel edits, found again by id; null when it was deleted meanwhile.
ObjectHeader* object_panel_object(const ObjectPanelContent* content);

// Fills the panel's text rows and toggles from the object's current values.
void object_panel_prime(ObjectPanelContent* content, const ObjectHeader* object);
// Draws and handles the content of an object's properties panel (PANEL_KEY to PANEL_TEXT): nothing
// at all when the object is gone or the panel is closing.
void object_panel_content(Panel* panel, Rect content);

// The rows of the sound panel act through these. Removing wave i moves the later names
// and blend curves up (the curve that led into the removed wave goes with it); adding
// appends "sine" with a fresh flat blend curve, and is refused at four waves. Both return
// whether the sound changed.
bool sound_wave_remove(SoundObject* sound, i64 index);
bool sound_wave_add(SoundObject* sound);
// The label of a wave row: "wave" for a single wave, else "wave 1", "wave 2", ... (POOL_TMP).
Str sound_wave_label(const SoundObject* sound, i64 index);

// --- The "curve point" window (PANEL_CURVE_POINT) ---------------------------------------
struct CurvePointPanelContent {
    u8 close_requested;
    u64 object_id;
    u8 object_kind;
    u8 curve_index;
    // The point is kept by index: dragging never reorders points (see curve_edit.h), but
    // adding or deleting points does, so the content re-checks the index every frame.
    i64 point_index;
    // Position x, y, incoming handle x, y, outgoing handle x, y, as fractions.
    TextField fields[6];
    ButtonState ok, continuous, flat;
};

Panel* curve_point_panel_open(u8 object_kind, i64 object_id, u8 curve_index, i64 point_index);
// The point the window edits, or null when its object, curve or point is gone.
CurvePoint* curve_point_panel_point(const CurvePointPanelContent* content, Curve** curve);
// Fills the six fields from the point (all of them, or only the handles' four).
void curve_point_panel_prime(CurvePointPanelContent* content, const CurvePoint* point,
                             bool handles_only);
// The six fields, "continuous" and "flat", "ok"; nothing when the point is gone.
void curve_point_panel_content(Panel* panel, Rect content);

// --- The fraction entry (PANEL_FRACTION) ------------------------------------------------
enum FractionField : u8 {
    FRACTION_FIELD_PITCH = 0,
    FRACTION_FIELD_TIME = 1,
    FRACTION_FIELD_DURATION = 2,
};

// An object named by kind and id, to be found again later.
struct ObjectRef {
    u8 kind;
    i64 id;
};

// What a confirmed entry writes to: a field of an object, found again by kind and id, or
// (editor_value set) one of the editor's own values, which never move; or (transpose_count
// above 0) no value at all: the entered ratio multiplies the pitch of every listed object
// still there.
struct FractionBinding {
    u8 object_kind;
    i64 object_id;
    u8 field;
    Fraction* editor_value;
    const ObjectRef* transpose_objects;  // POOL_MAIN, the objects selected at opening
    i64 transpose_count;
};

struct FractionEntryContent {
    u8 close_requested;
    Str label;  // copy in POOL_MAIN
    FractionBinding binding;
    Str initial_text;  // the value's display form when the entry opened, in POOL_MAIN
};

FractionBinding fraction_binding_object(u8 object_kind, i64 object_id, u8 field);
// `field` (FRACTION_FIELD_*) says what the value is, for the checks of what may be written.
FractionBinding fraction_binding_value(Fraction* value, u8 field);
// Whether a typed value may be written through the binding: never with a denominator of
// zero or below; above zero for a pitch, a duration and a transposition ratio.
bool fraction_binding_accepts(const FractionBinding* binding, Fraction value);
// The selected objects of g_piece (notes and shapes of hidden groups left out, as they take
// no commands), copied as references into POOL_MAIN. A count of 0 when none is selected.
FractionBinding fraction_binding_transpose_selection();
// Multiplies the pitch of every listed object that still exists by the ratio, exactly. A
// ratio that is not above zero is refused. Answers whether any pitch changed.
bool pitches_transpose(const FractionBinding* binding, Fraction ratio);
// The fraction the binding names now, or null when its object was deleted. A transposition
// names a constant 1 while any of its objects is left (what its entry starts from).
Fraction* fraction_binding_target(const FractionBinding* binding);
// Opens the entry labelled `label`, bound as given, its text the value's display form.
// A second entry on the same binding is not opened. Null when nothing was opened.
Panel* fraction_entry_open(Str label, FractionBinding binding);
