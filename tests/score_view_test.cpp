// The score view read back from the recorded draw calls: rows and pitches, culling at the
// camera's edges, bar lines and their cap, hidden groups, curves in their boxes, labels,
// texts, the placement preview and the rubber band.
#include "editor_support.h"
#include "gfx/font.h"
#include "gfx/resources.h"
#include "gfx/theme.h"

static const f32 GROUP_COLOR[4] = {0.125f, 0.25f, 0.375f, 1.0f};

struct ScoreView : ProgramTest {
    void SetUp() override {
        ProgramTest::SetUp();
        memcpy(g_piece.groups[0].color, GROUP_COLOR, sizeof(GROUP_COLOR));
        view(0.0f, 0.0f, 10.0f);
    }
    // A camera as the frame leaves it: centre, zoom and the visible range.
    static void view(f32 x, f32 y, f32 zoom) {
        g_camera.pan_x = x;
        g_camera.pan_y = y;
        g_camera.zoom = zoom;
        camera_keys(&g_camera);  // only the range: no key is held
    }
    static void draw() {
        headless_draws_clear();
        score_view_draw();
    }
    static NoteObject* note(Fraction time, Fraction duration, Fraction pitch, i64 group = 0) {
        NoteObject record = {};
        record.header = header_make(OBJECT_NOTE, g_piece.next_object_id++, group, SCOPE_GLOBAL,
                                    time, duration, pitch);
        return array_push(&g_piece.notes, record);
    }
    static MeasureObject* measure(Fraction time, Fraction duration, Fraction bar) {
        MeasureObject record = {};
        record.header = header_make(OBJECT_MEASURE, g_piece.next_object_id++, 0, SCOPE_GLOBAL, time,
                                    duration, frac(1));
        record.bar_length = bar;
        const f32 color[4] = {0.5f, 0.0625f, 0.25f, 0.75f};
        memcpy(record.bar_color, color, sizeof(color));
        return array_push(&g_piece.measures, record);
    }
    static std::vector<DrawnQuad> bar_lines() {
        const f32 color[4] = {0.5f, 0.0625f, 0.25f, 0.75f};
        return rects_in(color, TEXTURE_WHITE);
    }
};

