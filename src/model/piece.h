// The piece: the document the user composes. Notes and nine further kinds of time-placed
// objects, each in a group; groups arranged in a tree of folders; a few settings. Every
// time, length and pitch is an exact Fraction. The process-wide piece `g_piece` belongs to
// the main thread; the render worker compiles its own copy (a snapshot decoded into the
// worker's pool), so no query here takes a lock.
#pragma once

#include "base/fraction.h"
#include "base/pool.h"
#include "model/keys.h"

struct Font;

// The ten object kinds, the one list of them. X(NAME, name, Type, list) gives the kind
// OBJECT_NAME, its name, its record type and the piece's list of its records. The order is
// the kinds' numbers, saved in scene files, and the order of their lists in those files.
#define OBJECT_KINDS(X)                          \
    X(NOTE, note, NoteObject, notes)             \
    X(KEY, key, KeyObject, keys)                 \
    X(MEASURE, measure, MeasureObject, measures) \
    X(TEMPO, tempo, TempoObject, tempos)         \
    X(SOUND, sound, SoundObject, sounds)         \
    X(SHAPE, shape, ShapeObject, shapes)         \
    X(VOLUME, volume, VolumeObject, volumes)     \
    X(PITCH, pitch, PitchObject, pitches)        \
    X(REPEAT, repeat, RepeatObject, repeats)     \
    X(TEXT, text, TextObject, texts)

enum ObjectKind : u8 {
#define OBJECT_KIND_ENUM(NAME, name, Type, list) OBJECT_##NAME,
    OBJECT_KINDS(OBJECT_KIND_ENUM)
#undef OBJECT_KIND_ENUM
    OBJECT_KIND_COUNT,
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

static const i64 SOUND_MAX_WAVES = 4;

struct SoundObject {
    ObjectHeader header;
    Str wave_names[SOUND_MAX_WAVES];
    Curve blend[SOUND_MAX_WAVES - 1];  // curve i lies between wave i and wave i + 1
    i64 wave_count;                    // 0..SOUND_MAX_WAVES; wave_count - 1 curves in use
    u8 visible, editable;
};

// The waves in use, whatever the record's count says (a damaged count names no more
// waves than the record holds).
inline i64 sound_wave_count(const SoundObject* sound) {
    if (sound->wave_count < 0) return 0;
    return sound->wave_count > SOUND_MAX_WAVES ? SOUND_MAX_WAVES : sound->wave_count;
}

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
    Font* font;  // not saved; none draws in the default font
    f32 color[4];
    Str text;
    f32 align_x, align_y;  // not saved
    f64 size;              // not saved
};

// The colours a new group, tree row, measure bar and text take, and what the scene reader
// gives a colour it cannot use: the theme's, copied in whenever the theme is set, so the
// model reads no drawing tables. Main thread writes; decoding on the worker reads.
struct PieceDefaults {
    f32 note_color[4];    // a group's notes
    f32 group_color[4];   // a group's row in the tree
    f32 folder_color[4];  // a folder's rows
    f32 measure_color[4];
    f32 text_color[4];
};
extern PieceDefaults g_piece_defaults;

struct Group {
    i64 id;
    u8 visible;
    f32 color[4];
    Str texture_name;
    u32 texture;  // not saved; the view looks it up by name before it draws
    f64 size;     // height factor of the group's notes
};

// One row of the group tree, in display order; folders are bracketed by a begin row and
// an end row.
struct GroupTreeEntry {
    f32 color[4];  // display colour; not saved
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
    i64 path_capacity;  // bytes of the path's block, reused by the next path
#define OBJECT_KIND_LIST(NAME, name, Type, list) PoolArray<Type> list;
    OBJECT_KINDS(OBJECT_KIND_LIST)
#undef OBJECT_KIND_LIST
    PoolArray<Group> groups;
    PoolArray<GroupTreeEntry> tree;
    PieceSettings settings;
    i64 next_object_id;
    i64 next_group_id;
    u8 modified;
    i64 notes_drawn;  // counted by the score view each frame
    u8 pool;          // where the arrays, strings and points of the piece live
    // One block holding every string and curve point that the last decode read. The
    // next decode writes over it instead of taking new memory, so opening a file again
    // and again does not grow the pool. Objects made later own their own storage.
    PoolArray<u8> decoded_storage;
};

extern Piece g_piece;

// An empty piece with the start-up settings whose arrays will live in `pool`. Allocates
// nothing. A piece whose pool has been emptied must be set up again with this before it
// is used or decoded into (its arrays would point into reused memory).
void piece_init(Piece* piece, u8 pool);
void piece_settings_default(PieceSettings* settings);
void piece_reset();                 // piece_init of g_piece in POOL_MAIN; before the pools exist
void piece_default_group_create();  // the group every new piece starts with (after the pools)
// Appends a group and its tree row named `name` (copied): visible, in the note colour,
// texture "circle", size 1, the group icon; the id comes from next_group_id. -1 when refused.
i64 piece_group_add(Piece* piece, Str name);
// The unsaved-changes test of quit, new and open: compares the piece with its file (or,
// never saved, with the piece as it was started or made new, undo counted) and stores the
// answer as the piece's modified flag.
bool piece_check_unsaved();

