// The object property panels driven through whole frames with the mouse and keyboard: every
// kind edited through its rows, the scope cycle, the volume panel's visibility rules, the
// sound panel's waves, text rows adopted in the frame the field reports the edit, and a
// panel whose object is gone or whose piece was replaced drawing and writing nothing.
#include <string>

#include "editor/editor.h"
#include "frame_support.h"
#include "piece_support.h"
#include "model/keys.h"
#include "panels/entry_panels.h"
#include "panels/object_panels.h"

struct ObjectPanels : InterfaceTest {
    void SetUp() override {
        InterfaceTest::SetUp();
        frames();  // the frame sets the title height
    }

    static i64 add(u8 kind) {
        ObjectHeader* object = piece_object_add(&g_piece, editor_template(kind));
        return object ? object->id : -1;
    }
    template <typename T>
    static T* find(u8 kind, i64 id) {
        return (T*)object_find(&g_piece, kind, id);
    }
    u64 open(u8 kind, i64 id) {
        Panel* panel = object_panel_open(kind, id);
        u64 panel_id = panel ? panel->id : ~0ull;
        frames();
        return panel_id;
    }
    static ObjectPanelContent* content(u64 panel) {
        Panel* found = panel_find(panel);
        return found ? (ObjectPanelContent*)found->content : nullptr;
    }

    // Geometry as the panels lay themselves out: rows from the top, one every s + o,
    // the value column 4s (5s for keys) right of the left margin.
    static Rect content_rect(u64 panel) {
        Panel* p = panel_find(panel);
        return Rect{p->x, p->y, p->width, p->height - (f32)g_panels.title_height};
    }
    static f32 row_centre_y(u64 panel, i32 row) {
        Rect c = content_rect(panel);
        f32 s = g_theme.scale, o = g_theme.offset;
        return c.y + c.height - o - (f32)row * (s + o) - s / 2;
    }
    static f32 value_x(u64 panel, f32 columns = 4) {
        return content_rect(panel).x + g_theme.offset + columns * g_theme.scale;
    }
    static f32 value_width(u64 panel, f32 columns = 4, f32 margins = 2) {
        return content_rect(panel).width - columns * g_theme.scale - margins * g_theme.offset;
    }
    // The middle of a full-width widget of the row (text button, text field).
    void click_value(u64 panel, i32 row, f32 columns = 4, f32 margins = 2) {
        click_at(value_x(panel, columns) + value_width(panel, columns, margins) / 2,
                 row_centre_y(panel, row));
    }
    void click_toggle(u64 panel, i32 row) {
        click_at(value_x(panel) + g_theme.scale / 2, row_centre_y(panel, row));
    }
    void click_ok() { ASSERT_TRUE(click_label("ok")); }
    void type_row(u64 panel, i32 row, const char* text, f32 columns = 4, f32 margins = 2) {
        type_over_at(value_x(panel, columns) + value_width(panel, columns, margins) / 2,
                row_centre_y(panel, row), text);
    }
};

TEST_F(ObjectPanels, ThreeClicksOnScopeReturnEveryKindToItsScope) {
    const u8 kinds[] = {OBJECT_KEY,   OBJECT_VOLUME, OBJECT_PITCH,
                        OBJECT_SOUND, OBJECT_REPEAT, OBJECT_SHAPE};
    for (u8 kind : kinds) {
        i64 id = add(kind);
        u64 panel = open(kind, id);
        f32 columns = kind == OBJECT_KEY ? 5 : 4, margins = kind == OBJECT_KEY ? 3 : 2;
        ObjectHeader* object = find<ObjectHeader>(kind, id);
        object->scope = SCOPE_MEMBERS;
        const u8 expected[] = {SCOPE_LOCAL, SCOPE_GLOBAL, SCOPE_MEMBERS};
        for (u8 scope : expected) {
            click_value(panel, 0, columns, margins);
            EXPECT_EQ(find<ObjectHeader>(kind, id)->scope, scope) << "kind " << (int)kind;
        }
        EXPECT_EQ(g_piece.modified, 1);
        click_ok();
        frames();
        EXPECT_FALSE(panel_find(panel)) << "ok closes the panel of kind " << (int)kind;
    }
}

