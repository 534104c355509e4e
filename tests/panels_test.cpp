// The window manager driven through whole frames with a scripted mouse: moving, resizing
// with the minimum size, the menu-bar limit, collapsing, raising by swap, closing, hit
// testing against higher panels, the input gate of covered content, proportional scaling,
// and drawing clipped to the panel.
#include "frame_support.h"

using Panels = InterfaceTest;

// A panel of a kind without content (the group list, not built yet), by id.
static u64 open_panel(f32 x, f32 y, f32 w, f32 h, const char* title = "group") {
    Panel* panel = panel_create(PANEL_GROUPS, str_from_cstring(title), x, y, w, h, 0);
    return panel ? panel->id : ~0ull;
}

// A panel's rectangle as "x y width height".
static std::string rect_of(u64 id) {
    const Panel* panel = panel_find(id);
    if (!panel) return "gone";
    char text[96];
    snprintf(text, sizeof(text), "%g %g %g %g", panel->x, panel->y, panel->width, panel->height);
    return text;
}

// Title bar height as the frame sets it (scale 24 in data/theme.txt).
static const f32 T = 24;

TEST_F(Panels, TheTitleBarMovesThePanelButNotIntoTheMenuBar) {
    u64 id = open_panel(100, 100, 300, 300);
    frames();  // the frame sets the title height
    drag(150, 400 - T / 2, 250, 150);
    EXPECT_EQ(rect_of(id), "200 -138 300 300");
    EXPECT_FALSE(g_panels.dragging);
    Panel* panel = panel_find(id);  // the handles went along
    EXPECT_FLOAT_EQ(panel->handle_x[HANDLE_TOP_RIGHT], panel->x + 300);
    EXPECT_FLOAT_EQ(panel->handle_y[HANDLE_TOP_RIGHT], panel->y + 300);

    // Dragged into the menu bar, pushed back below it.
    drag(250, 162 - T / 2, 250, 760);
    panel = panel_find(id);
    EXPECT_FLOAT_EQ(panel->y + panel->height, height() - 2 * 24);
    // The top edge dragged into the bar stops there; the bottom stays put.
    f32 top = panel->y + panel->height, bottom = panel->y;
    drag(250, top, 250, top + 40);
    panel = panel_find(id);
    EXPECT_FLOAT_EQ(panel->y + panel->height, height() - 48);
    EXPECT_FLOAT_EQ(panel->y, bottom);
    EXPECT_FLOAT_EQ(panel->height, 300);
}

TEST_F(Panels, CornersEdgesAndTheWindowResizeAndTheMinimumKeepsTheOppositeEdges) {
    u64 id = open_panel(100, 100, 400, 400);
    frames();
    // The top-right corner outward: the bottom-left corner stays.
    drag(500, 500, 560, 540);
    EXPECT_EQ(rect_of(id), "100 100 460 440");
    // The bottom-left corner far inward: stops at 200 x 200 with the right and top edges
    // where they were.
    drag(100, 100, 500, 520);
    EXPECT_EQ(rect_of(id), "360 340 200 200");
    // The left edge outward, then the bottom edge outward.
    drag(360, 440, 300, 440);
    EXPECT_EQ(rect_of(id), "300 340 260 200");
    drag(430, 340, 430, 240);
    EXPECT_EQ(rect_of(id), "300 240 260 300");
    // The right edge inward past the minimum: the left edge stays.
    drag(560, 400, 100, 400);
    EXPECT_EQ(rect_of(id), "300 240 200 300");
    // A window twice as wide and half again as high scales the panel alike.
    headless_resize(2048, 1152);
    frames();
    EXPECT_EQ(rect_of(id), "600 360 400 450");
}

// Drawn with the title bar unclipped, the content clipped to the panel below it, nothing
// after the panels left clipped; never resized narrower than 400.
TEST_F(Panels, TheQuestionIsClippedBelowItsTitleBarAndNeverNarrowerThan400) {
    save_question_open(FOLLOW_UP_NEW_PIECE);
    frames();
    expect_draws_match("panels_question");
    Panel* question = &g_panels.panels[g_panels.panels.count - 1];
    ASSERT_EQ(question->kind, PANEL_QUESTION);
    f32 left = question->x, right = question->x + question->width;
    drag(left, question->y + 100, left + 300, question->y + 100);
    question = &g_panels.panels[g_panels.panels.count - 1];
    EXPECT_FLOAT_EQ(question->width, 400);
    EXPECT_FLOAT_EQ(question->x + question->width, right);
}

