// The "curve point" window driven through whole frames: its six fraction fields primed from
// the point and adopted when edited (the handles following a moved point, on a linear and a
// logarithmic curve, and the point held between its neighbours), "continuous" and "flat",
// and a window whose point is gone drawing and writing nothing.
#include "editor/editor.h"
#include "frame_support.h"
#include "piece_support.h"
#include "panels/object_panels.h"

struct CurvePointWindow : InterfaceTest {
    u64 panel = ~0ull;
    i64 object_id = -1;

    void SetUp() override {
        InterfaceTest::SetUp();
        frames();
    }

    // A tempo (or pitch) from its template, its curve given these points, and the window on
    // point `index`.
    Curve* open_on(u8 kind, std::initializer_list<CurvePoint> points, i64 index) {
        ObjectHeader* object = piece_object_add(&g_piece, editor_template(kind));
        object_id = object->id;
        Curve* curve = object_curve(object, 0);
        array_clear(&curve->points);
        for (const CurvePoint& point : points) array_push(&curve->points, point);
        Panel* opened = curve_point_panel_open(kind, object_id, 0, index);
        panel = opened ? opened->id : ~0ull;
        frames();
        return object_curve(object_find(&g_piece, kind, object_id), 0);
    }
    CurvePointPanelContent* state() { return (CurvePointPanelContent*)panel_find(panel)->content; }

    // Rows "point", "in", "out" with an x and a y field each, then the two buttons.
    Rect cell(i32 row, i32 column) {
        Panel* p = panel_find(panel);
        f32 s = g_theme.scale, o = g_theme.offset;
        f32 top = p->y + p->height - (f32)g_panels.title_height - o - (f32)row * (s + o);
        f32 value_x = p->x + o + 4 * s;
        f32 half = (p->width - 4 * s - 2 * o - o / 2) / 2;
        return Rect{value_x + (f32)column * (half + o / 2), top - s, half, s};
    }
    void click_cell(i32 row, i32 column) {
        Rect r = cell(row, column);
        click_at(r.x + r.width / 2, r.y + r.height / 2);
    }
    void type_cell(i32 row, i32 column, const char* text) {
        Rect r = cell(row, column);
        type_over_at(r.x + r.width / 2, r.y + r.height / 2, text);
    }
    // The six fields' texts: x and y of the point, its incoming and its outgoing handle.
    std::string fields() {
        std::string out;
        for (i32 i = 0; i < 6; i += 1)
            out += (i ? " " : "") + to_string(text_field_text(&state()->fields[i]));
        return out;
    }
};

static CurvePoint point_at(i64 x, i64 y, i64 in_dy, i64 out_dy) {
    return CurvePoint{{x, 1}, {y, 1}, {x - 1, 1}, {y + in_dy, 1}, {x + 1, 1}, {y + out_dy, 1}};
}

// The point's six fractions as exactly as stored, in the order of the fields.
static std::string text(const CurvePoint& p) {
    std::string out;
    for (Fraction f : {p.x, p.y, p.in_x, p.in_y, p.out_x, p.out_y})
        out += (out.empty() ? "" : " ") + to_string(fraction_format_tmp(f));
    return out;
}

TEST_F(CurvePointWindow, FieldsShowThePointAndAMovedPointTakesItsHandlesAlong) {
    Curve* curve = open_on(OBJECT_TEMPO, {point_at(2, 120, -10, 10)}, 0);
    EXPECT_EQ(fields(), "2 120 1 110 3 130");
    type_cell(0, 1, "241/2");  // y up by 1/2: the handles and their fields follow
    const CurvePoint* point = &curve->points[0];
    EXPECT_EQ(text(*point), "2 241/2 1 221/2 3 261/2");
    EXPECT_EQ(fields(), "2 241/2 1 221/2 3 261/2");
    EXPECT_EQ(g_piece.modified, 1);
    type_cell(0, 0, "5");  // x right by 3: a single point has no neighbour to stop it
    EXPECT_EQ(text(*point), "5 241/2 4 221/2 6 261/2");
    type_cell(1, 1, "100");  // a handle alone
    EXPECT_EQ(text(*point), "5 241/2 4 100 6 261/2");

    // A tempo of no speed, and a position without a denominator, are refused where typed.
    type_cell(0, 1, "0");
    type_cell(2, 1, "-30");
    type_cell(0, 0, "7/0");
    EXPECT_EQ(text(*point), "5 241/2 4 100 6 261/2");
    EXPECT_EQ(marked_fields(), 3u);
    click_cell(3, 0);  // "continuous" on a linear curve: the incoming handle mirrored
    EXPECT_EQ(text(*point), "5 241/2 4 100 6 141");
}

TEST_F(CurvePointWindow, OnALogarithmicCurveHandlesFollowByRatioAndFlatLevelsBoth) {
    // The pitch template's curve is logarithmic.
    CurvePoint start = {{0, 1}, {1, 1}, {-1, 1}, {1, 2}, {1, 1}, {2, 1}};
    Curve* curve = open_on(OBJECT_PITCH, {start}, 0);
    ASSERT_EQ(curve->logarithmic, 1);
    type_cell(0, 1, "3/2");
    EXPECT_EQ(text(curve->points[0]), "0 3/2 -1 3/4 1 3");
    type_cell(1, 1, "1/2");
    click_cell(3, 0);  // "continuous": y mirrored by ratio, p.y * p.y / in.y
    EXPECT_EQ(text(curve->points[0]), "0 3/2 -1 1/2 1 9/2");
    EXPECT_EQ(fields(), "0 3/2 -1 1/2 1 9/2");
    click_cell(3, 1);  // "flat": the handles keep their x
    EXPECT_EQ(text(curve->points[0]), "0 3/2 -1 3/2 1 3/2");
    EXPECT_EQ(fields(), "0 3/2 -1 3/2 1 3/2");
}

TEST_F(CurvePointWindow, APointStaysBetweenItsNeighbours) {
    Curve* curve = open_on(
        OBJECT_TEMPO, {point_at(0, 100, 0, 0), point_at(2, 100, 0, 0), point_at(4, 100, 0, 0)}, 1);
    type_cell(0, 0, "9");
    EXPECT_EQ(text(curve->points[1]), "4 100 3 100 5 100");
    EXPECT_TRUE(same(curve->points[2].x, Fraction{4, 1}));
}

TEST_F(CurvePointWindow, AWindowWhosePointIsGoneShowsAndWritesNothing) {
    Curve* curve = open_on(OBJECT_TEMPO, {point_at(0, 100, 0, 0), point_at(2, 100, 0, 0)}, 1);
    array_remove(&curve->points, 1);
    ASSERT_TRUE(panel_find(panel));
    // Only the window's own frame is drawn: background, title bar, title, two buttons.
    expect_draws_match("curve_point_gone");
    type_cell(0, 1, "7");
    click_cell(3, 1);
    EXPECT_TRUE(same(curve->points[0].y, Fraction{100, 1}));
    EXPECT_EQ(curve->points.count, 1);
}
