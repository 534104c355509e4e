// The text field driven with scripted keys and mouse, one widget frame at a time: typing
// over a selection, Return in one-line fields, pasting, word and line moves, page keys,
// shift selection, double presses and their timer, the keypad rule, the clipboard, scrolling,
// and the bounds on long lines and huge pastes.
#include <string>

#include "frame_support.h"
#include "ui/text_field.h"

struct TextFieldTest : InterfaceTest {
    TextField field = {};
    Rect rect = {100, 100, 400, 200};

    void step() { widget_frame([&] { text_field(&field, rect); }); }
    // A press inside, away from the text, so the field holds the keyboard.
    void focus() {
        mouse_to(rect.x + rect.width - 4, rect.y + 4);
        click();
        ASSERT_EQ(field.focused, 1);
    }
    void click() {
        headless_mouse_click(MOUSE_LEFT);
        step();
    }
    void set(const char* text) { text_field_set_text(&field, str_from_cstring(text)); }
    void key(i32 code) {
        headless_key_tap(code);
        step();
    }
    void with(i32 modifier, i32 code) {
        headless_key_down(modifier);
        key(code);
        headless_key_up(modifier);
        step();
    }
    // A key with a modifier held (0: none), then the caret it leaves (unless -1) and the
    // text (when given).
    struct Press {
        i32 modifier, code;
        i64 caret;
        const char* text = nullptr;
    };
    void presses(std::initializer_list<Press> list) {
        i32 n = 0;
        for (const Press& press : list) {
            if (press.modifier) with(press.modifier, press.code);
            else key(press.code);
            if (press.caret >= 0) EXPECT_EQ(field.caret, press.caret) << "press " << n;
            if (press.text) EXPECT_EQ(text(), press.text) << "press " << n;
            n += 1;
        }
    }
    void type(const char* text) {
        headless_type_text(str_from_cstring(text));
        step();
    }
    std::string text() { return to_string(text_field_text(&field)); }
    std::string selected() { return to_string(text_field_selection(&field)); }
    // The screen x of a byte position on the first line.
    f32 x_at(i64 position) {
        return rect.x + g_theme.text_offset - field.scroll_x +
               (f32)text_line_width_before(text_field_text(&field), position);
    }
};

TEST_F(TextFieldTest, ReturnEndsASingleLineFieldAndBreaksAMultiLineOne) {
    field.single_line = 1;
    set("name");
    focus();
    // Return in the frame of the last characters enters them too, and nothing after it.
    headless_type_text(STR("z"));
    headless_key_tap(KEY_RETURN);
    headless_type_text(STR("lost"));
    step();
    EXPECT_EQ(field.entered, 1);
    step();
    EXPECT_EQ(field.entered, 0);  // a flag of one frame
    type("zz");
    EXPECT_EQ(text(), "namez");  // neither the Return nor, without the focus, the letters

    field = TextField{};
    set("ab");
    focus();
    presses({{0, KEY_END, 2}, {0, KEY_KEYPAD_ENTER, 3}});
    type("c");
    EXPECT_EQ(text(), "ab\nc");
    ASSERT_EQ(field.lines.count, 2);
    EXPECT_EQ(field.lines[0], 3);
    EXPECT_EQ(field.lines[1], 1);
}

TEST_F(TextFieldTest, CutCopyAndPasteGoThroughTheClipboard) {
    set("one two three");
    focus();
    text_field_set_caret(&field, 4);
    headless_key_down(KEY_SHIFT);
    step();
    with(KEY_CONTROL, KEY_RIGHT);  // shift + control: select the word "two"
    headless_key_up(KEY_SHIFT);
    EXPECT_EQ(selected(), "two");
    with(KEY_CONTROL, KEY_LETTER('c'));
    EXPECT_EQ(to_string(headless_clipboard_text()), "two");
    presses({{KEY_CONTROL, KEY_LETTER('x'), 4, "one  three"}, {0, KEY_END, 10},
             {KEY_CONTROL, KEY_LETTER('v'), 13, "one  threetwo"}});
    // Copying with nothing selected keeps what the clipboard held.
    with(KEY_CONTROL, KEY_LETTER('c'));
    EXPECT_EQ(to_string(headless_clipboard_text()), "two");

    // Two lines pasted into a single-line field leave one line.
    field.single_line = 1;
    set("<>");
    text_field_set_caret(&field, 1);
    headless_clipboard_put(STR("first\nsecond"));
    presses({{KEY_CONTROL, KEY_LETTER('v'), 12, "<firstsecond>"}});
}

