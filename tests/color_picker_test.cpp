// The colour picker: priming from a colour and the way back, the field, hue and alpha
// drags and where they end, what is drawn with which program, and the picker panel bound
// to a colour of the piece that moves or disappears while the panel is open.
#include <random>

#include "frame_support.h"
#include "panels/entry_panels.h"
#include "panels/object_panels.h"
#include "piece_support.h"
#include "ui/color_picker.h"

static void expect_colour(const f32* colour, f32 r, f32 g, f32 b, f32 a, f32 tolerance = 1e-6f) {
    EXPECT_NEAR(colour[0], r, tolerance);
    EXPECT_NEAR(colour[1], g, tolerance);
    EXPECT_NEAR(colour[2], b, tolerance);
    EXPECT_NEAR(colour[3], a, tolerance);
}

// ---------------------------------------------------------------------------
// Colour arithmetic
// ---------------------------------------------------------------------------
TEST(ColourPicker, PrimingThenComputingGivesTheColourBack) {
    // Where the way back does not decide: grey has no hue, black no saturation.
    ColorPickerState state = {};
    const f32 grey[4] = {0.5f, 0.5f, 0.5f, 1.0f}, black[4] = {0, 0, 0, 1};
    color_picker_prime(&state, grey);
    EXPECT_TRUE(state.hue == 0 && state.saturation == 0 && state.value == 0.5f);
    color_picker_prime(&state, black);
    EXPECT_TRUE(state.saturation == 0 && state.value == 0);

    std::mt19937 random(11);
    std::uniform_real_distribution<f32> unit(0.0f, 1.0f);
    for (int i = 0; i < 2000; i += 1) {
        f32 colour[4] = {unit(random), unit(random), unit(random), unit(random)};
        color_picker_prime(&state, colour);
        EXPECT_GE(state.hue, 0.0f);
        EXPECT_LT(state.hue, 1.0f);
        f32 back[4];
        color_from_hsv(state.hue, state.saturation, state.value, state.alpha, back);
        expect_colour(back, colour[0], colour[1], colour[2], colour[3], 1e-5f);
    }
}

// ---------------------------------------------------------------------------
// The widget
// ---------------------------------------------------------------------------
struct PickerWidget : InterfaceTest {
    ColorPickerState state = {};
    f32 colour[4] = {0.2f, 0.4f, 0.6f, 1.0f};
    Rect rect = {100, 100, 300, 276};

    void SetUp() override {
        InterfaceTest::SetUp();
        color_picker_prime(&state, colour);
    }
    void frame() {
        widget_frame([&] {
            state.target = colour;
            color_picker(&state, rect);
        });
    }
    void at(f32 x, f32 y) {
        mouse_to(x, y);
        frame();
    }
    void press() {
        headless_mouse_down(MOUSE_LEFT);
        frame();
    }
    void release() {
        headless_mouse_up(MOUSE_LEFT);
        frame();
    }
};

// Each strip and the field set their own value and stop at their ends; nothing else writes.
TEST_F(PickerWidget, OnlyTheFieldAndTheStripsWriteAndOkRaisesDoneForOneFrame) {
    colour[0] = 0.123456f;
    colour[1] = 0.7f;
    color_picker_prime(&state, colour);
    const f32 before[4] = {colour[0], colour[1], colour[2], colour[3]};
    // Hovering writes nothing, nor a press outside the picker's strips, nor one on "ok".
    at(250, 250);
    at(105, 105 + g_theme.scale * 3);
    press();
    release();
    ColorPickerLayout l = color_picker_layout(rect);
    at(l.ok.x + 5, l.ok.y + 5);
    press();
    EXPECT_EQ(state.done, 0);
    release();
    EXPECT_EQ(state.done, 1);
    frame();
    EXPECT_EQ(state.done, 0);
    EXPECT_TRUE(same_color(colour, before));

    at(l.alpha.x + 2, l.alpha.y + l.alpha.height / 4);
    press();
    release();
    expect_colour(colour, 0.123456f, 0.7f, 0.6f, 0.25f, 1e-5f);

    at(l.hue.x + 2, l.hue.y);  // hue 0: red
    press();
    release();
    at(l.field.x + l.field.width / 4, l.field.y + l.field.height / 2);
    press();
    expect_colour(colour, 0.5f, 0.375f, 0.375f, 0.25f);  // saturation 1/4, value 1/2
    // Beyond the field's edges the values stop at 0 and 1: white.
    at(l.field.x - 50, l.field.y + l.field.height + 50);
    expect_colour(colour, 1, 1, 1, 0.25f);
    release();

    // Above the hue strip is red again, and the release anywhere ends the drag.
    state.saturation = 1;
    at(l.hue.x + 2, l.hue.y + l.hue.height / 2);
    press();
    expect_colour(colour, 0, 1, 1, 0.25f);  // hue 1/2
    at(l.hue.x + 2, l.hue.y + l.hue.height + 80);
    EXPECT_EQ(state.hue, 1.0f);
    expect_colour(colour, 1, 0, 0, 0.25f);
    at(700, 600);  // far outside the picker
    release();
    at(l.hue.x + 2, l.hue.y);
    EXPECT_EQ(state.hue, 1.0f);  // no longer follows the mouse
}

