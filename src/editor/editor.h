// The editor step: select and place modes, the insertion cursor, the selected duration,
// and the templates new objects are copied from. Main thread, once per frame after the
// panels and before the frame is drawn.
#pragma once

#include "piece/piece.h"

struct EditorState {
    u8 place_mode;  // 0 select mode, 1 place mode
    u8 box_armed;
    f32 box_start_x, box_start_y;  // canvas units
    Fraction cursor_time;
    Fraction cursor_pitch;
    Fraction selected_duration;
    u8 place_kind;  // ObjectKind of what key 42 places
    // Rebuilt every frame in select mode; points into the piece's lists, so it must
    // never be kept across frames.
    PoolArray<ObjectHeader*> selection;
    i64 wheel_index;
    // Templates of new objects, one per kind.
    NoteObject note_template;
    KeyObject key_template;
    MeasureObject measure_template;
    TempoObject tempo_template;
    SoundObject sound_template;
    ShapeObject shape_template;
    VolumeObject volume_template;
    PitchObject pitch_template;
    RepeatObject repeat_template;
    TextObject text_template;
};

extern EditorState g_editor;

void editor_reset();    // select mode, nothing armed; runs before the pools exist
void templates_init();  // the records that new objects are copied from
void editor_frame();