// Up and down keep the column through a short line, landing on a character boundary in a
// line of two 3-byte characters; down from the last line goes to the end of the text, up
// from the first to its start. A page from the last of five lines goes to an end.
TEST_F(TextFieldTest, UpAndDownKeepTheColumnAndPagesGoToTheEnds) {
    set("abcdef\nab\nabcdefgh\n\xE2\x82\xAC\xE2\x82\xAC");
    focus();
    text_field_set_caret(&field, 5);  // line 0, column 5
    presses({{0, KEY_DOWN, 9}, {0, KEY_DOWN, 10 + 5}, {0, KEY_DOWN, 19 + 3}, {0, KEY_DOWN, 25},
             {0, KEY_UP, 10 + 5}, {0, KEY_HOME, 10}, {0, KEY_UP, 7}, {0, KEY_END, 9},
             {0, KEY_UP, 2}, {0, KEY_UP, 0}});
    set("one\ntwo\nthree\nfour\nfive");
    text_field_set_caret(&field, 21);  // "fi|ve"
    presses({{0, KEY_PAGE_UP, 0}, {0, KEY_PAGE_DOWN, 23}, {KEY_CONTROL, KEY_HOME, 0},
             {KEY_CONTROL, KEY_END, 23}});

    // A column past sixteen bits survives the short line too.
    std::string text(40000, 'a');
    text += "\nb";
    set(text.c_str());
    text_field_set_caret(&field, 39990);
    presses({{0, KEY_DOWN, 40002}, {0, KEY_UP, 39990}, {0, KEY_END, 40000}});
}

// Left from the start stays; with a selection left goes to its start; characters of three
// bytes are passed and deleted whole. With control, whole words go: the run of spaces is a
// word of its own kind, '_' and digits belong to the word.
TEST_F(TextFieldTest, CharactersMoveWholeShiftSelectsControlTakesWordsTheKeypadFollowsNumLock) {
    set("a\xE2\x82\xAC" "bc");
    focus();
    presses({{0, KEY_HOME, 0}, {0, KEY_LEFT, 0}, {KEY_SHIFT, KEY_RIGHT, 1},
             {KEY_SHIFT, KEY_RIGHT, 4}, {KEY_SHIFT, KEY_RIGHT, 5}});
    EXPECT_EQ(selected(), "a\xE2\x82\xAC" "b");
    presses({{0, KEY_LEFT, 0}, {0, KEY_RIGHT, 1}, {0, KEY_RIGHT, 4}, {0, KEY_LEFT, 1},
             {0, KEY_DELETE, 1, "abc"}});

    set("alpha beta_2 gamma");
    presses({{0, KEY_END, 18},
             {KEY_CONTROL, KEY_BACKSPACE, -1, "alpha beta_2 "},
             {KEY_CONTROL, KEY_BACKSPACE, -1, "alpha beta_2"},
             {KEY_CONTROL, KEY_BACKSPACE, -1, "alpha "},
             {0, KEY_HOME, 0},
             {KEY_CONTROL, KEY_DELETE, 0, " "},
             {0, KEY_BACKSPACE, 0, " "},  // nothing before the start
             {0, KEY_DELETE, 0, ""}});

    // The keypad moves only when num lock agrees with shift: off, without shift, 4 is left;
    // on, the key types (the platform sends the digit), and with shift 7 is home, selecting.
    set("abc");
    presses({{0, KEY_END, 3}, {0, KEY_KEYPAD_0 + 4, 2}});
    headless_set_modifiers(MODIFIER_NUM_LOCK);
    step();
    presses({{0, KEY_KEYPAD_0 + 4, 2}, {KEY_SHIFT, KEY_KEYPAD_0 + 7, 0}});
    EXPECT_EQ(field.anchor, 2);
}

