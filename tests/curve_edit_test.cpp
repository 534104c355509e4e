// Curve editing: the conversions from canvas distances to curve values, the edge cases of
// the operations behind the "curve point" window, and whole frames that pick, drag, add and
// delete points and handles of a tempo curve with the mouse and keys.
#include "editor/curve_edit.h"
#include "editor_support.h"
#include "panels/object_panels.h"
#include "ui/panels.h"

TEST(CurveConversion, MouseValuesRoundToTheResolutionAndToThousandthsWithoutAZeroDenominator) {
    ScopedPools pools;
    Curve curve = curve_with_points(POOL_MAIN, frac(0), frac(1), {});
    EXPECT_TRUE(same(curve_y_from_canvas(&curve, 0.777, 100), frac(39, 100)));
    EXPECT_TRUE(same(curve_y_from_canvas(&curve, 1.0, 7), frac(4, 7)));  // 3.5 rounds up
    EXPECT_TRUE(same(curve_x_from_canvas(1.23456), frac(247, 200)));
    EXPECT_TRUE(same(curve_x_from_canvas(0.0004), frac(0)));
    EXPECT_TRUE(same(curve_x_from_canvas(-0.0016), frac(-1, 500)));
    Curve pan = curve_with_points(POOL_MAIN, frac(-1), frac(1), {});
    EXPECT_TRUE(same(curve_y_from_canvas(&pan, 0.5, 100), frac(-1, 2)));

    // The middle of a logarithmic box from 1/2 to 2 is 1.
    curve.minimum = frac(1, 2);
    curve.maximum = frac(2);
    curve.logarithmic = 1;
    EXPECT_TRUE(same(curve_y_from_canvas(&curve, 1.0, 1000), frac(1)));

    // No range, no height or no resolution never make a zero denominator; on the canvas,
    // values without a range (or a logarithmic one through zero) lie on the box's floor.
    curve = curve_with_points(POOL_MAIN, frac(3), frac(3), {});
    EXPECT_TRUE(same(curve_y_from_canvas(&curve, 1.5, 100), frac(3)));
    EXPECT_EQ(curve_point_to_box(&curve, frac(0), frac(2)).y, 0.0f);
    curve.maximum = frac(5);
    EXPECT_TRUE(same(curve_y_from_canvas(&curve, 1.0, 0), frac(4)));  // resolution 0 counts as 1
    curve.box_height = 0.0;
    EXPECT_TRUE(same(curve_y_from_canvas(&curve, 1.0, 100), frac(3)));
    curve.box_height = 2.0;
    curve.logarithmic = 1;
    curve.minimum = frac(0);  // no logarithmic scale through zero
    EXPECT_TRUE(same(curve_y_from_canvas(&curve, 1.0, 100), frac(0)));
    EXPECT_EQ(curve_point_to_box(&curve, frac(0), frac(2)).y, 0.0f);
    EXPECT_GT(curve_y_from_canvas(&curve, 1.0e300, 100).denominator, 0);
}

// The "curve point" window's tests cover the usual moves; these are the edges it never
// reaches.
TEST(CurvePointOperations, FromZeroHandlesGoByDifferenceAndAPointStopsAtItsLeftNeighbour) {
    // From a value of 0 there is no ratio: the handles move by the difference instead.
    CurvePoint zero = {frac(0), frac(0), frac(-1), frac(1), frac(1), frac(2)};
    zero.y = frac(1);
    curve_point_moved(&zero, frac(0), frac(0), 1);
    EXPECT_TRUE(same(zero.in_y, frac(2)));
    EXPECT_GT(zero.out_y.denominator, 0);
    CurvePoint point = {frac(2), frac(3), frac(1), frac(0), frac(4), frac(0)};
    curve_point_continuous(&point, 1);
    EXPECT_TRUE(same(point.out_x, frac(3)));
    EXPECT_TRUE(same(point.out_y, frac(6)));  // mirrored by difference, never by a zero

    ScopedPools pools;
    Curve curve = curve_with_points(POOL_MAIN, frac(0), frac(1),
                                    {{frac(0), frac(0)}, {frac(1), frac(0)}, {frac(2), frac(0)}});
    curve.points[1].x = frac(-1);
    curve_point_keep_order(&curve, 1);
    EXPECT_TRUE(same(curve.points[1].x, frac(0)));
}

// A tempo from time 1 on row 0, eight beats long, as the template makes it: one point at
// (0, 120) on a range of 30 to 240 with resolution 1, handles one beat to either side.
// Its box starts at canvas (1, 0.5) and is 2 high, so a value v sits at
// 0.5 + (v - 30) / 105.
struct CurveEditing : ProgramTest {
    void SetUp() override {
        ProgramTest::SetUp();
        tap(KEY_TAB);
        g_editor.place_kind = OBJECT_TEMPO;
        letter('l');
        tap(KEY_DIGIT(1));
        tap(KEY_DIGIT(9));
        tap(KEY_SPACE);
        tap(KEY_TAB);
        ASSERT_EQ(g_piece.tempos.count, 1);
        ASSERT_EQ(g_piece.tempos[0].tempo.origin_x, 1.0);  // drawn by the last frame
    }
    static Curve* tempo() { return &g_piece.tempos[0].tempo; }
    static f32 row(f64 value) { return (f32)(0.5 + (value - 30.0) / 105.0); }
    static void press_at(f32 x, f32 y) {
        canvas_to(x, y);
        headless_mouse_down(MOUSE_LEFT);
        app_frame();
    }
    static void release() {
        headless_mouse_up(MOUSE_LEFT);
        app_frame();
    }
};