TEST_F(ObjectPanels, VolumeVisibleHidesBothCurvesAndPanningDecidesThePanCurve) {
    i64 id = add(OBJECT_VOLUME);
    VolumeObject* volume = find<VolumeObject>(OBJECT_VOLUME, id);
    volume->volume.visible = 1;
    volume->pan.visible = 1;
    u64 panel = open(OBJECT_VOLUME, id);
    // Rows: scope, visible, editable, panning, minimum, maximum.
    click_toggle(panel, 1);
    volume = find<VolumeObject>(OBJECT_VOLUME, id);
    EXPECT_EQ(volume->volume.visible, 0);
    EXPECT_EQ(volume->pan.visible, 0);
    click_toggle(panel, 1);  // back on, with "panning" still on
    EXPECT_EQ(volume->volume.visible, 1);
    EXPECT_EQ(volume->pan.visible, 1);

    click_toggle(panel, 3);  // panning off: the volume curve stays
    EXPECT_EQ(volume->volume.visible, 1);
    EXPECT_EQ(volume->pan.visible, 0);
    click_toggle(panel, 1);
    click_toggle(panel, 1);  // visible off and on again: panning is still off
    EXPECT_EQ(volume->volume.visible, 1);
    EXPECT_EQ(volume->pan.visible, 0);
    click_toggle(panel, 1);  // hidden: turning panning on shows nothing yet
    click_toggle(panel, 3);
    EXPECT_EQ(volume->pan.visible, 0);
    click_toggle(panel, 1);
    EXPECT_EQ(volume->pan.visible, 1);

    click_toggle(panel, 2);  // editable: both curves
    EXPECT_EQ(volume->volume.editable, 0);
    EXPECT_EQ(volume->pan.editable, 0);
    type_row(panel, 5, "3/2");
    EXPECT_TRUE(same(volume->volume.maximum, Fraction{3, 2}));
    EXPECT_TRUE(same(volume->pan.maximum, Fraction{1, 1}));  // the pan curve keeps its range
}

TEST_F(ObjectPanels, TempoMinimumIsAdoptedInTheFrameTheFieldReportsTheEdit) {
    i64 id = add(OBJECT_TEMPO);
    u64 panel = open(OBJECT_TEMPO, id);
    ObjectPanelContent* state = content(panel);
    EXPECT_EQ(to_string(text_field_text(&state->fields[0])), "30");  // primed from the curve
    EXPECT_EQ(to_string(text_field_text(&state->fields[1])), "240");
    // Rows: visible, editable, minimum, maximum.
    type_row(panel, 2, "3/4");
    EXPECT_EQ(state->fields[0].changed, 1);  // this very frame reported the edit...
    TempoObject* tempo = find<TempoObject>(OBJECT_TEMPO, id);
    EXPECT_TRUE(same(tempo->tempo.minimum, Fraction{3, 4}));  // ...and the curve has it
    EXPECT_EQ(g_piece.modified, 1);

    // Without an edit the field neither rewrites the curve nor follows it.
    tempo->tempo.minimum = Fraction{1, 8};
    frames(3);
    EXPECT_TRUE(same(tempo->tempo.minimum, Fraction{1, 8}));
    EXPECT_EQ(to_string(text_field_text(&state->fields[0])), "3/4");

    click_toggle(panel, 0);
    click_toggle(panel, 1);
    EXPECT_EQ(tempo->tempo.visible, 0);
    EXPECT_EQ(tempo->tempo.editable, 0);
    // A tempo of no speed, or a fraction without a denominator, is refused where typed.
    for (const char* typed : {"x", "0", "-60", "240/0"}) {
        type_row(panel, 3, typed);
        EXPECT_TRUE(same(tempo->tempo.maximum, Fraction{240, 1})) << typed;
        EXPECT_EQ(state->fields[1].refused, 1) << typed;
        EXPECT_EQ(marked_fields(), 1u) << typed;
    }
    type_row(panel, 3, "200");
    EXPECT_TRUE(same(tempo->tempo.maximum, Fraction{200, 1}));
    EXPECT_TRUE(marked_fields() == 0);
}