// --- Objects of any kind ------------------------------------------------------------
// The records of one kind, walked by byte stride; every record starts with its header.
struct ObjectList {
    u8* data;
    i64 count;
    i64 stride;
};
ObjectList piece_objects(const Piece* piece, u8 kind);
inline ObjectHeader* object_list_get(ObjectList list, i64 index) {
    return (ObjectHeader*)(list.data + index * list.stride);
}
i64 object_size(u8 kind);  // bytes of the kind's record, 0 for an unknown kind
Str object_kind_name(u8 kind);  // "note", "key"...; "object" for an unknown kind
enum { OBJECT_MAX_SIZE = 1024 };  // no record is larger (checked at compile time)
i64 piece_object_total(const Piece* piece);  // objects in the ten lists
ObjectHeader* object_find(const Piece* piece, u8 kind, i64 id);  // null when absent
Group* group_find(const Piece* piece, i64 id);                    // null when absent

// A visible object header of the kind, with the next id of the piece (next_object_id goes
// up by one); not selected, removed or marked.
ObjectHeader object_header_make(Piece* piece, u8 kind, i64 group, Fraction time, Fraction duration,
                                Fraction pitch, u8 scope);
// Deep copy of an object into `destination` (a record of the source's kind): strings,
// curve points and wave names get storage of their own in `pool`; a key keeps sharing
// its definition's class and pitch lists. False when the pool refused some of it (those
// strings or points are then empty).
bool object_clone(void* destination, const ObjectHeader* source, u8 pool);
// Replaces *to with a copy of `text` in the piece's pool and gives the old copy back to
// the pool when it was a block of its own (not part of the block a file was read into).
// False, and *to kept, when refused.
bool piece_string_set(Piece* piece, Str* to, Str text);
// Gives back to the pool the strings and curve points of the piece's records that have
// blocks of their own, before the records are overwritten (a file read over the piece).
// Blocks inside [kept, kept + kept_bytes), the block the last file was read into, stay.
void piece_blocks_give_back(Piece* piece, const u8* kept, i64 kept_bytes);
// Appends a deep copy of `source` (which may live in the piece) to the list of its kind,
// with a fresh id from next_object_id, in the piece's pool. Null when refused: the list,
// or one of the object's strings or curves, found no room.
ObjectHeader* piece_object_add(Piece* piece, const ObjectHeader* source);

// --- Curves -------------------------------------------------------------------------
// Defaults: visible, editable, linear, 0/1 to 1/1, resolution 100, no points, nothing
// picked, point size 0.125, line width 0.03125, box height 2.
void curve_init(Curve* curve, u8 pool);
// Handle length of a new point: zoom / 10 truncated to hundredths, reduced.
Fraction curve_handle_length(f32 zoom);
// Inserts (x, y) after every point whose x is at most x, with flat handles one handle
// length to either side; the length follows the zoom the curve is seen at. Returns the
// new point's index, or -1 when refused.
i64 curve_point_insert(Curve* curve, Fraction x, Fraction y, f32 zoom);
i64 curve_point_insert_with_handle(Curve* curve, Fraction x, Fraction y, Fraction handle);

// --- Time shifts of the place mode ----------------------------------------------------
// Stretches an object that spans `position` by `amount`, or moves it later when it
// starts at or after `position`.
void time_insert(ObjectHeader* object, Fraction position, Fraction amount);
// The reverse; marks the object removed when its duration turns negative or its start
// falls before `position`.
void time_remove(ObjectHeader* object, Fraction position, Fraction amount);
// Either shift applied to every object of every kind; the objects that removing time marks
// removed leave their lists at once.
void piece_time_insert(Piece* piece, Fraction position, Fraction amount);
void piece_time_remove(Piece* piece, Fraction position, Fraction amount);

// --- Queries by time and group (any thread; read only) ------------------------------
// "global", "members" or "local" (a constant; values above 2 read as local).
Str scope_name(u8 scope);
// True when the two groups have the same innermost enclosing folder in the tree. Ids
// absent from the tree are at top level; a folder's own row counts as inside it.
bool same_folder(const Piece* piece, i64 group1, i64 group2);
// Whether the object reaches `group`: global always, members within the same folder,
// local (and any unknown scope) only its own group.
bool scope_applies(const Piece* piece, const ObjectHeader* object, i64 group);
// Whether the object reaches the group and covers `at`: from its start, before its end.
bool object_applies_at(const Piece* piece, const ObjectHeader* object, Fraction at, i64 group);
// The choice among sounds or shapes that apply at one time, offered in list order: the
// first local one, else the last members one, else the last global one.
struct ScopeChoice {
    const ObjectHeader* local;
    const ObjectHeader* members;
    const ObjectHeader* global;
};
// Takes one applying object; true once the choice is settled (a local one came).
bool scope_choice_offer(ScopeChoice* choice, const ObjectHeader* object);
// The chosen object, null when none was offered.
const ObjectHeader* scope_choice_result(const ScopeChoice* choice);
// The first key in list order that reaches the group and covers the time; otherwise a
// constant default key (440 Hz, no name, no classes, no pitches). Never null.
const KeyObject* key_at(const Piece* piece, Fraction time, i64 group);
// Among the objects that reach the group and cover the time: the first local one, else
// the last members one, else the last global one; null when none.
const SoundObject* sound_at(const Piece* piece, Fraction time, i64 group);
const ShapeObject* shape_at(const Piece* piece, Fraction time, i64 group);
// The first tempo object whose range covers t (as doubles); scope plays no part.
const TempoObject* tempo_at(const Piece* piece, f64 t);
// The scale pitch of the key in effect, in the octaves 1/4 to 4 times, nearest to the
// pitch on a logarithmic scale (earlier wins ties); 1/1 when the key has no pitches.
Fraction key_snap_pitch(const Piece* piece, Fraction pitch, Fraction time, i64 group);
