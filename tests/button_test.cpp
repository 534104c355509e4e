// The simple widgets as the mouse meets them: clicks only on release inside, the input
// gate, toggles, toolbar buttons along the top edge, and the scroll bar's clamping.
#include "frame_support.h"
#include "ui/button.h"

using Buttons = InterfaceTest;

static const Rect BUTTON = {100, 100, 80, 30};

// The mouse moved there, the button pressed (1), released (-1) or neither, one frame, then
// the button's state and click flag. The left and bottom edges are inside, the right and
// top ones outside.
TEST_F(Buttons, AClickIsReportedOnReleaseInsideOnly) {
    const struct {
        f32 x, y;
        i32 mouse;
        u8 state, clicked;
    } steps[] = {
        {100, 100, 0, BUTTON_HOVERED, 0}, {180, 110, 0, BUTTON_IDLE, 0},
        {120, 130, 0, BUTTON_IDLE, 0},    {120, 110, 0, BUTTON_HOVERED, 0},
        {120, 110, 1, BUTTON_PRESSED, 0}, {120, 110, -1, BUTTON_IDLE, 1},
        {120, 110, 0, BUTTON_HOVERED, 0},  // the click is one frame's flag
        // Pressed inside, dragged out and released outside: pressed while held, no click.
        {120, 110, 1, BUTTON_PRESSED, 0}, {300, 300, 0, BUTTON_PRESSED, 0},
        {300, 300, -1, BUTTON_IDLE, 0},
        // Pressed outside and released inside: held, so not hovered, and not its own press;
        // still a click.
        {300, 300, 1, BUTTON_IDLE, 0},    {179.5f, 129.5f, 0, BUTTON_IDLE, 0},
        {179.5f, 129.5f, -1, BUTTON_IDLE, 1}};
    ButtonState button = {};
    for (i32 i = 0; i < (i32)(sizeof(steps) / sizeof(steps[0])); i += 1) {
        mouse_to(steps[i].x, steps[i].y);
        if (steps[i].mouse > 0) headless_mouse_down(MOUSE_LEFT);
        if (steps[i].mouse < 0) headless_mouse_up(MOUSE_LEFT);
        widget_frame([&] { text_button(&button, BUTTON, STR("ok")); });
        EXPECT_EQ(button.state, steps[i].state) << "step " << i;
        EXPECT_EQ(button.clicked, steps[i].clicked) << "step " << i;
    }
}

TEST_F(Buttons, AClosedGateKeepsEveryWidgetQuiet) {
    ButtonState button = {};
    ScrollBarState bar = {0, 0.5f, 0.25f, 10, 0, 0};
    mouse_to(120, 110);
    headless_mouse_click(MOUSE_LEFT);
    widget_frame(
        [&] {
            toggle(&button, BUTTON);
            scroll_bar(&bar, Rect{110, 0, 20, 400});
        },
        false);
    EXPECT_EQ(button.state, BUTTON_IDLE);
    EXPECT_EQ(button.clicked, 0);
    EXPECT_EQ(bar.dragging, 0);

    headless_mouse_click(MOUSE_LEFT);
    widget_frame([&] { toggle(&button, BUTTON); }, true);
    EXPECT_EQ(button.clicked, 1);
}

TEST_F(Buttons, AToggleFlipsOnEveryClickAndSaysSoOnce) {
    ButtonState check = {};
    mouse_to(110, 110);
    for (i32 round = 1; round <= 4; round += 1) {
        headless_mouse_down(MOUSE_LEFT);
        widget_frame([&] { toggle(&check, BUTTON); });
        EXPECT_EQ(check.changed, 0);
        headless_mouse_up(MOUSE_LEFT);
        widget_frame([&] { toggle(&check, BUTTON); });
        EXPECT_EQ(check.changed, 1);
        EXPECT_EQ(check.on, round % 2);
        widget_frame([&] { toggle(&check, BUTTON); });
        EXPECT_EQ(check.changed, 0);
    }
    // Off after four clicks, no mark in "check_color" shows (the stored frames of the
    // properties show it on).
    headless_draws_clear();
    widget_frame([&] { toggle(&check, BUTTON); });
    EXPECT_TRUE(draws_in_color(g_theme.check_color).empty());
}

// Squares along the top edge, the pause icon while the flag holds, and the selected choice
// under the selection overlay.
TEST_F(Buttons, ToolbarButtonsLineUpAlongTheTopEdge) {
    ToolbarCursor cursor = {48, 0};
    ButtonState a = {}, b = {}, c = {};
    expect_draws_match("buttons_toolbar", [&] {
        widget_frame([&] {
            toolbar_button(&a, &cursor, g_textures.ids[TEXTURE_NEW], g_theme.new_color);
            toolbar_button_switch(&b, &cursor, g_textures.ids[TEXTURE_PLAY],
                                  g_textures.ids[TEXTURE_PAUSE], true, g_theme.play_color);
            toolbar_choice(&c, &cursor, g_textures.ids[TEXTURE_NOTE], g_theme.note_object_color,
                           true);
        });
    });
    EXPECT_EQ(cursor.x, 144.0f);
}

TEST_F(Buttons, TheScrollBarThumbFollowsTheMouseAndStaysOnItsTrackWhileTheContentOverflows) {
    const Rect track = {500, 100, 20, 400};
    ScrollBarState bar = {};
    bar.visible_fraction = 0.25f;  // a thumb of 100 on a track of 400: 300 of travel
    bar.min_thumb_length = 20;
    auto step = [&] { widget_frame([&] { scroll_bar(&bar, track); }); };

    mouse_to(510, 150);  // on the thumb at the bottom
    step();
    headless_mouse_down(MOUSE_LEFT);
    step();
    mouse_to(510, 300);  // up by half the travel
    step();
    EXPECT_FLOAT_EQ(bar.position, 0.5f);
    mouse_to(700, 2000);  // far beyond the end, and off the track sideways
    step();
    EXPECT_FLOAT_EQ(bar.position, 1.0f);
    mouse_to(510, -500);
    step();
    EXPECT_FLOAT_EQ(bar.position, 0.0f);
    headless_mouse_up(MOUSE_LEFT);
    step();

    // A position set out of range by its owner is brought back (the drag has ended).
    bar.position = 7.0f;
    step();
    EXPECT_FLOAT_EQ(bar.position, 1.0f);

    // A press beside the thumb does not grab it.
    mouse_to(510, 120);
    step();
    headless_mouse_click(MOUSE_LEFT);
    step();
    EXPECT_EQ(bar.dragging, 0);

    // When the content fits, nothing happens at all: no thumb, no drag, no clamping.
    bar.visible_fraction = 1.0f;
    bar.position = 3.0f;
    mouse_to(510, 150);
    headless_mouse_down(MOUSE_LEFT);
    headless_draws_clear();
    step();
    EXPECT_EQ(headless_draw_count(), 0);
    EXPECT_EQ(bar.dragging, 0);
    EXPECT_EQ(bar.position, 3.0f);
}