TEST_F(ObjectPanels, PitchRowsEditThePitchCurve) {
    i64 id = add(OBJECT_PITCH);
    u64 panel = open(OBJECT_PITCH, id);
    // Rows: scope, visible, editable, minimum, maximum.
    click_toggle(panel, 2);
    type_row(panel, 3, "1/4");
    type_row(panel, 4, "4");
    PitchObject* pitch = find<PitchObject>(OBJECT_PITCH, id);
    EXPECT_EQ(pitch->pitch.editable, 0);
    EXPECT_EQ(pitch->pitch.visible, 1);
    EXPECT_TRUE(same(pitch->pitch.minimum, Fraction{1, 4}));
    EXPECT_TRUE(same(pitch->pitch.maximum, Fraction{4, 1}));
}

TEST_F(ObjectPanels, SoundWavesAreLabelledRemovedAndAddedUpToFour) {
    i64 id = add(OBJECT_SOUND);
    SoundObject* sound = find<SoundObject>(OBJECT_SOUND, id);
    ASSERT_TRUE(sound_wave_add(sound));
    sound->wave_names[1] = str_copy(POOL_MAIN, STR("square"));
    EXPECT_EQ(to_string(sound_wave_label(sound, 0)), "wave 1");
    EXPECT_EQ(to_string(sound_wave_label(sound, 1)), "wave 2");
    u64 panel = open(OBJECT_SOUND, id);
    ObjectPanelContent* state = content(panel);
    EXPECT_EQ(to_string(text_field_text(&state->fields[0])), "sine");
    EXPECT_EQ(to_string(text_field_text(&state->fields[1])), "square");

    // Rows: scope, visible, editable, wave 1, wave 2, add wave. Remove the first wave.
    f32 remove_x = value_x(panel) + value_width(panel) - g_theme.scale / 2;
    click_at(remove_x, row_centre_y(panel, 3));
    sound = find<SoundObject>(OBJECT_SOUND, id);
    ASSERT_EQ(sound->wave_count, 1);
    EXPECT_EQ(to_string(sound->wave_names[0]), "square");
    EXPECT_EQ(to_string(sound_wave_label(sound, 0)), "wave");
    EXPECT_EQ(to_string(text_field_text(&state->fields[0])), "square");  // moved up a row

    // "add wave" is now the fifth row; three clicks fill the sound.
    for (i32 waves = 2; waves <= 4; waves += 1) {
        click_value(panel, 3 + (waves - 1));
        EXPECT_EQ(sound->wave_count, waves);
    }
    EXPECT_EQ(to_string(sound->wave_names[3]), "sine");
    // At four there is no "add wave": clicking where it would be adds nothing.
    click_value(panel, 3 + 4);
    EXPECT_EQ(sound->wave_count, 4);
    EXPECT_FALSE(sound_wave_add(sound));
    EXPECT_EQ(sound->wave_count, 4);
    // Every blend curve in use has points of its own.
    for (i32 a = 0; a < 3; a += 1) {
        EXPECT_EQ(sound->blend[a].points.count, 1);
        for (i32 b = a + 1; b < 3; b += 1)
            EXPECT_NE(sound->blend[a].points.data, sound->blend[b].points.data);
    }

    // A wave name typed into its row: wave 2.
    f32 name_x = value_x(panel) + (value_width(panel) - g_theme.scale - g_theme.offset / 2) / 2;
    type_over_at(name_x, row_centre_y(panel, 4), "triangle");
    EXPECT_EQ(to_string(sound->wave_names[1]), "triangle");
    click_toggle(panel, 1);
    click_toggle(panel, 2);
    EXPECT_EQ(sound->visible, 0);
    EXPECT_EQ(sound->editable, 0);
}

TEST_F(ObjectPanels, RemovingAMiddleWaveDropsTheCurveLeadingIntoIt) {
    i64 id = add(OBJECT_SOUND);
    SoundObject* sound = find<SoundObject>(OBJECT_SOUND, id);
    ASSERT_TRUE(sound_wave_add(sound));
    ASSERT_TRUE(sound_wave_add(sound));
    sound->blend[0].maximum = Fraction{7, 1};  // between waves 1 and 2
    sound->blend[1].maximum = Fraction{9, 1};  // between waves 2 and 3
    ASSERT_TRUE(sound_wave_remove(sound, 1));
    EXPECT_EQ(sound->wave_count, 2);
    EXPECT_TRUE(same(sound->blend[0].maximum, Fraction{9, 1}));
    EXPECT_EQ(sound->blend[1].points.count, 0);  // the freed slot shares nothing
    EXPECT_FALSE(sound_wave_remove(sound, 2));
    EXPECT_FALSE(sound_wave_remove(sound, -1));
}

