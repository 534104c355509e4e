// The frame as the user meets it: the menu bar's buttons and shortcuts, play, pause,
// resume and stop through the real worker, the status text while a rendering is awaited,
// the help (every key, above everything) and statistics overlays, the start hint, and the
// save question: asked before quit and new when anything changed, its three answers, and
// nothing behind it changing the piece while it waits.
#include <time.h>

#include <regex>
#include <string>

#include "app/document.h"
#include "app/frame.h"
#include "app/frame_question.h"
#include "app/menu_bar.h"
#include "editor/editor.h"
#include "frame_support.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "model/scene.h"
#include "panels/properties.h"
#include "sound/playback.h"

struct FrameTest : InterfaceTest {
    TempFolder folder;

    void add_note() {
        NoteObject note = {};
        note.header.kind = OBJECT_NOTE;
        note.header.duration = Fraction{1, 1};
        note.header.pitch = Fraction{1, 1};
        ASSERT_TRUE(piece_object_add(&g_piece, &note.header));
    }
    // A change, then control + n and the question it brings.
    void change_and_ask_for_new() {
        add_note();
        frames();
        control_key('n');
        ASSERT_TRUE(question());
    }

    // Frames until the worker's rendering has started playing (false after 60 s).
    bool wait_until_playing() {
        for (i32 i = 0; i < 6000; i += 1) {
            frames();
            if (playback_is_playing()) return true;
            timespec pause = {0, 10000000};
            nanosleep(&pause, nullptr);
        }
        return false;
    }
};

TEST_F(FrameTest, TheModeButtonShowsTheKindsAndTheKindAndPanelButtonsDoTheirPart) {
    click_menu(MENU_MODE);
    EXPECT_EQ(g_editor.place_mode, 1);
    // The fifth kind button places volumes (kind 6), the seventh sounds (kind 4).
    click_menu(MENU_KIND_FIRST + 4);
    EXPECT_EQ(g_editor.place_kind, OBJECT_VOLUME);
    click_menu(MENU_KIND_FIRST + 6);
    EXPECT_EQ(g_editor.place_kind, OBJECT_SOUND);
    expect_draws_match("frame_place_mode");  // the chosen kind marked

    // Back in select mode the kinds are gone: where they were, "show groups" now sits.
    click_menu(MENU_MODE);
    EXPECT_EQ(g_editor.place_mode, 0);
    click_at(menu_x(MENU_SHOW_GROUPS), height() - g_theme.scale);
    EXPECT_EQ(g_editor.place_kind, OBJECT_SOUND);
    ASSERT_EQ(g_panels.panels.count, 1);
    EXPECT_EQ(g_panels.panels[0].kind, PANEL_GROUPS);

    // Each panel opens once: a second click on "show groups" raises its panel instead, and
    // the former top panel takes its place.
    click_menu(MENU_SHOW_GROUP_PROPERTIES);
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    click_menu(MENU_SHOW_GROUPS);
    ASSERT_EQ(g_panels.panels.count, 3);
    const u8 kinds[] = {PANEL_GLOBAL_PROPERTIES, PANEL_GROUP_PROPERTIES, PANEL_GROUPS};
    for (i32 i = 0; i < 3; i += 1) EXPECT_EQ(g_panels.panels[i].kind, kinds[i]);
    expect_draws_match("frame_three_panels");  // each panel in its place, below the bar
}

TEST_F(FrameTest, EveryMenuButtonIsOnScreenApartAndTakesItsClickAtEveryWidth) {
    for (i32 window : {800, 1024, 1920}) {
        for (u8 place : {0, 1}) {
            headless_resize(window, 768);
            g_editor.place_mode = place;
            frames(2);
            ASSERT_EQ(width(), (f32)window);
            std::vector<i32> shown;
            for (i32 i = 0; i < MENU_BUTTON_COUNT; i += 1) {
                SCOPED_TRACE("width " + std::to_string(window) + " place mode " +
                             std::to_string(place) + " button " + std::to_string(i));
                Rect r = g_frame.menu_rects[i];
                if (!place && i >= MENU_KIND_FIRST && i < MENU_SHOW_GROUPS) {
                    EXPECT_EQ(r.width, 0.0f);  // the kinds show in place mode only
                    continue;
                }
                EXPECT_GE(r.x, 0.0f);
                EXPECT_LE(r.x + r.width, width());
                EXPECT_GE(r.y, height() - 2 * g_theme.scale);
                EXPECT_LE(r.y + r.height, height());
                EXPECT_GE(r.width, 32.0f);  // still a target for the mouse
                for (i32 j : shown) {
                    Rect o = g_frame.menu_rects[j];
                    EXPECT_TRUE(r.x >= o.x + o.width || o.x >= r.x + r.width) << "over " << j;
                }
                shown.push_back(i);
                // A click at its centre reaches this button and no other.
                headless_mouse_move(r.x + r.width / 2, height() - (r.y + r.height / 2));
                widget_frame([] { menu_bar_draw(); });
                headless_mouse_click(MOUSE_LEFT);
                widget_frame([] { menu_bar_draw(); });
                for (i32 j = 0; j < MENU_BUTTON_COUNT; j += 1)
                    EXPECT_EQ(g_frame.menu_buttons[j].clicked, j == i) << "button " << j;
            }
        }
    }
}

