// The simple widgets as the mouse meets them: clicks only on release inside, the input
// gate, toggles, toolbar buttons along the top edge, and the scroll bar's clamping.
#include "frame_support.h"
#include "gfx/textures.h"
#include "ui/button.h"

using Buttons = InterfaceTest;

static const Rect BUTTON = {100, 100, 80, 30};

TEST_F(Buttons, AClickIsReportedOnReleaseInsideOnly) {
    ButtonState button = {};
    auto step = [&] { widget_frame([&] { text_button(&button, BUTTON, STR("ok")); }); };

    mouse_to(120, 110);
    step();
    EXPECT_EQ(button.state, BUTTON_HOVERED);
    headless_mouse_down(MOUSE_LEFT);
    step();
    EXPECT_EQ(button.state, BUTTON_PRESSED);
    EXPECT_EQ(button.clicked, 0);
    headless_mouse_up(MOUSE_LEFT);
    step();
    EXPECT_EQ(button.clicked, 1);
    EXPECT_EQ(button.state, BUTTON_IDLE);
    step();
    EXPECT_EQ(button.clicked, 0);  // a flag of one frame

    // Pressed inside, dragged out and released outside: pressed while held, no click.
    headless_mouse_down(MOUSE_LEFT);
    step();
    mouse_to(300, 300);
    step();
    EXPECT_EQ(button.state, BUTTON_PRESSED);
    headless_mouse_up(MOUSE_LEFT);
    step();
    EXPECT_EQ(button.clicked, 0);
    EXPECT_EQ(button.active, 0);

    // Pressed outside and released inside: a click.
    headless_mouse_down(MOUSE_LEFT);
    step();
    mouse_to(179.5f, 129.5f);
    step();
    EXPECT_EQ(button.state, BUTTON_IDLE);  // held, so not hovered, and not its own press
    headless_mouse_up(MOUSE_LEFT);
    step();
    EXPECT_EQ(button.clicked, 1);
}

TEST_F(Buttons, TheRightAndTopEdgesAreOutside) {
    ButtonState button = {};
    mouse_to(180, 110);
    widget_frame([&] { button_hit_test(&button, BUTTON); });
    EXPECT_EQ(button.state, BUTTON_IDLE);
    mouse_to(100, 100);
    widget_frame([&] { button_hit_test(&button, BUTTON); });
    EXPECT_EQ(button.state, BUTTON_HOVERED);
    mouse_to(120, 130);
    widget_frame([&] { button_hit_test(&button, BUTTON); });
    EXPECT_EQ(button.state, BUTTON_IDLE);
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
    EXPECT_EQ(button.on, 0);
    EXPECT_EQ(bar.dragging, 0);

    headless_mouse_click(MOUSE_LEFT);
    widget_frame([&] { toggle(&button, BUTTON); }, true);
    EXPECT_EQ(button.clicked, 1);
}

TEST_F(Buttons, AToggleFlipsOnEveryClickAndSaysSoOnce) {
    ButtonState check = {};
    mouse_to(110, 110);
    for (i32 round = 1; round <= 3; round += 1) {
        headless_mouse_down(MOUSE_LEFT);
        widget_frame([&] { toggle(&check, BUTTON); });
        EXPECT_EQ(check.changed, 0);
        headless_mouse_up(MOUSE_LEFT);
        headless_draws_clear();
        widget_frame([&] { toggle(&check, BUTTON); });
        EXPECT_EQ(check.changed, 1);
        EXPECT_EQ(check.on, round % 2);
        widget_frame([&] { toggle(&check, BUTTON); });
        EXPECT_EQ(check.changed, 0);
    }
    // On, the check mark shows in "check_color"; off, it is drawn fully transparent.
    auto check_alpha = [&] {
        headless_draws_clear();
        widget_frame([&] { toggle(&check, BUTTON); });
        for (i64 i = 0; i < headless_draw_count(); i += 1) {
            f32 color[4];
            draw_color(headless_draw(i), color);
            if (headless_draw(i)->texture == g_textures.ids[TEXTURE_CHECK]) return color[3];
        }
        return -1.0f;
    };
    ASSERT_EQ(check.on, 1);
    EXPECT_EQ(check_alpha(), g_theme.check_color[3]);
    headless_mouse_click(MOUSE_LEFT);
    widget_frame([&] { toggle(&check, BUTTON); });
    ASSERT_EQ(check.on, 0);
    EXPECT_EQ(check_alpha(), 0.0f);
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

TEST_F(Buttons, TheScrollBarThumbFollowsTheMouseAndStaysOnItsTrack) {
    const Rect track = {500, 100, 20, 400};
    ScrollBarState bar = {};
    bar.visible_fraction = 0.25f;  // a thumb of 100 on a track of 400: 300 of travel
    bar.min_thumb_length = 20;
    auto step = [&] { widget_frame([&] { scroll_bar(&bar, track); }); };

    mouse_to(510, 150);  // on the thumb at the bottom
    step();
    headless_mouse_down(MOUSE_LEFT);
    step();
    EXPECT_EQ(bar.dragging, 1);
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
    EXPECT_EQ(bar.dragging, 0);

    // A position set out of range by its owner is brought back.
    bar.position = 7.0f;
    step();
    EXPECT_FLOAT_EQ(bar.position, 1.0f);

    // A press beside the thumb does not grab it.
    mouse_to(510, 120);
    step();
    headless_mouse_click(MOUSE_LEFT);
    step();
    EXPECT_EQ(bar.dragging, 0);
}

TEST_F(Buttons, AScrollBarWhoseContentFitsDrawsNothing) {
    ScrollBarState bar = {};
    bar.visible_fraction = 1.0f;
    bar.position = 3.0f;
    mouse_to(510, 150);
    headless_mouse_down(MOUSE_LEFT);
    headless_draws_clear();
    widget_frame([&] { scroll_bar(&bar, Rect{500, 100, 20, 400}); });
    EXPECT_EQ(headless_draw_count(), 0);
    EXPECT_EQ(bar.dragging, 0);
    EXPECT_EQ(bar.position, 3.0f);  // untouched: nothing happens at all
}
