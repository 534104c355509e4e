// Builders shared by the piece, scene and document tests and the fuzz seeds: objects with
// a given header, group tree rows, and a piece that holds every kind, every curve and a
// folder tree. Needs no test framework.
#pragma once

#include <initializer_list>
#include <utility>

#include "model/piece.h"

inline Fraction frac(i64 numerator, i64 denominator = 1) {
    return Fraction{numerator, denominator};
}

inline bool same(Fraction a, Fraction b) {
    return a.numerator == b.numerator && a.denominator == b.denominator;
}

inline ObjectHeader header_make(u8 kind, i64 id, i64 group, u8 scope, Fraction time,
                                Fraction duration, Fraction pitch = Fraction{1, 1}) {
    ObjectHeader header = {};
    header.kind = kind;
    header.id = id;
    header.group_id = group;
    header.scope = scope;
    header.time = time;
    header.duration = duration;
    header.pitch = pitch;
    header.visible = 1;
    return header;
}

inline GroupTreeEntry tree_row(i32 id, const char* name, u8 begin = 0, u8 end = 0) {
    GroupTreeEntry entry = {};
    entry.id = id;
    entry.name = str_from_cstring(name);
    entry.folder_begin = begin;
    entry.folder_end = end;
    return entry;
}

inline Curve curve_with_points(u8 pool, Fraction minimum, Fraction maximum,
                               std::initializer_list<std::pair<Fraction, Fraction>> points) {
    Curve curve;
    curve_init(&curve, pool);
    curve.minimum = minimum;
    curve.maximum = maximum;
    for (const auto& point : points)
        curve_point_insert_with_handle(&curve, point.first, point.second, Fraction{1, 4});
    return curve;
}

inline Group group_make(i64 id, const char* texture, f64 size, u8 visible = 1) {
    Group group = {};
    group.id = id;
    group.visible = visible;
    group.color[0] = 0.25f;
    group.color[1] = 0.5f;
    group.color[2] = 0.75f;
    group.color[3] = 1.0f;
    group.texture_name = str_from_cstring(texture);
    group.size = size;
    return group;
}

