// The editor step: select and place modes, the insertion cursor, the selected duration,
// and the templates new objects are copied from. Main thread, once per frame after the
// panels and before the frame is drawn.
#pragma once

#include "model/piece.h"

struct EditorState {
    u8 place_mode;  // 0 select mode, 1 place mode
    u8 box_armed;
    f32 box_start_x, box_start_y;  // canvas units
    Fraction cursor_time;
    Fraction cursor_pitch;
    Fraction selected_duration;
    u8 place_kind;  // ObjectKind of what key 42 places
    // The selected objects in list order, rebuilt in POOL_TMP every frame (the pointers
    // point into the piece's lists, which move when they grow): valid until the frame ends.
    PoolArray<ObjectHeader*> selection;
    i64 wheel_index;
    // Templates of new objects, one per kind.
#define TEMPLATE(NAME, name, Type, list) Type name##_template;
    OBJECT_KINDS(TEMPLATE)
#undef TEMPLATE
};

extern EditorState g_editor;
// The kinds in the order the interface shows them: the selection's order, the drawing
// order (later kinds drawn over earlier ones) and the order of the menu bar's buttons.
extern const u8 KIND_DISPLAY_ORDER[OBJECT_KIND_COUNT];

void editor_reset();    // select mode, nothing armed; runs before the pools exist
void templates_init();  // the records that new objects are copied from
void editor_frame();

// The group new objects go to: the first selected group row of the group tree, else 0.
i64 editor_current_group();
// Fills the header a new object of its kind gets in place mode: the cursor's time and
// pitch, the selected duration, the current group, and local scope for sounds, shapes,
// volumes and pitches (global for the others). Kind and id are left as they are.
void editor_placement_header(ObjectHeader* header);
// The template record of a kind (null for an unknown kind).
ObjectHeader* editor_template(u8 kind);
// Appends a copy of the kind's template placed at the cursor, with a new id; null when
// refused. The piece is marked modified.
ObjectHeader* editor_place(u8 kind);