TEST_F(ObjectPanels, KeyNameBringsItsScaleAndFrequencyIsANumber) {
    i64 id = add(OBJECT_KEY);
    u64 panel = open(OBJECT_KEY, id);
    EXPECT_EQ(to_string(text_field_text(&content(panel)->fields[0])), "key");
    // Rows: scope, key, frequency; the value column starts 5s in.
    type_row(panel, 1, "just minor", 5, 3);
    KeyObject* key = find<KeyObject>(OBJECT_KEY, id);
    EXPECT_EQ(to_string(key->key_name), "just minor");
    const KeyDefinition* minor = key_by_name(STR("just minor"));
    ASSERT_TRUE(minor);
    EXPECT_EQ(key->pitches.count, minor->pitches.count);
    EXPECT_EQ(key->pitches.data, minor->pitches.data);
    type_row(panel, 1, "no such key", 5, 3);
    EXPECT_EQ(key->pitches.count, 0);
    type_row(panel, 2, "432.5", 5, 3);
    EXPECT_DOUBLE_EQ(key->reference_frequency, 432.5);
    type_row(panel, 2, "0", 5, 3);
    type_row(panel, 2, "-440", 5, 3);
    EXPECT_DOUBLE_EQ(key->reference_frequency, 432.5);
    EXPECT_EQ(content(panel)->fields[1].refused, 1);
}

TEST_F(ObjectPanels, MeasureAndTextEditTheirValuesAndOpenThePickerOnTheirColour) {
    i64 measure_id = add(OBJECT_MEASURE);
    u64 measure_panel = open(OBJECT_MEASURE, measure_id);
    EXPECT_EQ(to_string(text_field_text(&content(measure_panel)->fields[0])), "4");
    type_row(measure_panel, 0, "7/8");
    EXPECT_TRUE(same(find<MeasureObject>(OBJECT_MEASURE, measure_id)->bar_length, Fraction{7, 8}));
    type_row(measure_panel, 0, "0/8");  // a bar of no length is refused
    EXPECT_TRUE(same(find<MeasureObject>(OBJECT_MEASURE, measure_id)->bar_length, Fraction{7, 8}));
    click_value(measure_panel, 1);
    const Panel* picker = &g_panels.panels[g_panels.panels.count - 1];
    ASSERT_EQ(picker->kind, PANEL_COLOR_PICKER);
    const ColorPickerContent* bound = (const ColorPickerContent*)picker->content;
    EXPECT_EQ(bound->binding.object_kind, OBJECT_MEASURE);
    EXPECT_EQ(bound->binding.id, measure_id);
    EXPECT_EQ(color_binding_target(&bound->binding),
              find<MeasureObject>(OBJECT_MEASURE, measure_id)->bar_color);
    // The picker lies over the measure panel; both go.
    panel_remove(g_panels.panels.count - 1);
    panel_remove(panel_index(measure_panel));

    i64 text_id = add(OBJECT_TEXT);
    u64 text_panel = open(OBJECT_TEXT, text_id);
    EXPECT_EQ(content(text_panel)->fields[0].single_line, 0);
    type_row(text_panel, 0, "coda");
    EXPECT_EQ(to_string(find<TextObject>(OBJECT_TEXT, text_id)->text), "coda");
    // The swatch follows the five-line text field.
    Rect c = content_rect(text_panel);
    f32 s = g_theme.scale, o = g_theme.offset;
    f32 swatch_y = c.y + c.height - o - (5 * s + 4 * o) - o - s / 2;
    click_at(value_x(text_panel) + value_width(text_panel) / 2, swatch_y);
    picker = &g_panels.panels[g_panels.panels.count - 1];
    ASSERT_EQ(picker->kind, PANEL_COLOR_PICKER);
    EXPECT_EQ(((const ColorPickerContent*)picker->content)->binding.object_kind, OBJECT_TEXT);
}

