// The piece: the document the user composes. Notes and nine further kinds of time-placed
// objects, each in a group; groups arranged in a tree of folders; a few settings. Every
// time, length and pitch is an exact Fraction. The process-wide piece `g_piece` belongs to
// the main thread; the render worker compiles its own copy (a snapshot decoded into the
// worker's pool), so no query here takes a lock.
#pragma once

#include "core/pool.h"
#include "gfx/keys.h"

struct Font;

enum ObjectKind : u8 {
    OBJECT_NOTE = 0,
    OBJECT_KEY = 1,
    OBJECT_MEASURE = 2,
    OBJECT_TEMPO = 3,
    OBJECT_SOUND = 4,
    OBJECT_SHAPE = 5,
    OBJECT_VOLUME = 6,
    OBJECT_PITCH = 7,
    OBJECT_REPEAT = 8,
    OBJECT_TEXT = 9,
    OBJECT_KIND_COUNT = 10,
};

enum Scope : u8 {
    SCOPE_GLOBAL = 0,   // reaches every group
    SCOPE_MEMBERS = 1,  // reaches the groups of its own group's innermost folder
    SCOPE_LOCAL = 2,    // reaches its own group only
};

// Leading fields of every object record.
struct ObjectHeader {
    u8 kind;
    i64 group_id;
    i64 id;  // unique among the piece's objects
    Fraction time;      // start, in beats
    Fraction duration;  // the object covers [time, time + duration)
    Fraction pitch;     // frequency ratio; also the object's height on the canvas
    u8 scope;
    u8 visible;    // copied from the group each frame by the score view
    u8 selected;   // editor selection; not saved
    u8 removed;    // to be deleted by the editor; not saved
    u8 highlight;  // the selection entry at the wheel index; not saved
    u8 mark;       // extra editor mark; not saved
};

// A cubic Bezier control polygon: position, incoming handle, outgoing handle. x is piece
// time relative to the owning object, y the curve's value. Handles are absolute.
struct CurvePoint {
    Fraction x, y;
    Fraction in_x, in_y;
    Fraction out_x, out_y;
};

struct Curve {
    u8 visible;      // default 1
    u8 editable;     // default 1
    u8 logarithmic;  // default 0
    Fraction minimum;  // default 0/1
    Fraction maximum;  // default 1/1
    i64 resolution;    // denominator of values entered with the mouse; 100; not saved
    PoolArray<CurvePoint> points;  // sorted by x
    // Display and editing state; not saved.
    i64 active_point;    // the picked point, -1 for none
    u8 active_element;   // 0 position, 1 incoming handle, 2 outgoing handle
    f64 active_point_size;
    f64 point_size;      // 0.125
    f64 line_width;      // 0.03125
    f64 box_height;      // 2.0
    f64 origin_x, origin_y;  // canvas position of the box, set when the curve is drawn
    f64 point_radius, handle_radius;
    u8 dragging;
    f32 pick_mouse_x, pick_mouse_y;
    f32 grab_x, grab_y;
};

struct NoteObject {
    ObjectHeader header;
    f32 draw_size;  // the group's size; not saved
};

struct KeyObject {
    ObjectHeader header;
    f64 reference_frequency;  // Hz, 440 by default
    Str key_name;             // names a KeyDefinition of keys.txt
    // Copies of the definition's list headers, sharing its storage; not saved.
    PoolArray<KeyClass> classes;
    PoolArray<KeyPitch> pitches;
};

struct MeasureObject {
    ObjectHeader header;
    Fraction bar_length;
    f32 bar_color[4];
};

struct TempoObject {
    ObjectHeader header;
    Curve tempo;  // beats per minute
};

enum { SOUND_MAX_WAVES = 4 };

struct SoundObject {
    ObjectHeader header;
    Str wave_names[SOUND_MAX_WAVES];
    Curve blend[SOUND_MAX_WAVES - 1];  // curve i lies between wave i and wave i + 1
    i64 wave_count;                    // 0..4; wave_count - 1 curves in use
    u8 visible, editable;
};

struct ShapeObject {
    ObjectHeader header;
    Str shape_name;   // a sound definition of sounds/sounds.txt
    f64 time_offset;  // phase offset of the voices, in cycles
};

struct VolumeObject {
    ObjectHeader header;
    Curve volume;
    Curve pan;
};

struct PitchObject {
    ObjectHeader header;
    Curve pitch;
};

struct RepeatObject {
    ObjectHeader header;
    Fraction start;  // first bound of the repeated section
    Fraction end;    // second bound
    i64 count;       // saved as 32 bits; repeats only when at least 1
};

struct TextObject {
    ObjectHeader header;
    Font* font;  // not saved
    f32 color[4];
    Str text;
    f32 align_x, align_y;  // not saved
    f64 size;              // not saved
};

struct Group {
    i64 id;
    u8 visible;
    f32 color[4];
    Str texture_name;
    u32 texture;  // not saved; looked up by name
    f64 size;     // height factor of the group's notes
};

// One row of the group tree, in display order; folders are bracketed by a begin row and
// an end row.
struct GroupTreeEntry {
    f32 color[4];  // display colour; not saved
    u32 icon;      // not saved
    i32 id;
    Str name;
    u8 folder_begin;
    u8 folder_end;
    u8 expanded;
    u8 selected;
};

enum SampleType : u8 { SAMPLE_TYPE_SHORT = 0, SAMPLE_TYPE_LONG = 1, SAMPLE_TYPE_FLOAT = 2 };

struct PieceSettings {
    f32 background[4];   // 0, 0, 0.5, 1
    i64 sample_rate;     // 44100
    u8 stereo;           // 1
    u8 sample_type;      // SampleType, 0
    Fraction start_time;  // 0/1
    Fraction end_time;    // 120/1
};

struct Piece {
    Str path;  // the scene file last loaded or saved; empty when never saved
    PoolArray<NoteObject> notes;
    PoolArray<KeyObject> keys;
    PoolArray<MeasureObject> measures;
    PoolArray<TempoObject> tempos;
    PoolArray<TextObject> texts;
    PoolArray<VolumeObject> volumes;
    PoolArray<PitchObject> pitches;
    PoolArray<SoundObject> sounds;
    PoolArray<ShapeObject> shapes;
    PoolArray<RepeatObject> repeats;
    PoolArray<Group> groups;
    PoolArray<GroupTreeEntry> tree;
    PieceSettings settings;
    i64 next_object_id;
    i64 next_group_id;
    u8 modified;
    i64 notes_drawn;  // counted by the score view each frame
};

extern Piece g_piece;

void piece_reset();                 // an empty piece with the start-up settings
void piece_default_group_create();  // the group every new piece starts with
// The quit test: compares the piece with its file (or, never saved, looks for objects)
// and stores the answer as the piece's modified flag.
bool piece_check_unsaved();
