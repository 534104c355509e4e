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
    static std::string field(u64 panel, i32 index) {
        return to_string(text_field_text(&content(panel)->fields[index]));
    }

    // Half a scale into the value column of the row labelled so in the panel on top (where a
    // toggle's box is), and `dx` further: the column starts 4s right of the labels, 5s in the
    // key panel. Text elsewhere (a title, a field, the score) that reads the same is passed.
    struct Spot {
        f32 x, y;
    };
    Spot spot(const char* label, f32 dx = 0, f32 columns = 4) {
        const Panel* p = &g_panels.panels[g_panels.panels.count - 1];
        f32 s = g_theme.scale, o = g_theme.offset, box[4];
        for (i32 nth = 0; label_box(label, box, nth); nth += 1) {
            bool in_labels = box[0] >= p->x && box[0] < p->x + 2 * o;
            if (in_labels && box[1] > p->y && box[1] < p->y + p->height - g_panels.title_height)
                return Spot{box[0] + (columns + 0.5f) * s + dx, box[1] + box[3] / 2};
        }
        ADD_FAILURE() << "no row labelled " << label;
        return Spot{0, 0};
    }
    void click_row(const char* label, f32 dx = 0, f32 columns = 4) {
        Spot at = spot(label, dx, columns);
        click_at(at.x, at.y);
    }
    void type_row(const char* label, const char* text, f32 columns = 4) {
        Spot at = spot(label, 0, columns);
        type_over_at(at.x, at.y, text);
    }
    void click_ok() { ASSERT_TRUE(click_label("ok")); }
};