TEST_F(CurveEditing, DraggingAPointMovesItsHandlesWithItUnlessLockedOrUnderAPanel) {
    tempo()->editable = 0;
    press_at(1.0f, row(120));
    EXPECT_EQ(tempo()->active_point, -1);
    release();
    tempo()->editable = 1;
    ASSERT_NE(object_panel_open(OBJECT_KEY, 999), nullptr);
    press_at(1.0f, row(120));
    EXPECT_EQ(tempo()->active_point, -1);
    release();
    g_panels.panels.count = 0;

    press_at(1.0f, row(120));
    EXPECT_EQ(tempo()->active_point, 0);
    canvas_to(2.0f, row(183));
    const CurvePoint* point = &tempo()->points[0];
    EXPECT_TRUE(same(point->x, frac(1)));
    EXPECT_TRUE(same(point->y, frac(183)));
    EXPECT_TRUE(same(point->in_x, frac(0)));
    EXPECT_TRUE(same(point->out_x, frac(2)));
    EXPECT_TRUE(same(point->out_y, frac(183)));
    release();
    EXPECT_EQ(tempo()->active_point, 0);  // the pick stays after the release
    canvas_to(3.0f, row(100));
    EXPECT_TRUE(same(tempo()->points[0].x, frac(1)));
    EXPECT_TRUE(g_piece.modified);
}

TEST_F(CurveEditing, VAddsAPointThatHoldsTheOrderAnd79DeletesThePickedOneButNeverTheLast) {
    press_at(1.0f, row(120));
    release();
    canvas_to(4.0f, row(93));
    letter('v');
    ASSERT_EQ(tempo()->points.count, 2);
    EXPECT_TRUE(same(tempo()->points[1].x, frac(3)));
    EXPECT_TRUE(same(tempo()->points[1].y, frac(93)));
    EXPECT_TRUE(same(tempo()->points[1].in_x, frac(2)));
    EXPECT_EQ(tempo()->active_point, 0);
    // The first point dragged past the new one stops at it.
    press_at(1.0f, row(120));
    canvas_to(7.0f, row(120));
    release();
    EXPECT_TRUE(same(tempo()->points[0].x, frac(3)));
    EXPECT_TRUE(same(tempo()->points[0].out_x, frac(4)));
    EXPECT_TRUE(same(tempo()->points[1].y, frac(93)));

    // Key 42 opens the "curve point" window on the picked point (its look is stored with
    // the window's tests).
    tap(KEY_SPACE);
    const Panel* window = panel_of_kind(PANEL_CURVE_POINT);
    ASSERT_NE(window, nullptr);
    const CurvePointPanelContent* content = (const CurvePointPanelContent*)window->content;
    Curve* found = nullptr;
    EXPECT_EQ(curve_point_panel_point(content, &found), &tempo()->points[0]);
    EXPECT_EQ(found, tempo());
    g_panels.panels.count = 0;

    tap(KEY_DELETE);
    ASSERT_EQ(tempo()->points.count, 1);
    EXPECT_TRUE(same(tempo()->points[0].y, frac(93)));
    EXPECT_EQ(tempo()->active_point, -1);
    press_at(4.0f, row(93));
    release();
    ASSERT_EQ(tempo()->active_point, 0);
    tap(KEY_DELETE);
    EXPECT_EQ(tempo()->points.count, 1);
    // A press on nothing clears the pick, and v does nothing without one.
    press_at(8.0f, row(200));
    release();
    EXPECT_EQ(tempo()->active_point, -1);
    letter('v');
    EXPECT_EQ(tempo()->points.count, 1);
}

TEST_F(CurveEditing, AHandleDragMirrorsTheOtherHandleUnlessControlIsHeld) {
    press_at(0.0f, row(120));  // the incoming handle, one beat left of the point
    EXPECT_EQ(tempo()->active_element, 1);
    headless_key_down(KEY_CONTROL);
    canvas_to(0.0f, row(156));
    const CurvePoint* point = &tempo()->points[0];
    EXPECT_TRUE(same(point->in_y, frac(156)));
    EXPECT_TRUE(same(point->out_x, frac(1)));
    EXPECT_TRUE(same(point->out_y, frac(120)));
    headless_key_up(KEY_CONTROL);
    canvas_to(0.0f, row(177));
    EXPECT_TRUE(same(point->in_y, frac(177)));
    EXPECT_TRUE(same(point->out_x, frac(1)));
    EXPECT_TRUE(same(point->out_y, frac(63)));  // 120 - (177 - 120)
    release();

    press_at(2.0f, row(63));  // the outgoing handle
    EXPECT_EQ(tempo()->active_element, 2);
    canvas_to(2.5f, row(120));
    EXPECT_TRUE(same(point->out_x, frac(3, 2)));
    EXPECT_TRUE(same(point->in_x, frac(-3, 2)));
    EXPECT_TRUE(same(point->in_y, frac(120)));
    release();
}
