// Undo and redo in whole frames of the program: canvas edits in both modes, an object
// panel, opening a file and a new piece, each undone and redone byte for byte (the scene
// encodings compared); the menu buttons; the saved state; the keys held back while a field
// has the keyboard; the byte budget and the 200-step floor. Every change is recorded the
// same way (a frame that changed the piece), so one panel stands for all of them.
#include <string>
#include <vector>

#include "app/document.h"
#include "app/frame.h"
#include "editor/editor.h"
#include "frame_support.h"
#include "model/history.h"
#include "model/scene.h"
#include "model_support.h"
#include "panels/object_panels.h"
#include "piece_support.h"

struct Undo : InterfaceTest {
    void SetUp() override {
        InterfaceTest::SetUp();
        frames();
    }
    void TearDown() override {
        InterfaceTest::TearDown();
        history_set_budget(HISTORY_DEFAULT_BUDGET);
    }

    static std::string encoded() { return scene_bytes(&g_piece); }
    void tap(i32 code) {
        headless_key_tap(code);
        frames();
    }
    void control_tap(i32 code, bool shift = false) {
        headless_key_down(KEY_CONTROL);
        if (shift) headless_key_down(KEY_SHIFT);
        headless_key_tap(code);
        frames();
        if (shift) headless_key_up(KEY_SHIFT);
        headless_key_up(KEY_CONTROL);
        frames();
    }
    void undo() { control_tap(KEY_LETTER('z')); }
    void redo() { control_tap(KEY_LETTER('z'), true); }
};

TEST_F(Undo, CanvasEditsInBothModesGoBackAndForthByteForByteByKeysAndMenu) {
    std::vector<std::string> states = {encoded()};
    tap(KEY_TAB);  // place mode; changes nothing of the piece
    EXPECT_EQ(history_step_count(), 1);
    for (i32 i = 0; i < 3; i += 1) {
        tap(KEY_SPACE);
        states.push_back(encoded());
    }
    ASSERT_EQ(g_piece.notes.count, 3);
    EXPECT_EQ(history_step_count(), 4);
    // Select mode: the last note selected, moved later, deleted.
    tap(KEY_TAB);
    g_piece.notes[2].header.selected = 1;
    tap(KEY_LETTER('l'));
    states.push_back(encoded());
    tap(KEY_DELETE);
    ASSERT_EQ(g_piece.notes.count, 2);
    states.push_back(encoded());

    for (i64 i = (i64)states.size() - 2; i >= 0; i -= 1) {
        undo();
        ASSERT_EQ(encoded(), states[(size_t)i]) << "after undoing to step " << i;
    }
    EXPECT_EQ(g_piece.notes.count, 0);
    EXPECT_EQ(g_piece.modified, 0);  // back at the start: nothing to save
    undo();  // nothing older: no change
    EXPECT_EQ(encoded(), states[0]);
    for (size_t i = 1; i < states.size(); i += 1) {
        redo();
        ASSERT_EQ(encoded(), states[i]) << "after redoing to step " << i;
        EXPECT_EQ(g_piece.modified, 1);
    }
    redo();  // nothing newer
    EXPECT_EQ(encoded(), states.back());
    // Presses of one slow frame each count, in order: three steps back, one forward.
    headless_key_down(KEY_CONTROL);
    for (i32 i = 0; i < 3; i += 1) headless_key_tap(KEY_LETTER('z'));
    headless_key_down(KEY_SHIFT);
    headless_key_tap(KEY_LETTER('z'));
    headless_key_up(KEY_SHIFT);
    headless_key_up(KEY_CONTROL);
    frames();
    EXPECT_EQ(encoded(), states[states.size() - 3]);
    // The menu buttons do the same (in select mode, where the menu_x layout holds).
    click_menu(MENU_UNDO);
    EXPECT_EQ(encoded(), states[states.size() - 4]);
    click_menu(MENU_REDO);
    EXPECT_EQ(encoded(), states[states.size() - 3]);
}

TEST_F(Undo, AnEditAfterUndoDropsTheRedoStepsAndControlZIsTheFieldsWhileItHasTheKeyboard) {
    tap(KEY_TAB);
    tap(KEY_SPACE);
    tap(KEY_SPACE);
    std::string two = encoded();
    undo();
    EXPECT_TRUE(history_can_redo());
    tap(KEY_LETTER('i'));  // the cursor moves: no edit, the redo step stays
    EXPECT_TRUE(history_can_redo());
    tap(KEY_SPACE);  // a different second note
    EXPECT_FALSE(history_can_redo());
    EXPECT_NE(encoded(), two);
    redo();
    EXPECT_NE(encoded(), two);
    EXPECT_EQ(g_piece.notes.count, 2);
    std::string again = encoded();
    tap(KEY_LETTER('h'));  // the duration entry takes the keyboard
    frames();
    ASSERT_TRUE(panel_of_kind(PANEL_FRACTION));
    undo();
    EXPECT_EQ(encoded(), again);
}