// The field by the colour program with the hue in its colour, everything after it by the
// simple one, the preview in the colour, and the field's marker dark on light colours (and
// light on dark ones, as the picker panel's snapshot shows).
TEST_F(PickerWidget, ThePickerDrawsAsStored) {
    state.hue = 0.375f;
    state.saturation = 0.1f;
    state.value = 0.95f;  // nearly white
    expect_draws_match("color_picker_light", [&] { frame(); });
}

// ---------------------------------------------------------------------------
// The picker panel and its binding
// ---------------------------------------------------------------------------
struct PickerPanel : InterfaceTest {
    static MeasureObject* add_measure(f32 red) {
        MeasureObject measure = {};
        measure.header = header_make(OBJECT_MEASURE, 0, 0, SCOPE_GLOBAL, frac(0), frac(4));
        measure.bar_length = frac(4);
        measure.bar_color[0] = red;
        measure.bar_color[3] = 1;
        return (MeasureObject*)piece_object_add(&g_piece, &measure.header);
    }
    static MeasureObject* measure_by_id(i64 id) {
        return (MeasureObject*)object_find(&g_piece, OBJECT_MEASURE, id);
    }
    static Panel* picker() { return panel_of_kind(PANEL_COLOR_PICKER); }
    ColorPickerLayout layout() {
        const Panel* p = picker();
        return color_picker_layout(Rect{p->x, p->y, p->width, p->height - g_theme.scale});
    }
};

TEST_F(PickerPanel, OpensCentredOncePerColourPrimedFromIt) {
    MeasureObject* measure = add_measure(0);
    i64 id = measure->header.id;
    measure->bar_color[2] = 1;
    measure->bar_color[3] = 0.5f;
    mouse_to(10, 10);
    frames();
    ASSERT_NE(color_picker_open(color_binding_object(OBJECT_MEASURE, id, 0)), nullptr);
    EXPECT_EQ(color_picker_open(color_binding_object(OBJECT_MEASURE, id, 0)), nullptr);
    EXPECT_EQ(color_picker_open(color_binding_object(OBJECT_NOTE, id, 0)), nullptr);  // none
    // Centred, titled "color picker", its markers on the colour's hue and alpha.
    expect_draws_match("color_picker_panel");
    // Open and close untouched: the colour is as it was.
    ColorPickerLayout l = layout();
    click_at(l.ok.x + 5, l.ok.y + 5);
    frames();
    EXPECT_EQ(picker(), nullptr);
    expect_colour(measure_by_id(id)->bar_color, 0, 0, 1, 0.5f, 0);
}

// The object is found by id on every frame: after its list moved it is written where it is
// now; deleted mid-drag, the panel closes and the object behind it is not written.
TEST_F(PickerPanel, ADragWritesIntoTheObjectFoundByIdAndNothingOnceItIsDeleted) {
    add_measure(0.1f);
    i64 id = add_measure(0.2f)->header.id;
    frames();
    ASSERT_NE(color_picker_open(color_binding_object(OBJECT_MEASURE, id, 0)), nullptr);
    frames();
    MeasureObject* before = measure_by_id(id);
    for (int i = 0; i < 40; i += 1) add_measure(0.9f);
    ASSERT_NE(measure_by_id(id), before);
    ColorPickerLayout l = layout();
    drag(l.field.x + l.field.width - 1, l.field.y + 1, l.field.x + l.field.width / 2,
         l.field.y + l.field.height - 1);
    MeasureObject* measure = measure_by_id(id);
    EXPECT_NEAR(measure->bar_color[0], 1.0f, 0.02f);  // hue 0, half saturated, full value
    EXPECT_NEAR(measure->bar_color[1], 0.5f, 0.02f);
    EXPECT_EQ(g_piece.measures[0].bar_color[0], 0.1f);
    for (i64 i = 2; i < g_piece.measures.count; i += 1)
        EXPECT_EQ(g_piece.measures[i].bar_color[0], 0.9f);
    EXPECT_EQ(g_piece.modified, 1);

    mouse_to(l.field.x + 5, l.field.y + 5);
    frames();
    headless_mouse_down(MOUSE_LEFT);
    frames();
    array_remove(&g_piece.measures, 1);
    mouse_to(l.field.x + l.field.width / 2, l.field.y + l.field.height / 2);
    frames();
    headless_mouse_up(MOUSE_LEFT);
    frames();
    EXPECT_EQ(picker(), nullptr);
    expect_colour(g_piece.measures[1].bar_color, 0.9f, 0, 0, 1, 0);
}

TEST_F(PickerPanel, AGroupColourIsFoundByIdUntilTheGroupIsGone) {
    i64 other = piece_group_add(&g_piece, STR("second"));
    ASSERT_GE(other, 0);
    ColorBinding group = color_binding_group(other);
    EXPECT_EQ(color_binding_target(&group), group_find(&g_piece, other)->color);
    array_remove(&g_piece.groups, g_piece.groups.count - 1);
    EXPECT_EQ(color_binding_target(&group), nullptr);
}