// The caret blinks once a second, from the start again on every key.
TEST_F(TextFieldTest, TypingReplacesTheSelectionRestartsTheBlinkAndHoldsTheKeyboard) {
    set("cat");
    focus();
    EXPECT_EQ(g_ui.keyboard_taken, 1);
    text_field_set_caret(&field, 0);
    with(KEY_SHIFT, KEY_RIGHT);
    type("b");
    EXPECT_EQ(text(), "bat");
    EXPECT_EQ(field.changed, 1);
    step();
    EXPECT_EQ(field.changed, 0);
    presses({{0, KEY_TAB, 2, "b\tat"}});  // at the caret after the "b": nothing selected
    g_ui.frame_seconds = 0.25;
    key(KEY_LEFT);  // a key sets the phase to 0; the frame then moves it a quarter turn
    EXPECT_NEAR(field.blink_phase, 1.5708f, 0.001);
    step();
    EXPECT_NEAR(field.blink_phase, 3.1416f, 0.001);
    for (i32 i = 0; i < 3; i += 1) step();
    EXPECT_NEAR(field.blink_phase, 1.5708f, 0.001);  // wrapped after a full turn
    // A press outside gives the keyboard back.
    mouse_to(20, 20);
    click();
    EXPECT_EQ(field.focused, 0);
    EXPECT_EQ(g_ui.keyboard_taken, 0);
}

TEST_F(TextFieldTest, APressPlacesTheCaretTwoSelectAWordAndADragSelectsAsItGoes) {
    set("hello brave world");
    step();
    f32 y = field.caret_y;  // the centre of the only line
    // Just right of the middle of "b": after it; just left: before it.
    f32 b0 = x_at(6), b1 = x_at(7);
    mouse_to((b0 + b1) / 2 + 1, y);
    click();
    EXPECT_EQ(field.caret, 7);
    EXPECT_EQ(field.anchor, 7);

    // The second press within half a second at the same spot selects the word.
    headless_clock_advance(100000);
    g_ui.frame_seconds = 0.1;
    step();
    click();
    EXPECT_EQ(selected(), "brave");
    // A third press at once places the caret again.
    click();
    EXPECT_EQ(field.caret, 7);
    EXPECT_EQ(field.anchor, 7);
    // Two presses too slow for each other: no word.
    for (i32 i = 0; i < 6; i += 1) step();
    click();
    EXPECT_EQ(field.caret, field.anchor);

    // Past the end of the line: the line from its start.
    g_ui.frame_seconds = 1.0 / 60.0;
    for (i32 i = 0; i < 60; i += 1) step();
    mouse_to(rect.x + rect.width - 20, y);
    click();
    click();
    EXPECT_EQ(selected(), "hello brave world");

    // Dragging selects; after the drag a press with shift extends the selection.
    mouse_to(x_at(6) + 1, y);
    headless_mouse_down(MOUSE_LEFT);
    step();
    mouse_to(x_at(11) + 1, y);
    step();
    headless_mouse_up(MOUSE_LEFT);
    step();
    EXPECT_EQ(selected(), "brave");
    mouse_to(x_at(17) - 1, y);
    step();
    EXPECT_EQ(field.caret, 11);  // the drag has ended: the caret stays
    headless_key_down(KEY_SHIFT);
    click();
    headless_key_up(KEY_SHIFT);
    EXPECT_EQ(selected(), "brave world");
}