TEST_F(Undo, AnObjectPanelEditAndACurveChangeAreSteps) {
    tap(KEY_TAB);
    g_editor.place_kind = OBJECT_TEMPO;
    tap(KEY_SPACE);
    tap(KEY_TAB);
    ASSERT_EQ(g_piece.tempos.count, 1);
    i64 id = g_piece.tempos[0].header.id;
    std::string placed = encoded();
    Panel* panel = object_panel_open(OBJECT_TEMPO, id);
    ASSERT_TRUE(panel);
    u64 panel_id = panel->id;
    frames();
    // The "minimum" row, typed into as the panel reads it; a click away ends the typing.
    TextField* minimum = &((ObjectPanelContent*)panel_find(panel_id)->content)->fields[0];
    minimum->focused = 1;
    text_field_set_text(minimum, STR(""));
    headless_type_text(STR("45"));
    frames(3);
    minimum->focused = 0;
    click_at(width() / 3, height() / 3);
    ASSERT_EQ(g_piece.tempos[0].tempo.minimum.numerator, 45);
    std::string typed = encoded();
    // A curve point added in code, as a marked edit of the frame.
    ASSERT_GE(curve_point_insert(&g_piece.tempos[0].tempo, frac(1, 2), frac(150), g_camera.zoom), 0);
    g_piece.modified = 1;
    tap(KEY_F3);
    std::string curved = encoded();
    undo();
    EXPECT_EQ(encoded(), typed);
    i32 undos = 0;
    while (encoded() != placed && undos < 3) {
        undo();
        undos += 1;
    }
    EXPECT_EQ(encoded(), placed);
    EXPECT_NE(g_piece.tempos[0].tempo.minimum.numerator, 45);
    while (history_redo()) {
    }
    EXPECT_EQ(encoded(), curved);
    // Undone back before the tempo was placed, its panel closes.
    for (i32 i = 0; i < 6 && g_piece.tempos.count > 0; i += 1) undo();
    frames();
    EXPECT_EQ(g_piece.tempos.count, 0);
    EXPECT_EQ(panel_of_kind(PANEL_TEMPO), nullptr);
}

TEST_F(Undo, OpeningAFileAndANewPieceAreStepsWithTheirPaths) {
    TempFolder folder;
    folder.enter();
    // The piece on file: two notes.
    tap(KEY_TAB);
    tap(KEY_SPACE);
    tap(KEY_SPACE);
    ASSERT_TRUE(scene_save(STR("two.scene")));
    frames();
    EXPECT_EQ(g_piece.modified, 0);
    // The piece being edited when the file is opened: one note, never saved elsewhere.
    control_tap(KEY_LETTER('z'));  // one note, unsaved again
    EXPECT_EQ(g_piece.modified, 1);
    EXPECT_EQ(g_piece.notes.count, 1);
    std::string one = encoded();
    redo();  // back at the saved state: nothing to save, and the file agrees
    EXPECT_EQ(g_piece.modified, 0);
    EXPECT_FALSE(piece_check_unsaved());
    undo();
    EXPECT_EQ(g_piece.modified, 1);

    // Opening replaces it; undo brings the unsaved piece and its (unchanged) path back.
    ASSERT_TRUE(piece_open(STR("two.scene")));
    frames();
    std::string opened = encoded();
    EXPECT_EQ(g_piece.notes.count, 2);
    undo();
    EXPECT_EQ(encoded(), one);
    EXPECT_EQ(to_string(g_piece.path), "two.scene");  // it was saved there before the undo
    EXPECT_EQ(g_piece.modified, 1);
    redo();
    EXPECT_EQ(encoded(), opened);
    EXPECT_EQ(g_piece.modified, 0);  // the opened file is the saved state

    // A new piece (unmodified, so at once) empties it; undo returns the file's piece with
    // its path, unmodified.
    control_tap(KEY_LETTER('n'));
    EXPECT_EQ(g_piece.notes.count, 0);
    EXPECT_EQ(g_piece.path.length, 0);
    undo();
    EXPECT_EQ(encoded(), opened);
    EXPECT_EQ(to_string(g_piece.path), "two.scene");
    EXPECT_EQ(g_piece.modified, 0);
    redo();
    EXPECT_EQ(g_piece.notes.count, 0);
    EXPECT_EQ(g_piece.path.length, 0);
}

TEST_F(Undo, TwoHundredStepsAtLeastAndTheBudgetDropsTheOldestFirst) {
    tap(KEY_TAB);
    std::vector<std::string> states = {encoded()};
    for (i32 i = 0; i < 220; i += 1) {
        tap(KEY_SPACE);
        states.push_back(encoded());
    }
    EXPECT_EQ(history_step_count(), 221);
    for (i32 i = 0; i < 200; i += 1) ASSERT_TRUE(history_undo()) << i;
    EXPECT_EQ(encoded(), states[20]);
    while (history_redo()) {
    }
    EXPECT_EQ(encoded(), states.back());

    // A budget of about ten of the latest encodings keeps the newest steps only.
    history_set_budget((i64)states.back().size() * 10);
    tap(KEY_SPACE);
    EXPECT_LE(history_bytes(), (i64)states.back().size() * 10 + 64);
    EXPECT_GE(history_step_count(), 5);
    EXPECT_LE(history_step_count(), 11);
    i64 undone = 0;
    while (history_undo()) undone += 1;
    EXPECT_EQ(undone, history_step_count() - 1);
    EXPECT_EQ(encoded(), states[(size_t)(states.size() - (size_t)undone)]);

    // A budget too small for two steps still keeps the current one.
    while (history_redo()) {
    }
    history_set_budget(1);
    tap(KEY_SPACE);
    std::string latest = encoded();
    EXPECT_EQ(history_step_count(), 1);
    EXPECT_FALSE(history_undo());
    EXPECT_EQ(encoded(), latest);
}