TEST_F(ScoreView, NotesSitCentredOnTheirPitchRowsAmongTheOctaveLines) {
    note(frac(1), frac(2), frac(2));
    note(frac(4), frac(1, 2), frac(1, 2));
    draw();
    std::vector<DrawnQuad> notes = rects_in(GROUP_COLOR);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_FLOAT_EQ(notes[0].left, 1.0f);
    EXPECT_FLOAT_EQ(notes[0].right, 3.0f);
    EXPECT_FLOAT_EQ(notes[0].center_y(), 8.0f);
    EXPECT_FLOAT_EQ(notes[0].height(), 1.0f);
    EXPECT_FLOAT_EQ(notes[1].center_y(), -8.0f);
    EXPECT_EQ(g_piece.notes_drawn, 2);

    std::vector<DrawnQuad> octaves = rects_in(g_theme.score_marking_color1, TEXTURE_WHITE);
    ASSERT_EQ(octaves.size(), 5u);
    for (i32 i = 0; i < 5; i += 1) EXPECT_NEAR(octaves[i].center_y(), -16.0f + 8.0f * i, 1e-4f);
    EXPECT_NEAR(octaves[0].width(), 2.0f * 10.0f * 1024.0f / 768.0f, 1e-3f);
    std::vector<DrawnQuad> axis = rects_in(g_theme.score_marking_color2, TEXTURE_WHITE);
    ASSERT_EQ(axis.size(), 1u);
    EXPECT_NEAR(axis[0].center_x(), 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(axis[0].width(), 10.0f / 128.0f);
    EXPECT_FLOAT_EQ(axis[0].height(), 20.0f);
}

TEST_F(ScoreView, ANoteWithoutItsGroupIsACircleInTheNoteColourOneRowHigh) {
    g_piece.groups[0].size = 2.0;
    note(frac(0), frac(1), frac(1), 99);
    note(frac(2), frac(1), frac(1), 0);
    draw();
    std::vector<DrawnQuad> orphans = rects_in(g_theme.note_object_color, TEXTURE_CIRCLE);
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_FLOAT_EQ(orphans[0].height(), 1.0f);
    EXPECT_FLOAT_EQ(g_piece.notes[0].draw_size, 1.0f);
    std::vector<DrawnQuad> grouped = rects_in(GROUP_COLOR);
    ASSERT_EQ(grouped.size(), 1u);
    EXPECT_FLOAT_EQ(grouped[0].height(), 2.0f);  // the group's size
}

TEST_F(ScoreView, NotesAreCulledAtTheCameraEdgesButKeepTheirSelectionFrame) {
    view(10.0f, 0.0f, 6.0f);  // visible time 2 to 18
    f32 left = g_camera.range_left, right = g_camera.range_right;
    ASSERT_FLOAT_EQ(left, 2.0f);
    ASSERT_FLOAT_EQ(right, 18.0f);
    note(frac(0), frac(2), frac(1));           // ends exactly at the left edge: drawn
    note(frac(0), frac(1999, 1000), frac(2));  // ends just before it: culled
    g_piece.notes[1].header.selected = 1;
    note(frac(18), frac(1), frac(1));           // starts exactly at the right edge: drawn
    note(frac(18001, 1000), frac(1), frac(1));  // starts just after it: culled
    draw();
    std::vector<DrawnQuad> drawn = rects_in(GROUP_COLOR);
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_FLOAT_EQ(drawn[0].right, 2.0f);
    EXPECT_FLOAT_EQ(drawn[1].left, 18.0f);
    EXPECT_EQ(g_piece.notes_drawn, 2);
    std::vector<DrawnQuad> frames = rects_in(g_theme.selection_color, TEXTURE_WHITE);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FLOAT_EQ(frames[0].center_y(), 8.0f);
    EXPECT_NEAR(frames[0].right, 1.999f, 1e-5f);
}

TEST_F(ScoreView, AMeasureDrawsABarLineAtEachBarAndOneAtItsEnd) {
    measure(frac(0), frac(4), frac(1));
    draw();
    std::vector<DrawnQuad> lines = bar_lines();
    ASSERT_EQ(lines.size(), 5u);
    for (i32 i = 0; i < 5; i += 1) {
        EXPECT_NEAR(lines[i].center_x(), (f32)i, 1e-5f);
        EXPECT_FLOAT_EQ(lines[i].height(), 20.0f);
        EXPECT_FLOAT_EQ(lines[i].width(), 10.0f / 128.0f);
    }
    EXPECT_EQ(draws_with_texture(TEXTURE_MEASURE), 1);  // its icon, after the bars
}

TEST_F(ScoreView, BarLinesAreCappedAtOneThousandAndCulledOutsideTheView) {
    measure(frac(0), frac(2), frac(1, 1000));  // 2001 bars by count
    draw();
    EXPECT_EQ(bar_lines().size(), 1000u);

    g_piece.measures.count = 0;
    measure(frac(-100), frac(200), frac(1));  // bars at -100 .. 100
    draw();
    // Drawn when start + 1 >= -13.33 and start <= 13.33: starts -14 .. 13.
    std::vector<DrawnQuad> lines = bar_lines();
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_NEAR(lines.front().center_x(), -14.0f, 1e-4f);
    EXPECT_NEAR(lines.back().center_x(), 13.0f, 1e-4f);

    g_piece.measures.count = 0;
    measure(frac(0), frac(4), frac(0));   // no bar length: one bar
    measure(frac(0), frac(-3), frac(1));  // negative duration: none
    draw();
    EXPECT_EQ(bar_lines().size(), 1u);
}

TEST_F(ScoreView, AHiddenGroupHidesEverythingButMeasuresAndTempos) {
    array_push(&g_piece.groups, group_make(5, "circle", 1.0, 0));
    memcpy(g_piece.groups[1].color, GROUP_COLOR, sizeof(GROUP_COLOR));
    g_piece.groups[1].texture = g_textures.ids[TEXTURE_CIRCLE];
    Piece* piece = &g_piece;
    const i64 group = 5;
    const Fraction t = frac(0), d = frac(2), p = frac(1);

    note(t, d, p, group);
    KeyObject key = {};
    key.header = header_make(OBJECT_KEY, 100, group, SCOPE_GLOBAL, t, d, p);
    key.key_name = STR("key");
    array_push(&piece->keys, key);
    MeasureObject* bars = measure(t, d, frac(1));
    bars->header.group_id = group;
    TempoObject tempo = {};
    tempo.header = header_make(OBJECT_TEMPO, 101, group, SCOPE_GLOBAL, t, d, p);
    curve_init(&tempo.tempo, POOL_MAIN);
    array_push(&piece->tempos, tempo);
    SoundObject sound = {};
    sound.header = header_make(OBJECT_SOUND, 102, group, SCOPE_LOCAL, t, d, p);
    sound.wave_count = 1;
    sound.wave_names[0] = STR("sine");
    for (Curve& curve : sound.blend) curve_init(&curve, POOL_MAIN);
    array_push(&piece->sounds, sound);
    ShapeObject shape = {};
    shape.header = header_make(OBJECT_SHAPE, 103, group, SCOPE_LOCAL, t, d, p);
    array_push(&piece->shapes, shape);
    VolumeObject volume = {};
    volume.header = header_make(OBJECT_VOLUME, 104, group, SCOPE_LOCAL, t, d, p);
    curve_init(&volume.volume, POOL_MAIN);
    curve_init(&volume.pan, POOL_MAIN);
    array_push(&piece->volumes, volume);
    PitchObject pitch = {};
    pitch.header = header_make(OBJECT_PITCH, 105, group, SCOPE_LOCAL, t, d, p);
    curve_init(&pitch.pitch, POOL_MAIN);
    array_push(&piece->pitches, pitch);
    RepeatObject repeat = {};
    repeat.header = header_make(OBJECT_REPEAT, 106, group, SCOPE_GLOBAL, t, d, p);
    array_push(&piece->repeats, repeat);
    TextObject text = {};
    text.header = header_make(OBJECT_TEXT, 107, group, SCOPE_GLOBAL, t, d, p);
    const f32 ink[4] = {0.0f, 0.75f, 0.125f, 1.0f};
    memcpy(text.color, ink, sizeof(ink));
    text.text = STR("hidden");
    text.size = 32.0;
    text.align_x = -1.0f;
    array_push(&piece->texts, text);
    // A selected object of a hidden group shows nothing either.
    piece->keys[0].header.selected = 1;

    const i32 hidden_icons[] = {TEXTURE_KEY,    TEXTURE_SOUND, TEXTURE_SHAPE,
                                TEXTURE_VOLUME, TEXTURE_PITCH, TEXTURE_REPEAT};
    draw();
    for (i32 slot : hidden_icons) EXPECT_EQ(draws_with_texture(slot), 0) << slot;
    EXPECT_EQ(draws_with_texture(TEXTURE_MEASURE), 1);
    EXPECT_EQ(draws_with_texture(TEXTURE_TEMPO), 1);
    EXPECT_EQ(bar_lines().size(), 3u);
    EXPECT_TRUE(rects_in(GROUP_COLOR).empty());
    EXPECT_EQ(g_piece.notes_drawn, 0);
    EXPECT_TRUE(rects_in(g_theme.selection_color).empty());
    i64 ink_draws = 0;
    for (const DrawnCall& call : drawn_calls())
        if (!call.quads.empty() && color_is(call.quads[0].color, ink)) ink_draws += 1;
    EXPECT_EQ(ink_draws, 0);
    EXPECT_EQ(piece->texts[0].header.visible, 0);
    EXPECT_EQ(piece->measures[0].header.visible, 1);

    g_piece.groups[1].visible = 1;
    draw();
    for (i32 slot : hidden_icons) EXPECT_EQ(draws_with_texture(slot), 1) << slot;
    EXPECT_EQ(rects_in(GROUP_COLOR).size(), 1u);
    ink_draws = 0;
    for (const DrawnCall& call : drawn_calls())
        if (!call.quads.empty() && color_is(call.quads[0].color, ink)) ink_draws += 1;
    EXPECT_EQ(ink_draws, 1);
}

TEST_F(ScoreView, LogarithmicCurvesPlaceTheGeometricMeanHalfwayUp) {
    Curve curve = curve_with_points(POOL_MAIN, frac(1), frac(4), {});
    curve.logarithmic = 1;
    EXPECT_NEAR(curve_point_to_box(&curve, frac(3, 2), frac(2)).y, 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(curve_point_to_box(&curve, frac(3, 2), frac(2)).x, 1.5f);
    EXPECT_NEAR(curve_point_to_box(&curve, frac(0), frac(4)).y, 2.0f, 1e-6f);
    curve.logarithmic = 0;
    EXPECT_NEAR(curve_point_to_box(&curve, frac(0), frac(2)).y, 2.0f / 3.0f, 1e-6f);
    // An empty range or a logarithmic range through zero puts values on the floor.
    curve.maximum = frac(1);
    EXPECT_EQ(curve_point_to_box(&curve, frac(0), frac(2)).y, 0.0f);
    curve.logarithmic = 1;
    curve.minimum = frac(0);
    EXPECT_EQ(curve_point_to_box(&curve, frac(0), frac(2)).y, 0.0f);

    // Drawn: a pitch object at time 2 on row 0 has its box from y 0.5 upwards.
    PitchObject pitch = {};
    pitch.header = header_make(OBJECT_PITCH, 7, 0, SCOPE_LOCAL, frac(2), frac(3), frac(1));
    pitch.pitch =
        curve_with_points(POOL_MAIN, frac(1), frac(4), {{frac(0), frac(2)}, {frac(1), frac(4)}});
    pitch.pitch.logarithmic = 1;
    array_push(&g_piece.pitches, pitch);
    draw();
    std::vector<DrawnQuad> markers = rects_in(g_theme.pitch_object_color, TEXTURE_CIRCLE);
    ASSERT_EQ(markers.size(), 6u);  // two points, each with two handle markers
    EXPECT_NEAR(markers[0].center_x(), 2.0f, 1e-5f);
    EXPECT_NEAR(markers[0].center_y(), 1.5f, 1e-5f);
    EXPECT_FLOAT_EQ(markers[0].width(), 0.25f);
    EXPECT_NEAR(markers[3].center_x(), 3.0f, 1e-5f);
    EXPECT_NEAR(markers[3].center_y(), 2.5f, 1e-5f);
    EXPECT_EQ(g_piece.pitches[0].pitch.origin_x, 2.0);
    EXPECT_EQ(g_piece.pitches[0].pitch.origin_y, 0.5);

    // The line: 24 samples for the span, the last point, and its level to the box's end.
    const DrawnCall* line = nullptr;
    std::vector<DrawnCall> calls = drawn_calls();
    for (const DrawnCall& call : calls)
        if (call.quads.size() > 1 && call.texture == g_textures.ids[TEXTURE_WHITE]) line = &call;
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->quads.size(), 25u);
    EXPECT_NEAR(line->quads.back().right, 5.0f, 0.04f);
    EXPECT_NEAR(line->quads.back().center_y(), 2.5f, 0.04f);
}

TEST(BezierPoint, EndsAtItsEndPointsAndFollowsAStraightPolygon) {
    Vec2f p0 = {0, 0}, p1 = {1, 1}, p2 = {2, 2}, p3 = {3, 3};
    Vec2f start = bezier_point(p0, p1, p2, p3, 0.0f);
    Vec2f end = bezier_point(p0, p1, p2, p3, 1.0f);
    Vec2f middle = bezier_point(p0, p1, p2, p3, 0.5f);
    EXPECT_EQ(start.x, 0.0f);
    EXPECT_EQ(end.y, 3.0f);
    EXPECT_FLOAT_EQ(middle.x, 1.5f);
    EXPECT_FLOAT_EQ(middle.y, 1.5f);
    // A bent polygon: the midpoint is (p0 + 3 p1 + 3 p2 + p3) / 8.
    Vec2f bent = bezier_point(Vec2f{0, 0}, Vec2f{0, 4}, Vec2f{4, 4}, Vec2f{4, 0}, 0.5f);
    EXPECT_FLOAT_EQ(bent.x, 2.0f);
    EXPECT_FLOAT_EQ(bent.y, 3.0f);
}

TEST_F(ScoreView, TheLabelOfASelectedObjectSitsUnderItsRowAndRepairsItsPitch) {
    NoteObject* placed = note(frac(1), frac(1, 2), frac(0, 1));
    placed->header.selected = 1;
    draw();
    EXPECT_TRUE(same(g_piece.notes[0].header.pitch, frac(1)));
    std::vector<DrawnQuad> strips = rects_in(g_theme.menu_background_color, TEXTURE_WHITE);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_FLOAT_EQ(strips[0].left, 1.0f);
    EXPECT_FLOAT_EQ(strips[0].top, -0.5f);
    EXPECT_FLOAT_EQ(strips[0].height(), 1.0f);  // zoom / 10
    EXPECT_FLOAT_EQ(strips[0].width(), 4.0f);
    EXPECT_EQ(g_mesh.pixel_snap, 1.0);  // restored after the canvas text
}

TEST_F(ScoreView, TextsAlignOnTheirTimeAndRow) {
    TextObject text = {};
    text.header = header_make(OBJECT_TEXT, 3, 0, SCOPE_GLOBAL, frac(4), frac(1), frac(2));
    text.text = STR("one\ntwo lines");
    text.size = 32.0;
    text.align_x = -1.0f;
    f32 rect[4];
    text_object_rect(&text, rect);
    EXPECT_FLOAT_EQ(rect[0], 4.0f);                      // starts at its time
    EXPECT_NEAR(rect[1] + rect[3] / 2.0f, 8.0f, 1e-5f);  // centred on the row of 2/1
    const Font* font = font_default();
    EXPECT_NEAR(rect[3], 2.0 * font->size * font->line_height / 32.0, 1e-5);
    text.align_x = 1.0f;
    f32 right[4];
    text_object_rect(&text, right);
    EXPECT_NEAR(right[0] + right[2], 4.0f, 1e-5f);  // ends at its time
    EXPECT_NEAR(right[2], rect[2], 1e-5f);
    text.align_y = 1.0f;  // the block hangs below the row
    text_object_rect(&text, right);
    EXPECT_NEAR(right[1] + right[3], 8.0f, 1e-5f);
}

TEST_F(ScoreView, ThePlacementPreviewAndTheRubberBandFollowTheEditor) {
    g_editor.place_mode = 1;
    g_editor.place_kind = OBJECT_KEY;
    g_editor.cursor_time = frac(2);
    g_editor.cursor_pitch = frac(2);
    g_editor.selected_duration = frac(3);
    g_editor.box_armed = 1;
    g_editor.box_start_x = 3.0f;
    g_editor.box_start_y = 2.0f;
    g_ui.mouse_x = 512.0f + 384.0f / 10.0f;  // canvas (1, -1)
    g_ui.mouse_y = 384.0f - 384.0f / 10.0f;
    draw();
    std::vector<DrawnQuad> icons = rects_in(g_theme.key_object_color, TEXTURE_KEY);
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_FLOAT_EQ(icons[0].left, 2.0f);
    EXPECT_FLOAT_EQ(icons[0].center_y(), 8.0f);
    EXPECT_EQ(g_piece.keys.count, 0);  // a preview, not an object
    std::vector<DrawnQuad> band = rects_in(g_theme.selection_color, TEXTURE_WHITE);
    ASSERT_EQ(band.size(), 1u);
    EXPECT_NEAR(band[0].left, 1.0f, 1e-4f);
    EXPECT_NEAR(band[0].bottom, -1.0f, 1e-4f);
    EXPECT_NEAR(band[0].right, 3.0f, 1e-4f);
    EXPECT_NEAR(band[0].top, 2.0f, 1e-4f);
}