// A third panel aside, on top: a click on a lower title swaps that panel with it.
TEST_F(Panels, CollapsingKeepsOnlyTheTitleBarActiveAndALowerTitleSwapsWithTheTopPanel) {
    u64 lower = open_panel(100, 100, 300, 300, "lower");
    u64 upper = open_panel(200, 150, 300, 300, "upper");
    u64 aside = open_panel(600, 100, 300, 300, "aside");
    frames();
    // Inside the upper panel's body: the lower panel is covered there.
    EXPECT_FALSE(panel_point_is_free(lower, 250, 200));
    click_at(200 + 300 - 1.5f * T, 450 - T / 2);  // collapse button
    ASSERT_TRUE(panel_find(upper)->collapsed);
    EXPECT_TRUE(panel_point_is_free(lower, 250, 200));
    EXPECT_FALSE(panel_point_is_free(lower, 250, 450 - T / 2));
    EXPECT_TRUE(panels_cover_point(250, 450 - T / 2));
    // The collapsed panel's corner no longer resizes it.
    drag(200, 150, 150, 100);
    click_at(200 + 300 - 1.5f * T, 450 - T / 2);
    EXPECT_FALSE(panel_find(upper)->collapsed);
    EXPECT_EQ(rect_of(upper), "200 150 300 300");

    click_at(120, 400 - T / 2);  // the lower title, left of the upper panel
    EXPECT_EQ(g_panels.panels[0].id, aside);
    EXPECT_EQ(g_panels.panels[1].id, upper);
    EXPECT_EQ(g_panels.panels[2].id, lower);
    EXPECT_FLOAT_EQ(panel_find(lower)->x, 100);  // a click without a move leaves it in place
}

TEST_F(Panels, TheCloseButtonCloseRequestsAndRemovalsDuringAMove) {
    u64 a = open_panel(100, 100, 300, 300);
    u64 b = open_panel(500, 100, 300, 300);
    u64 c = open_panel(100, 450, 300, 200);
    frames();
    click_at(400 - T / 2, 650 - T / 2);
    EXPECT_EQ(panel_index(c), -1);
    EXPECT_EQ(panel_index(b), 1);

    // A closable panel that asks to close goes in the next input step, wherever the mouse is.
    save_question_open(FOLLOW_UP_QUIT);
    Panel* question = &g_panels.panels[g_panels.panels.count - 1];
    u64 question_id = question->id;
    ((SaveQuestion*)question->content)->close_requested = 1;
    mouse_to(700, 200);  // over panel b, which covers nothing of the question
    frames();
    EXPECT_EQ(panel_index(question_id), -1);
    EXPECT_TRUE(g_app.running);

    // Removals while b is moved: one below it moves its index down, its own ends the move.
    mouse_to(550, 400 - T / 2);
    frames();
    headless_mouse_down(MOUSE_LEFT);
    frames();
    ASSERT_TRUE(g_panels.dragging);
    panel_remove(panel_index(a));
    mouse_to(560, 400 - T / 2);
    frames();
    EXPECT_FLOAT_EQ(panel_find(b)->x, 510);
    panel_remove(panel_index(b));
    EXPECT_FALSE(g_panels.dragging);
    mouse_to(600, 300);
    frames();  // nothing left to move, nothing touched
    headless_mouse_up(MOUSE_LEFT);
    frames();
    panel_remove(5);  // outside the list: nothing
}

TEST_F(Panels, ACoveredLowerPanelIgnoresTheMouseWhereTheUpperOneIs) {
    // The question below, with its "cancel" button under a second panel.
    save_question_open(FOLLOW_UP_NEW_PIECE);
    Panel* question = &g_panels.panels[g_panels.panels.count - 1];
    u64 question_id = question->id;
    SaveQuestion* content = (SaveQuestion*)question->content;
    f32 o = g_theme.offset, s = g_theme.scale;
    f32 cancel_x = question->x + question->width - o - 2 * s;  // the button's middle
    f32 cancel_y = question->y + o + s / 2;
    u64 cover = open_panel(cancel_x - 100, cancel_y - 100, 250, 250);
    frames();
    click_at(cancel_x, cancel_y);
    EXPECT_EQ(content->close_requested, 0);

    // A press on the question's bottom-right corner, covered as well, does not resize it.
    f32 corner_x = question->x + question->width, corner_y = question->y;
    u64 cover_too = open_panel(corner_x - 50, corner_y - 50, 250, 250);
    frames();
    drag(corner_x, corner_y, corner_x + 80, corner_y - 30);
    question = panel_find(question_id);
    EXPECT_FLOAT_EQ(question->width, 480);
    panel_remove(panel_index(cover_too));

    // Moved away, the same click reaches the button.
    Panel* upper = panel_find(cover);
    upper->x = 0;
    upper->y = 0;
    panel_update_handles(upper);
    click_at(cancel_x, cancel_y);
    EXPECT_EQ(content->close_requested, 1);
}