TEST_F(ObjectPanels, RepeatAndShapeRowsParseTheirTypes) {
    i64 repeat_id = add(OBJECT_REPEAT);
    u64 repeat_panel = open(OBJECT_REPEAT, repeat_id);
    EXPECT_EQ(to_string(text_field_text(&content(repeat_panel)->fields[0])), "1");
    // Rows: scope, num, start, end.
    type_row(repeat_panel, 1, "3");
    type_row(repeat_panel, 2, "1/2");
    type_row(repeat_panel, 3, "5/2");
    RepeatObject* repeat = find<RepeatObject>(OBJECT_REPEAT, repeat_id);
    EXPECT_EQ(repeat->count, 3);
    EXPECT_TRUE(same(repeat->start, Fraction{1, 2}));
    EXPECT_TRUE(same(repeat->end, Fraction{5, 2}));
    click_ok();
    frames();

    i64 shape_id = add(OBJECT_SHAPE);
    u64 shape_panel = open(OBJECT_SHAPE, shape_id);
    // Rows: scope, time offset, volume curve.
    type_row(shape_panel, 1, "0.25");
    type_row(shape_panel, 2, "pluck");
    ShapeObject* shape = find<ShapeObject>(OBJECT_SHAPE, shape_id);
    EXPECT_DOUBLE_EQ(shape->time_offset, 0.25);
    EXPECT_EQ(to_string(shape->shape_name), "pluck");
    // The typed name is the piece's own copy, not the field's storage.
    EXPECT_NE(shape->shape_name.data, content(shape_panel)->fields[1].text.data);
}

TEST_F(ObjectPanels, APanelWhoseObjectIsGoneShowsAndWritesNothing) {
    i64 first = add(OBJECT_TEMPO);
    i64 second = add(OBJECT_TEMPO);
    u64 panel = open(OBJECT_TEMPO, first);
    // The object is deleted; the other tempo moves into its place in the list. The panel
    // shows nothing of it: its frame alone.
    array_remove(&g_piece.tempos, 0);
    expect_draws_match("object_panel_gone");
    Fraction before = find<TempoObject>(OBJECT_TEMPO, second)->tempo.minimum;
    type_row(panel, 2, "3/4");
    click_toggle(panel, 0);
    TempoObject* other = find<TempoObject>(OBJECT_TEMPO, second);
    EXPECT_TRUE(same(other->tempo.minimum, before));
    EXPECT_EQ(other->tempo.visible, 1);
    ASSERT_TRUE(panel_find(panel));  // still there until the user closes it
}

TEST_F(ObjectPanels, APanelAskedToCloseWritesNothingInTheRestOfTheFrame) {
    i64 id = add(OBJECT_TEMPO);
    u64 panel = open(OBJECT_TEMPO, id);
    type_row(panel, 2, "1/2");
    ObjectPanelContent* state = content(panel);
    ASSERT_EQ(state->fields[0].focused, 1);

    // A file replaced the piece in this frame, before this panel's turn: the other piece's
    // tempo has the same id. Typing reaches the focused field, which must write nothing.
    TempoObject* tempo = find<TempoObject>(OBJECT_TEMPO, id);
    tempo->tempo.minimum = Fraction{5, 1};
    panels_close_piece_bound();
    Rect rect = content_rect(panel);
    headless_type_text(STR("7"));
    widget_frame([&] {
        headless_draws_clear();
        object_panel_content(panel_find(panel), rect);
    });
    EXPECT_TRUE(same(tempo->tempo.minimum, Fraction{5, 1}));
    EXPECT_EQ(headless_draw_count(), 0);
    frames();
    EXPECT_FALSE(panel_find(panel));
}

TEST_F(ObjectPanels, OnePanelPerObjectAndNoneForNotes) {
    i64 id = add(OBJECT_TEMPO);
    ASSERT_TRUE(object_panel_open(OBJECT_TEMPO, id));
    i64 count = g_panels.panels.count;
    EXPECT_FALSE(object_panel_open(OBJECT_TEMPO, id));
    EXPECT_FALSE(object_panel_open(OBJECT_NOTE, add(OBJECT_NOTE)));
    EXPECT_EQ(g_panels.panels.count, count);
}
