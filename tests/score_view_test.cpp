// The score view read back from the recorded draw calls: rows and pitches, culling at the
// camera's edges, bar lines and their cap, hidden groups, curves in their boxes, labels,
// texts, the placement preview and the rubber band.
#include "editor_support.h"
#include "gfx/font.h"
#include "gfx/resources.h"
#include "gfx/theme.h"

static const f32 GROUP_COLOR[4] = {0.125f, 0.25f, 0.375f, 1.0f};
static const f32 BAR_COLOR[4] = {0.5f, 0.0625f, 0.25f, 0.75f};

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
    static MeasureObject* measure(Fraction time, Fraction duration, Fraction bar) {
        MeasureObject record = {};
        record.header = header_make(OBJECT_MEASURE, g_piece.next_object_id++, 0, SCOPE_GLOBAL, time,
                                    duration, frac(1));
        record.bar_length = bar;
        memcpy(record.bar_color, BAR_COLOR, sizeof(BAR_COLOR));
        return array_push(&g_piece.measures, record);
    }
    static std::vector<DrawnQuad> bar_lines() { return rects_in(BAR_COLOR, TEXTURE_WHITE); }
};

// Notes on their rows among the octave lines and the axis, one without its group (a
// circle one row high), a measure's bar lines and icon, a logarithmic pitch curve in its box,
// the label under a selected note, the placement preview and the rubber band.
TEST_F(ScoreView, ASceneDrawsAsStored) {
    g_piece.groups[0].size = 2.0;
    note(frac(1), frac(2), frac(2));
    note(frac(4), frac(1, 2), frac(1, 2));
    note(frac(-3), frac(1), frac(1), 0, 99);
    note(frac(-6), frac(1, 2), frac(0, 1), 1);  // a pitch to repair
    measure(frac(-8), frac(4), frac(1));
    PitchObject pitch = {};
    pitch.header = header_make(OBJECT_PITCH, 7, 0, SCOPE_LOCAL, frac(2), frac(3), frac(1));
    pitch.pitch =
        curve_with_points(POOL_MAIN, frac(1), frac(4), {{frac(0), frac(2)}, {frac(1), frac(4)}});
    pitch.pitch.logarithmic = 1;
    array_push(&g_piece.pitches, pitch);
    // Two selected texts of two lines at time 4 on the row of 2/1: one starting there above
    // the row, one ending there below it.
    for (f32 align : {-1.0f, 1.0f}) {
        TextObject text = {};
        text.header = header_make(OBJECT_TEXT, 8, 0, SCOPE_GLOBAL, frac(4), frac(1), frac(2));
        text.header.selected = 1;
        text.text = STR("one\ntwo lines");
        text.size = 32.0;
        text.align_x = text.align_y = align;
        array_push(&g_piece.texts, text);
    }
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
    expect_draws_match("score_view_scene", score_view_draw);
    EXPECT_EQ(g_piece.notes_drawn, 4);
    EXPECT_TRUE(same(g_piece.notes[3].header.pitch, frac(1)));
    EXPECT_EQ(g_piece.keys.count, 0);  // a preview, not an object
    EXPECT_EQ(g_mesh.pixel_snap, 1.0);  // restored after the canvas text
}

TEST_F(ScoreView, NotesAreCulledAtTheCameraEdgesButKeepTheirSelectionFrame) {
    view(10.0f, 0.0f, 6.0f);  // visible time 2 to 18
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
    EXPECT_FLOAT_EQ(frames[0].bottom + frames[0].top, 16.0f);  // centred on the row of 2
    EXPECT_NEAR(frames[0].right, 1.999f, 1e-5f);
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
    EXPECT_NEAR(lines.front().left + lines.front().right, -28.0f, 1e-4f);  // centred on -14
    EXPECT_NEAR(lines.back().left + lines.back().right, 26.0f, 1e-4f);

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
    const f32 ink[4] = {0.0f, 0.75f, 0.125f, 1.0f};
    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectHeader* object = piece_object_add(piece, editor_template(kind));
        object->time = frac(0);
        object->duration = frac(2);
        object->group_id = 5;
    }
    MeasureObject* bars = &piece->measures[0];
    bars->bar_length = frac(1);
    memcpy(bars->bar_color, BAR_COLOR, sizeof(BAR_COLOR));
    TextObject* text = &piece->texts[0];
    memcpy(text->color, ink, sizeof(ink));
    text->text = STR("hidden");
    // A selected object of a hidden group shows nothing either.
    piece->keys[0].header.selected = 1;

    const i32 hidden_icons[] = {TEXTURE_KEY,    TEXTURE_SOUND, TEXTURE_SHAPE,
                                TEXTURE_VOLUME, TEXTURE_PITCH, TEXTURE_REPEAT};
    for (u8 visible : {0, 1}) {
        g_piece.groups[1].visible = visible;
        draw();
        for (i32 slot : hidden_icons) EXPECT_EQ(draws_with_texture(slot), visible) << slot;
        EXPECT_EQ(draws_with_texture(TEXTURE_MEASURE), 1);
        EXPECT_EQ(draws_with_texture(TEXTURE_TEMPO), 1);
        EXPECT_EQ(bar_lines().size(), 3u);
        EXPECT_EQ(rects_in(GROUP_COLOR).size(), visible);
        EXPECT_EQ(g_piece.notes_drawn, visible);
        EXPECT_EQ(rects_in(g_theme.selection_color).empty(), !visible);
        EXPECT_EQ(draws_in_color(ink).size(), visible);
    }
}