// A piece with two objects of every kind, curves with points (a logarithmic one and one
// without points), a sound of three waves and one of one wave, unreduced fractions,
// strings with quotes and control bytes, and a tree with a folder inside a folder.
// Strings point at constants; nothing here may be written through them.
inline void piece_build_full(Piece* piece, u8 pool) {
    piece_init(piece, pool);
    array_push(&piece->groups, group_make(0, "circle", 1.0));
    array_push(&piece->groups, group_make(3, "square", 0.5, 0));
    array_push(&piece->groups, group_make(7, "", 2.25));
    array_push(&piece->tree, tree_row(0, "lead"));
    array_push(&piece->tree, tree_row(20, "strings", 1, 0));
    array_push(&piece->tree, tree_row(3, "violin \"one\""));
    array_push(&piece->tree, tree_row(21, "low", 1, 0));
    array_push(&piece->tree, tree_row(7, "cello\tbass\\"));
    array_push(&piece->tree, tree_row(0, "", 0, 1));
    array_push(&piece->tree, tree_row(0, "", 0, 1));
    piece->tree.data[1].expanded = 1;
    piece->tree.data[2].selected = 1;

    NoteObject note = {};
    note.header = header_make(OBJECT_NOTE, 5, 2, SCOPE_LOCAL, frac(1, 4), frac(1, 8), frac(3, 2));
    array_push(&piece->notes, note);
    note.header = header_make(OBJECT_NOTE, 6, 3, SCOPE_GLOBAL, frac(2, 4), frac(6, 8), frac(10, 4));
    array_push(&piece->notes, note);

    KeyObject key = {};
    key.header = header_make(OBJECT_KEY, 1, 0, SCOPE_GLOBAL, frac(0), frac(16), frac(1));
    key.reference_frequency = 432.5;
    key.key_name = STR("just major");
    array_push(&piece->keys, key);
    key.header = header_make(OBJECT_KEY, 2, 3, SCOPE_MEMBERS, frac(16), frac(16), frac(1));
    key.reference_frequency = 440.0;
    key.key_name = STR("no such key");
    array_push(&piece->keys, key);

    MeasureObject measure = {};
    measure.header = header_make(OBJECT_MEASURE, 8, 0, SCOPE_GLOBAL, frac(0), frac(32), frac(1));
    measure.bar_length = frac(8, 2);
    measure.bar_color[0] = 0.1f;
    measure.bar_color[2] = 1.0f;
    measure.bar_color[3] = 0.3f;
    array_push(&piece->measures, measure);
    measure.header.id = 9;
    measure.bar_length = frac(3, 1);
    array_push(&piece->measures, measure);

    TempoObject tempo = {};
    tempo.header = header_make(OBJECT_TEMPO, 10, 0, SCOPE_GLOBAL, frac(0), frac(8), frac(1));
    tempo.tempo = curve_with_points(pool, frac(30), frac(240),
                                    {{frac(0), frac(120)}, {frac(4), frac(90)}});
    array_push(&piece->tempos, tempo);
    tempo.header.id = 11;
    tempo.header.time = frac(8);
    tempo.tempo = curve_with_points(pool, frac(30), frac(240), {});
    tempo.tempo.visible = 0;
    array_push(&piece->tempos, tempo);

    SoundObject sound = {};
    sound.header = header_make(OBJECT_SOUND, 12, 3, SCOPE_MEMBERS, frac(0), frac(4), frac(1));
    sound.wave_count = 3;
    sound.wave_names[0] = STR("sine");
    sound.wave_names[1] = STR("saw");
    sound.wave_names[2] = STR("piano");
    for (i32 i = 0; i < 3; i += 1)
        sound.blend[i] = curve_with_points(pool, frac(0), frac(1), {{frac(0), frac(i, 4)}});
    sound.blend[1].editable = 0;
    sound.visible = 1;
    array_push(&piece->sounds, sound);
    SoundObject single = {};
    single.header = header_make(OBJECT_SOUND, 13, 0, SCOPE_GLOBAL, frac(4), frac(4), frac(1));
    single.wave_count = 1;
    single.wave_names[0] = STR("square");
    for (i32 i = 0; i < 3; i += 1) curve_init(&single.blend[i], pool);
    single.visible = 0;
    single.editable = 1;
    array_push(&piece->sounds, single);

    ShapeObject shape = {};
    shape.header = header_make(OBJECT_SHAPE, 14, 0, SCOPE_LOCAL, frac(0), frac(4), frac(1));
    shape.shape_name = STR("pluck");
    shape.time_offset = 0.25;
    array_push(&piece->shapes, shape);
    shape.header.id = 15;
    shape.shape_name = STR("");
    shape.time_offset = -1.5;
    array_push(&piece->shapes, shape);

    VolumeObject volume = {};
    volume.header = header_make(OBJECT_VOLUME, 16, 7, SCOPE_LOCAL, frac(0), frac(4), frac(1));
    volume.volume = curve_with_points(pool, frac(0), frac(2),
                                      {{frac(0), frac(1)}, {frac(2), frac(1, 2)}});
    volume.pan = curve_with_points(pool, frac(-1), frac(1), {{frac(0), frac(0)}});
    array_push(&piece->volumes, volume);
    volume.header.id = 17;
    array_push(&piece->volumes, volume);

    PitchObject pitch = {};
    pitch.header = header_make(OBJECT_PITCH, 18, 0, SCOPE_GLOBAL, frac(2), frac(2), frac(1));
    pitch.pitch = curve_with_points(pool, frac(1, 2), frac(2),
                                    {{frac(0), frac(1)}, {frac(1), frac(9, 8)}});
    pitch.pitch.logarithmic = 1;
    array_push(&piece->pitches, pitch);
    pitch.header.id = 19;
    array_push(&piece->pitches, pitch);

    RepeatObject repeat = {};
    repeat.header = header_make(OBJECT_REPEAT, 22, 0, SCOPE_GLOBAL, frac(8), frac(4), frac(1));
    repeat.start = frac(0);
    repeat.end = frac(4);
    repeat.count = 2;
    array_push(&piece->repeats, repeat);
    repeat.header.id = 23;
    repeat.count = -3;
    array_push(&piece->repeats, repeat);

    TextObject text = {};
    text.header = header_make(OBJECT_TEXT, 24, 0, SCOPE_GLOBAL, frac(0), frac(1), frac(2));
    text.color[0] = 0.5f;
    text.color[3] = 1.0f;
    text.text = STR("allegro \"ma\" non\ntroppo \\ \x01");
    array_push(&piece->texts, text);
    text.header.id = 25;
    text.text = STR("");
    array_push(&piece->texts, text);

    piece->settings.start_time = frac(2, 4);
    piece->settings.end_time = frac(64, 1);
    piece->settings.sample_rate = 48000;
    piece->settings.stereo = 0;
    piece->settings.sample_type = SAMPLE_TYPE_FLOAT;
    piece->settings.background[0] = 0.125f;
    piece->next_object_id = 26;
    piece->next_group_id = 22;
}