TEST_F(ObjectPanels, OnePanelPerObjectWhereThreeClicksOnScopeReturnTheObjectToItsScope) {
    EXPECT_FALSE(object_panel_open(OBJECT_NOTE, add(OBJECT_NOTE)));  // notes have none
    const u8 kinds[] = {OBJECT_KEY,   OBJECT_VOLUME, OBJECT_PITCH,
                        OBJECT_SOUND, OBJECT_REPEAT, OBJECT_SHAPE};
    for (u8 kind : kinds) {
        i64 id = add(kind);
        u64 panel = open(kind, id);
        EXPECT_FALSE(object_panel_open(kind, id)) << "a second panel for kind " << (int)kind;
        find<ObjectHeader>(kind, id)->scope = SCOPE_MEMBERS;
        const u8 expected[] = {SCOPE_LOCAL, SCOPE_GLOBAL, SCOPE_MEMBERS};
        for (u8 scope : expected) {
            click_row("scope", 0, kind == OBJECT_KEY ? 5 : 4);
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
    open(OBJECT_VOLUME, id);
    // Each click and the visibility of the volume and the pan curve after it.
    const struct {
        const char* row;
        u8 volume, pan;
    } clicks[] = {
        {"visible", 0, 0}, {"visible", 1, 1},  // off and on again, with "panning" still on
        {"panning", 1, 0},                     // panning off: the volume curve stays
        {"visible", 0, 0}, {"visible", 1, 0},  // off and on again: panning is still off
        {"visible", 0, 0}, {"panning", 0, 0},  // hidden: turning panning on shows nothing yet
        {"visible", 1, 1},
    };
    for (const auto& click : clicks) {
        click_row(click.row);
        volume = find<VolumeObject>(OBJECT_VOLUME, id);
        EXPECT_EQ(volume->volume.visible, click.volume) << &click - clicks;
        EXPECT_EQ(volume->pan.visible, click.pan) << &click - clicks;
    }

    click_row("editable");  // both curves
    EXPECT_EQ(volume->volume.editable, 0);
    EXPECT_EQ(volume->pan.editable, 0);
    type_row("maximum", "3/2");
    EXPECT_TRUE(same(volume->volume.maximum, Fraction{3, 2}));
    EXPECT_TRUE(same(volume->pan.maximum, Fraction{1, 1}));  // the pan curve keeps its range
}

TEST_F(ObjectPanels, TempoAndPitchRowsAreAdoptedInTheFrameTheFieldReportsTheEdit) {
    i64 id = add(OBJECT_TEMPO);
    u64 panel = open(OBJECT_TEMPO, id);
    EXPECT_EQ(field(panel, 0), "30");  // primed from the curve
    EXPECT_EQ(field(panel, 1), "240");
    type_row("minimum", "3/4");
    ObjectPanelContent* state = content(panel);
    EXPECT_EQ(state->fields[0].changed, 1);  // this very frame reported the edit...
    TempoObject* tempo = find<TempoObject>(OBJECT_TEMPO, id);
    EXPECT_TRUE(same(tempo->tempo.minimum, Fraction{3, 4}));  // ...and the curve has it
    EXPECT_EQ(g_piece.modified, 1);

    // Without an edit the field neither rewrites the curve nor follows it.
    tempo->tempo.minimum = Fraction{1, 8};
    frames(3);
    EXPECT_TRUE(same(tempo->tempo.minimum, Fraction{1, 8}));
    EXPECT_EQ(field(panel, 0), "3/4");

    click_row("visible");
    click_row("editable");
    EXPECT_EQ(tempo->tempo.visible, 0);
    EXPECT_EQ(tempo->tempo.editable, 0);
    // A tempo of no speed, or a fraction without a denominator, is refused where typed.
    for (const char* typed : {"x", "0", "-60", "240/0"}) {
        type_row("maximum", typed);
        EXPECT_TRUE(same(tempo->tempo.maximum, Fraction{240, 1})) << typed;
        EXPECT_EQ(state->fields[1].refused, 1) << typed;
        EXPECT_EQ(marked_fields(), 1u) << typed;
    }
    type_row("maximum", "200");
    EXPECT_TRUE(same(tempo->tempo.maximum, Fraction{200, 1}));
    EXPECT_TRUE(marked_fields() == 0);

    // The pitch panel has the same rows below its scope.
    i64 pitch_id = add(OBJECT_PITCH);
    open(OBJECT_PITCH, pitch_id);
    click_row("editable");
    type_row("minimum", "1/4");
    type_row("maximum", "4");
    PitchObject* pitch = find<PitchObject>(OBJECT_PITCH, pitch_id);
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
    u64 panel = open(OBJECT_SOUND, id);
    EXPECT_EQ(field(panel, 0), "sine");
    EXPECT_EQ(field(panel, 1), "square");

    // The remove button at the right end of the first wave's row.
    f32 s = g_theme.scale, o = g_theme.offset;
    click_row("wave 1", panel_find(panel)->width - 5 * s - 2 * o);
    sound = find<SoundObject>(OBJECT_SOUND, id);
    ASSERT_EQ(sound->wave_count, 1);
    EXPECT_EQ(to_string(sound->wave_names[0]), "square");
    EXPECT_EQ(field(panel, 0), "square");  // moved up a row
    EXPECT_EQ(to_string(sound_wave_label(sound, 0)), "wave");
    // Three clicks on "add wave" fill the sound.
    for (i32 waves = 2; waves <= 4; waves += 1) {
        ASSERT_TRUE(click_label("add wave"));
        EXPECT_EQ(sound->wave_count, waves);
    }
    EXPECT_EQ(to_string(sound->wave_names[3]), "sine");
    // At four there is no "add wave".
    EXPECT_FALSE(click_label("add wave"));
    EXPECT_FALSE(sound_wave_add(sound));
    EXPECT_EQ(sound->wave_count, 4);
    // Every blend curve in use has points of its own.
    for (i32 a = 0; a < 3; a += 1) {
        EXPECT_EQ(sound->blend[a].points.count, 1);
        for (i32 b = a + 1; b < 3; b += 1)
            EXPECT_NE(sound->blend[a].points.data, sound->blend[b].points.data);
    }

    type_row("wave 2", "triangle");
    EXPECT_EQ(to_string(sound->wave_names[1]), "triangle");
    click_row("visible");
    click_row("editable");
    EXPECT_EQ(sound->visible, 0);
    EXPECT_EQ(sound->editable, 0);

    // Removing a middle wave drops the blend curve leading into it.
    sound->blend[0].maximum = Fraction{7, 1};  // between waves 1 and 2
    sound->blend[1].maximum = Fraction{9, 1};  // between waves 2 and 3
    ASSERT_TRUE(sound_wave_remove(sound, 1));
    EXPECT_EQ(sound->wave_count, 3);
    EXPECT_TRUE(same(sound->blend[0].maximum, Fraction{9, 1}));
    EXPECT_EQ(sound->blend[2].points.count, 0);  // the freed slot shares nothing
    EXPECT_FALSE(sound_wave_remove(sound, 3));
    EXPECT_FALSE(sound_wave_remove(sound, -1));
}

TEST_F(ObjectPanels, KeyNameBringsItsScaleAndFrequencyIsANumber) {
    i64 id = add(OBJECT_KEY);
    u64 panel = open(OBJECT_KEY, id);
    EXPECT_EQ(field(panel, 0), "key");
    type_row("key", "just minor", 5);
    KeyObject* key = find<KeyObject>(OBJECT_KEY, id);
    EXPECT_EQ(to_string(key->key_name), "just minor");
    const KeyDefinition* minor = key_by_name(STR("just minor"));
    ASSERT_TRUE(minor);
    EXPECT_EQ(key->pitches.count, minor->pitches.count);
    EXPECT_EQ(key->pitches.data, minor->pitches.data);
    type_row("key", "no such key", 5);
    EXPECT_EQ(key->pitches.count, 0);
    type_row("frequency", "432.5", 5);
    EXPECT_DOUBLE_EQ(key->reference_frequency, 432.5);
    type_row("frequency", "0", 5);
    type_row("frequency", "-440", 5);
    EXPECT_DOUBLE_EQ(key->reference_frequency, 432.5);
    EXPECT_EQ(content(panel)->fields[1].refused, 1);
}

TEST_F(ObjectPanels, MeasureAndTextEditTheirValuesAndOpenThePickerOnTheirColour) {
    i64 measure_id = add(OBJECT_MEASURE);
    u64 measure_panel = open(OBJECT_MEASURE, measure_id);
    EXPECT_EQ(field(measure_panel, 0), "4");
    type_row("length", "7/8");
    type_row("length", "0/8");  // a bar of no length is refused
    MeasureObject* measure = find<MeasureObject>(OBJECT_MEASURE, measure_id);
    EXPECT_TRUE(same(measure->bar_length, Fraction{7, 8}));
    click_row("color");
    Panel* picker = panel_of_kind(PANEL_COLOR_PICKER);
    ASSERT_TRUE(picker);
    const ColorBinding* binding = &((const ColorPickerContent*)picker->content)->binding;
    EXPECT_EQ(color_binding_target(binding), measure->bar_color);
    // The picker lies over the measure panel; both go.
    panel_remove(panel_index(picker->id));
    panel_remove(panel_index(measure_panel));

    i64 text_id = add(OBJECT_TEXT);
    u64 text_panel = open(OBJECT_TEXT, text_id);
    EXPECT_EQ(content(text_panel)->fields[0].single_line, 0);
    type_row("text", "coda");
    TextObject* text = find<TextObject>(OBJECT_TEXT, text_id);
    EXPECT_EQ(to_string(text->text), "coda");
    click_row("color");  // below the five-line text field
    picker = panel_of_kind(PANEL_COLOR_PICKER);
    ASSERT_TRUE(picker);
    binding = &((const ColorPickerContent*)picker->content)->binding;
    EXPECT_EQ(color_binding_target(binding), text->color);
}

TEST_F(ObjectPanels, RepeatAndShapeRowsParseTheirTypes) {
    i64 repeat_id = add(OBJECT_REPEAT);
    u64 repeat_panel = open(OBJECT_REPEAT, repeat_id);
    EXPECT_EQ(field(repeat_panel, 0), "1");
    type_row("num", "3");
    type_row("start", "1/2");
    type_row("end", "5/2");
    RepeatObject* repeat = find<RepeatObject>(OBJECT_REPEAT, repeat_id);
    EXPECT_EQ(repeat->count, 3);
    EXPECT_TRUE(same(repeat->start, Fraction{1, 2}));
    EXPECT_TRUE(same(repeat->end, Fraction{5, 2}));

    i64 shape_id = add(OBJECT_SHAPE);
    u64 shape_panel = open(OBJECT_SHAPE, shape_id);
    type_row("time offset", "0.25");
    type_row("volume curve", "pluck");
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
    Spot minimum = spot("minimum"), visible = spot("visible");
    // The object is deleted; the other tempo moves into its place in the list. The panel
    // shows nothing of it: its frame alone.
    array_remove(&g_piece.tempos, 0);
    expect_draws_match("object_panel_gone");
    Fraction before = find<TempoObject>(OBJECT_TEMPO, second)->tempo.minimum;
    type_over_at(minimum.x, minimum.y, "3/4");
    click_at(visible.x, visible.y);
    TempoObject* other = find<TempoObject>(OBJECT_TEMPO, second);
    EXPECT_TRUE(same(other->tempo.minimum, before));
    EXPECT_EQ(other->tempo.visible, 1);
    ASSERT_TRUE(panel_find(panel));  // still there until the user closes it
}

TEST_F(ObjectPanels, APanelAskedToCloseWritesNothingInTheRestOfTheFrame) {
    i64 id = add(OBJECT_TEMPO);
    u64 panel = open(OBJECT_TEMPO, id);
    type_row("minimum", "1/2");
    ASSERT_EQ(content(panel)->fields[0].focused, 1);

    // A file replaced the piece in this frame, before this panel's turn: the other piece's
    // tempo has the same id. Typing reaches the focused field, which must write nothing.
    TempoObject* tempo = find<TempoObject>(OBJECT_TEMPO, id);
    tempo->tempo.minimum = Fraction{5, 1};
    panels_close_piece_bound();
    Panel* p = panel_find(panel);
    Rect rect = {p->x, p->y, p->width, p->height - (f32)g_panels.title_height};
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
