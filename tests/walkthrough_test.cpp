// What a composer meets in the first minutes (the walk-through of README.md), in whole
// frames of the program: the cursor walks a scale before any key is placed, and the pitch and
// name entries take what is typed as soon as they open, without the editor also acting on
// the keys.
#include <unistd.h>

#include "editor_support.h"
#include "panels/entry_panels.h"
#include "ui/panels.h"

struct Walkthrough : ProgramTest {
    TempFolder folder;  // the working folder of the tests that save
    // One key as a keyboard gives it: the key press and, for a printable key, its text.
    static void keyboard(const char* text) {
        for (const char* c = text; *c; c += 1) {
            i32 code = *c >= 'a' && *c <= 'z'   ? KEY_LETTER(*c)
                       : *c >= '0' && *c <= '9' ? KEY_DIGIT(*c - '0')
                       : *c == '.'              ? 58  // the platform's codes of . and /
                       : *c == '/'              ? 59
                                                : KEY_ANY;
            if (code != KEY_ANY) headless_key_tap(code);
            headless_type_text(Str{(u8*)c, 1});
            app_frame();
        }
    }
};

TEST_F(Walkthrough, BeforeAnyKeyIsPlacedTheCursorWalksTheScaleThatAPlacedKeyBrings) {
    ASSERT_NE(key_by_name(STR("key")), nullptr);  // keys.txt of the data folder
    ASSERT_EQ(g_piece.keys.count, 0);
    tap(KEY_TAB);
    letter('i');
    EXPECT_TRUE(same(g_editor.cursor_pitch, frac(9, 8)));  // re, not the octave
    tap_with(KEY_CONTROL, KEY_LETTER('i'));
    EXPECT_TRUE(same(g_editor.cursor_pitch, frac(6, 5)));  // chromatic: me
    tap_with(KEY_SHIFT, KEY_LETTER('i'));
    EXPECT_TRUE(same(g_editor.cursor_pitch, frac(12, 5)));  // shift: the octave

    // Without the key new keys refer to (no keys.txt) there is nothing to walk: octaves.
    array_clear(&g_keys);
    letter('i');
    EXPECT_TRUE(same(g_editor.cursor_pitch, frac(24, 5)));
}

TEST_F(Walkthrough, TheEntriesTakeWhatIsTypedAtOnceAndTheEditorStaysQuiet) {
    tap(KEY_TAB);
    letter('f');  // the pitch entry: the cursor's 1 is selected and replaced; f not typed
    ASSERT_EQ(panels_of_kind(PANEL_FRACTION), 1);
    expect_draws_match("walkthrough_pitch_entry");  // "fraction", centred
    keyboard("7/4");
    tap(KEY_RETURN);
    EXPECT_TRUE(same(g_editor.cursor_pitch, frac(7, 4)));
    EXPECT_TRUE(same(g_editor.selected_duration, frac(1)));  // 7 and 4 were not commands
    app_frame();
    EXPECT_EQ(panels_of_kind(PANEL_FRACTION), 0);
}

TEST_F(Walkthrough, ANameTypedRightAfterTheBrowserOpensIsTheFilesName) {
    folder.enter();
    tap(KEY_TAB);
    tap(KEY_SPACE);  // a note, so the piece has something to save
    Fraction pitch = g_editor.cursor_pitch, time = g_editor.cursor_time;
    tap_with(KEY_CONTROL, KEY_LETTER('s'));
    ASSERT_EQ(panels_of_kind(PANEL_FILE), 1);
    // Every letter of the name is also an editor command: f and g open entries, i moves
    // the cursor, l moves it on.
    keyboard("fig.scene");
    tap(KEY_RETURN);
    app_frame();
    EXPECT_EQ(access("fig.scene", F_OK), 0);
    EXPECT_EQ(to_string(g_piece.path), "fig.scene");
    EXPECT_EQ(panels_of_kind(PANEL_FRACTION), 0);
    EXPECT_TRUE(same(g_editor.cursor_pitch, pitch));
    EXPECT_TRUE(same(g_editor.cursor_time, time));

    // A file picked from the list is ready for Return too.
    tap_with(KEY_CONTROL, KEY_LETTER('n'));  // saved, so a new piece asks nothing
    ASSERT_EQ(g_piece.notes.count, 0);
    tap_with(KEY_CONTROL, KEY_LETTER('o'));
    ASSERT_EQ(panels_of_kind(PANEL_FILE), 1);
    ASSERT_TRUE(click_label("fig.scene"));
    tap(KEY_RETURN);
    app_frame();
    EXPECT_EQ(g_piece.notes.count, 1);  // opened again
    EXPECT_EQ(panels_of_kind(PANEL_FILE), 0);
}