TEST_F(TextFieldTest, TheWheelScrollsAMultiLineFieldWithinItsTextAndTheCaretIsKeptInView) {
    std::string many;
    for (i32 i = 0; i < 100; i += 1) many += "line\n";
    set(many.c_str());
    text_field_set_caret(&field, 0);  // setting the text scrolled to its end; back up
    g_theme.smooth_scrolling = 0;
    mouse_to(200, 200);
    step();
    headless_mouse_wheel(-2);  // towards the user: down the text
    step();
    EXPECT_FLOAT_EQ(field.target_y, 192);
    step();
    EXPECT_FLOAT_EQ(field.scroll_y, 192);  // without smoothing, at once in the next frame
    headless_mouse_wheel(5);  // far up: stops at the top
    step();
    EXPECT_FLOAT_EQ(field.target_y, 0);
    headless_mouse_wheel(-1000);  // far down: the last line stays in view
    step();
    f32 lh = g_theme.text_scale * (f32)(font_default()->size * font_default()->line_height);
    EXPECT_FLOAT_EQ(field.target_y, 101 * lh - rect.height);
    step();

    // Smoothly, the scroll closes in on the target a step per frame.
    g_theme.smooth_scrolling = 1;
    headless_mouse_wheel(1);
    step();
    step();
    EXPECT_GT(field.scroll_y, field.target_y);
    for (i32 i = 0; i < 200; i += 1) step();
    EXPECT_NEAR(field.scroll_y, field.target_y, 0.01);

    // A one-line field does not scroll with the wheel; moving the caret scrolls it.
    field = TextField{};
    field.single_line = 1;
    set(std::string(400, 'w').c_str());
    g_theme.smooth_scrolling = 0;
    headless_mouse_wheel(-3);
    step();
    EXPECT_EQ(field.target_y, 0.0f);
    focus();
    key(KEY_END);
    step();
    EXPECT_GT(field.scroll_x, 0.0f);
    EXPECT_LE(field.caret_x, rect.x + rect.width - g_theme.text_offset + 0.01f);
    key(KEY_HOME);
    step();
    EXPECT_EQ(field.scroll_x, 0.0f);
}

TEST_F(TextFieldTest, PastesAreBoundedAtACharacterBoundary) {
    // Almost 1 MiB of 3-byte characters: what the clipboard can bring at most.
    std::string huge;
    while (huge.size() + 3 <= (size_t)TEXT_FIELD_MAX_BYTES - 1) huge += "\xE2\x82\xAC";
    headless_clipboard_put(to_str(huge));
    focus();
    type("xy");
    key(KEY_LEFT);
    with(KEY_CONTROL, KEY_LETTER('v'));
    // Two bytes were there already: the paste is cut to the room left, before the
    // character that would not fit whole.
    i64 kept = (TEXT_FIELD_MAX_BYTES - 2) / 3 * 3;
    EXPECT_EQ(field.text.count, 2 + kept);
    EXPECT_EQ(field.caret, 1 + kept);
    EXPECT_EQ(field.caret, field.anchor);

    with(KEY_CONTROL, KEY_LETTER('v'));  // no room for one whole character
    type("\xE2\x82\xAC");
    EXPECT_EQ(field.text.count, 2 + kept);
    type("ab");  // exactly the room left
    EXPECT_EQ(field.text.count, TEXT_FIELD_MAX_BYTES);
    type("c");  // full
    EXPECT_EQ(field.text.count, TEXT_FIELD_MAX_BYTES);
    EXPECT_EQ(field.lines[0], TEXT_FIELD_MAX_BYTES);

    // A text set from outside is cut the same way.
    std::string longer = huge + huge;
    text_field_set_text(&field, to_str(longer));
    EXPECT_EQ(field.text.count, TEXT_FIELD_MAX_BYTES / 3 * 3);
    EXPECT_EQ(field.caret, field.text.count);
}

// The text, the caret and one selection rectangle per selected line, inside the field.
TEST_F(TextFieldTest, TheFieldDrawsItsCaretAndSelectionInsideItsRectangle) {
    set("some text\nmore");
    focus();
    with(KEY_CONTROL, KEY_LETTER('a'));
    expect_draws_match("text_field_selection", [&] { step(); });
}