TEST_F(FrameTest, AssignGroupMovesTheSelectionToTheCurrentGroup) {
    add_note();
    add_note();
    g_piece.notes[0].header.selected = 1;
    g_piece.notes[0].header.group_id = 77;
    g_piece.notes[1].header.group_id = 78;
    frames();
    click_menu(MENU_ASSIGN_GROUP);  // no group selected in the tree: nothing
    EXPECT_EQ(g_piece.notes[0].header.group_id, 77);

    ASSERT_GT(g_piece.tree.count, 0);
    g_piece.tree[0].selected = 1;
    g_piece.modified = 0;
    click_menu(MENU_ASSIGN_GROUP);
    EXPECT_EQ(g_piece.notes[0].header.group_id, g_piece.tree[0].id);
    EXPECT_EQ(g_piece.notes[1].header.group_id, 78);
    EXPECT_EQ(g_piece.modified, 1);
}

TEST_F(FrameTest, PlayRendersThenPausesAndResumesAndStopEndsPlaying) {
    frames();
    click_menu(MENU_PLAY);
    EXPECT_TRUE(playback_is_waiting() || playback_is_playing());
    // While the rendering is awaited the status says so in the bottom right corner.
    f32 status[4];
    bool status_shown = label_box("generating samples...", status);
    if (playback_is_waiting()) {
        ASSERT_TRUE(status_shown);
        EXPECT_NEAR(status[0] + status[2], width() - g_theme.offset, 4);
        EXPECT_NEAR(status[1], g_theme.offset, 8);
    }
    ASSERT_TRUE(wait_until_playing());
    EXPECT_FALSE(playback_is_waiting());
    // While playing, the play button shows the pause icon and the status is gone.
    EXPECT_FALSE(label_box("generating samples...", status));
    EXPECT_GT(draws_with_texture(TEXTURE_PAUSE), 0);

    // The buttons reach the player, whose fades and positions the playback tests check.
    click_menu(MENU_PLAY);  // pause
    EXPECT_FALSE(playback_is_playing());
    EXPECT_TRUE(playback_is_resumable());
    click_menu(MENU_PLAY);  // resume, without rendering again
    EXPECT_TRUE(playback_is_playing());
    EXPECT_FALSE(playback_is_waiting());
    click_menu(MENU_STOP);
    EXPECT_FALSE(playback_is_playing());
    EXPECT_FALSE(playback_is_resumable());
}

TEST_F(FrameTest, TheStatisticsKeyShowsAndHidesTheOverlay) {
    const f32 stats_color[4] = {0.5f, 0.5f, 1.0f, 0.7f};
    frames();
    for (size_t shown : {1u, 0u}) {
        headless_key_tap(KEY_F3);
        headless_draws_clear();
        frames();
        EXPECT_EQ(draws_in_color(stats_color).size(), shown);
    }

    add_note();
    frames();
    // Seven lines, each a number and what it counts; the notes are those drawn.
    std::string text = to_string(frame_statistics_text());
    EXPECT_EQ(std::regex_replace(text, std::regex("[0-9]+(\\.[0-9]+)?"), "#"),
              "# ms updating\n# ms rendering\n# ms total\n# notes\n# ms filling samples\n"
              "#% main memory\n#% tmp memory");
    EXPECT_NE(text.find("\n" + std::to_string(g_piece.notes_drawn) + " notes\n"), text.npos);
}

// The stored draws hold the help's text, every key of it.
TEST_F(FrameTest, TheHelpListsEveryKeyAboveThePanelsAndAWaitingQuestion) {
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    add_note();
    tap(KEY_ESCAPE);
    ASSERT_TRUE(question());
    tap(KEY_F1);  // works while the question waits
    ASSERT_TRUE(g_frame.help_visible);
    // Drawn last, centred between the menu bar and the bottom.
    expect_draws_match("frame_help");
    tap(KEY_F1);
    EXPECT_FALSE(g_frame.help_visible);
}

TEST_F(FrameTest, TheStartHintShowsOnAnEmptyCanvasUntilAnObjectIsPlacedOrF1) {
    const f32* c = g_theme.text_color;
    const f32 quiet[4] = {c[0], c[1], c[2], c[3] * 0.5f};
    auto hint_drawn = [&]() {
        headless_draws_clear();
        frames();
        return !draws_in_color(quiet).empty();
    };
    // The hint's words in either mode are in the stored draws of the menu bar's tests.
    EXPECT_TRUE(hint_drawn());
    tap(KEY_TAB);
    EXPECT_TRUE(hint_drawn());  // the mode alone places nothing
    tap(KEY_SPACE);
    EXPECT_FALSE(hint_drawn());
    control_key('z');  // empty again, but no newcomer any more
    ASSERT_EQ(g_piece.notes.count, 0);
    EXPECT_FALSE(hint_drawn());

    frame_reset();  // a fresh start: F1 ends the hint, and showing the help again does not
    EXPECT_TRUE(hint_drawn());
    tap(KEY_F1);
    headless_key_tap(KEY_F1);
    EXPECT_FALSE(hint_drawn());
}

TEST_F(FrameTest, ANewPieceAsksFirstWhenThePieceHasChangesAndAQuitAskedMeanwhileWins) {
    change_and_ask_for_new();
    EXPECT_EQ(question()->follow_up, FOLLOW_UP_NEW_PIECE);
    answer("cancel");
    EXPECT_EQ(g_piece.notes.count, 1);
    click_menu(MENU_NEW);
    answer("no");
    EXPECT_EQ(g_piece.notes.count, 0);

    // Yes, with a file: saved, then emptied; opening the file brings the note back.
    std::string path = folder / "kept.scene";
    ASSERT_TRUE(scene_save(to_str(path)));
    change_and_ask_for_new();
    answer("yes");
    EXPECT_EQ(g_piece.notes.count, 0);
    ASSERT_TRUE(piece_open(to_str(path)));
    EXPECT_EQ(g_piece.notes.count, 1);

    // Asking again keeps one question, and the latest request decides.
    change_and_ask_for_new();
    headless_request_close();
    frames();
    EXPECT_EQ(panels_of_kind(PANEL_QUESTION), 1);
    EXPECT_EQ(question()->follow_up, FOLLOW_UP_QUIT);
    answer("no");  // quit without saving
    EXPECT_FALSE(g_app.running);
    EXPECT_TRUE(piece_check_unsaved());  // the file still holds one note
}

TEST_F(FrameTest, SaveSavesAndAWaitingQuestionKeepsThePieceAsItIsAndReturnSaysYes) {
    std::string path = folder / "modal.scene";
    ASSERT_TRUE(scene_save(to_str(path)));
    add_note();
    frames();
    click_menu(MENU_SAVE);  // as control + s does
    EXPECT_FALSE(piece_check_unsaved());
    add_note();
    // A field that has the keyboard when the question comes.
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    Panel* global = panel_of_kind(PANEL_GLOBAL_PROPERTIES);
    ASSERT_TRUE(global);
    TextField* field =
        &((PropertiesPanel*)global->content)->sections[0].rows[GLOBAL_ROW_SAMPLE_RATE].field;
    field->focused = 1;
    frames();
    std::string rate = to_string(text_field_text(field));
    tap(KEY_ESCAPE);
    ASSERT_TRUE(question());
    Str before = scene_encode(&g_piece, POOL_MAIN);
    // Behind the question: the editor keys, a click on the canvas, undo and the menu bar.
    tap(KEY_TAB);
    tap(KEY_SPACE);
    headless_type_text(STR("9"));
    frames();
    EXPECT_EQ(to_string(text_field_text(field)), rate);
    click_at(width() / 4, height() / 4);
    control_key('z');
    click_menu(MENU_NEW);
    EXPECT_EQ(g_editor.place_mode, 0);
    EXPECT_EQ(to_string(scene_encode(&g_piece, POOL_TMP)), to_string(before));
    ASSERT_TRUE(question());
    EXPECT_EQ(question()->follow_up, FOLLOW_UP_QUIT);
    EXPECT_TRUE(g_app.running);

    tap(KEY_RETURN);  // yes: saved to its file, then quit
    EXPECT_FALSE(g_app.running);
    EXPECT_FALSE(piece_check_unsaved());  // the file now holds the notes
}
