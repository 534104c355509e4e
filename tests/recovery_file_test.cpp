// Crash recovery in whole frames on the headless back end, with a state folder of the
// test's own: the file is written once the piece has been modified for the interval (and
// not before), holds the piece's exact encoding, and goes on a save, a new piece and a
// clean quit; at the next start a file left behind is offered, restored with its path and
// marked modified, or discarded; the question holds the piece still until it is answered
// (Return restores), and one closed unanswered (escape) keeps the file. The real kill (SIGKILL
// of the real program) is tests/scripts/recovery_kill.sh.
#include <unistd.h>

#include "app/document.h"
#include "app/frame.h"
#include "app/frame_question.h"
#include "app/recovery.h"
#include "editor/editor.h"
#include "frame_support.h"
#include "model/history.h"
#include "model/scene.h"
#include "model_support.h"
#include "piece_support.h"

struct Recovery : InterfaceTest {
    TempFolder folder;

    void SetUp() override { start(); }
    // Starts the program with the folder as its state folder (what headless_reset forgets).
    void start() {
        headless_reset();
        headless_set_state_folder(to_str(folder.path));
        headless_set_time_text(STR("2026-12-06 18:00:00"));
        app_state_reset();
        ASSERT_TRUE(app_startup());
        app_frame();
    }
    void restart() {
        app_shutdown();
        start();
    }
    static void tap(i32 code) {
        headless_key_tap(code);
        app_frame();
    }
    static void seconds(f64 amount) {
        headless_clock_advance((u64)(amount * (f64)system_performance_frequency()));
        app_frame();
    }
    std::string file() const { return folder / "recovery.scene"; }
    bool file_there() const { return access(file().c_str(), F_OK) == 0; }
    std::string read_file() const { return file_text(file()); }
    void write_file(const std::string& bytes) const { file_put(file(), bytes); }
    static std::string encoded() { return scene_bytes(&g_piece); }
    static Panel* question_panel() { return panel_of_kind(PANEL_QUESTION); }
    // "restore" sits where the save question has "yes", "discard" at the right.
    void answer(bool restore) {
        const Panel* p = question_panel();
        ASSERT_TRUE(p);
        f32 s = g_theme.scale, o = g_theme.offset;
        f32 x = restore ? p->x + o + 2 * s : p->x + p->width - o - 2 * s;
        click_at(x, p->y + o + s / 2);
        frames();
    }
    // The save question's "no", between "yes" and "cancel".
    void answer_no_to_save() {
        const Panel* p = question_panel();
        ASSERT_TRUE(p);
        f32 s = g_theme.scale, o = g_theme.offset;
        click_at(p->x + 2 * o + 6 * s, p->y + o + s / 2);
        frames();
    }
    void control_tap(char letter) {
        headless_key_down(KEY_CONTROL);
        tap(KEY_LETTER(letter));
        headless_key_up(KEY_CONTROL);
        frames();
    }
    // Control + n and "no" to the save question: the piece emptied without saving.
    void new_piece_unsaved() {
        control_tap('n');
        answer_no_to_save();
        frames();
    }
    // Two notes placed, then the interval passes: the piece is on disk for recovery.
    // The program dies with the recovery file written and starts again: a clean quit removes
    // the file, so it is put back as a killed run would have left it.
    void restart_after_a_crash() {
        std::string kept = read_file();
        restart();
        write_file(kept);
        restart();
    }
    void two_notes_kept() {
        tap(KEY_TAB);
        tap(KEY_SPACE);
        tap(KEY_SPACE);
        seconds(31);
        ASSERT_TRUE(file_there());
    }
};

TEST_F(Recovery, WrittenAfterTheIntervalOfChangesWithTheExactEncoding) {
    frames(3);
    seconds(40);
    EXPECT_FALSE(file_there());  // nothing unsaved: nothing written
    tap(KEY_TAB);
    tap(KEY_SPACE);
    seconds(29);
    EXPECT_FALSE(file_there());
    seconds(2);
    ASSERT_TRUE(file_there());
    std::string bytes = read_file();
    std::string header = "sorvane recovery 1\n2026-12-06 18:00:00\n\n";
    ASSERT_EQ(bytes.substr(0, header.size()), header);
    EXPECT_EQ(bytes.substr(header.size()), encoded());
    EXPECT_FALSE(access((file() + ".tmp").c_str(), F_OK) == 0);
    // Another change is written an interval after the last write, not before.
    tap(KEY_SPACE);
    seconds(20);
    EXPECT_NE(read_file().substr(header.size()), encoded());
    seconds(11);
    EXPECT_EQ(read_file().substr(header.size()), encoded());
}

TEST_F(Recovery, ASaveANewPieceAndACleanQuitRemoveIt) {
    two_notes_kept();
    std::string piece = folder / "piece.scene";
    ASSERT_TRUE(scene_save(to_str(piece)));
    frames();
    EXPECT_FALSE(file_there());

    tap(KEY_SPACE);
    seconds(31);
    ASSERT_TRUE(file_there());
    // The piece's path is recorded for the restore.
    EXPECT_NE(read_file().find("\n" + piece + "\n"), std::string::npos);
    // A new piece: the question, "no", the piece emptied: the file goes.
    new_piece_unsaved();
    EXPECT_FALSE(file_there());
    EXPECT_EQ(g_piece.notes.count, 0);

    tap(KEY_SPACE);
    seconds(31);
    ASSERT_TRUE(file_there());
    restart();  // a clean quit
    EXPECT_FALSE(file_there());
    EXPECT_EQ(question_panel(), nullptr);
}

TEST_F(Recovery, AFileLeftBehindIsOfferedAndRestoredWithItsPath) {
    two_notes_kept();
    ASSERT_TRUE(scene_save(to_str(folder / "song.scene")));
    frames();
    tap(KEY_SPACE);
    seconds(31);
    std::string three = encoded();
    restart_after_a_crash();
    Panel* p = question_panel();
    ASSERT_TRUE(p);
    SaveQuestion* question = (SaveQuestion*)p->content;
    EXPECT_EQ(question->restore, 1);
    std::string text = to_string(question->text);
    EXPECT_NE(text.find(folder / "song.scene"), std::string::npos) << text;
    EXPECT_NE(text.find("2026-12-06 18:00:00"), std::string::npos) << text;
    EXPECT_EQ(g_piece.notes.count, 0);
    answer(true);
    EXPECT_EQ(question_panel(), nullptr);
    EXPECT_EQ(encoded(), three);
    EXPECT_EQ(g_piece.notes.count, 3);
    EXPECT_EQ(to_string(g_piece.path), folder / "song.scene");
    EXPECT_EQ(g_piece.modified, 1);  // the file on disk has two notes only
    EXPECT_TRUE(file_there());
    // The restore is a step: undo gives the empty start back.
    ASSERT_TRUE(history_undo());
    EXPECT_EQ(g_piece.notes.count, 0);
}

TEST_F(Recovery, DiscardRemovesTheFileAndLeavesThePiece) {
    two_notes_kept();
    restart_after_a_crash();
    ASSERT_TRUE(question_panel());
    answer(false);
    EXPECT_EQ(question_panel(), nullptr);
    EXPECT_FALSE(file_there());
    EXPECT_EQ(g_piece.notes.count, 0);
    EXPECT_EQ(g_piece.modified, 0);
}

TEST_F(Recovery, TheQuestionWaitsForItsAnswerAndEscapeLeavesTheFileForTheNextStart) {
    two_notes_kept();
    std::string kept = read_file();
    restart_after_a_crash();
    ASSERT_TRUE(question_panel());
    // Nothing is placed behind the question.
    tap(KEY_TAB);
    tap(KEY_SPACE);
    EXPECT_EQ(g_editor.place_mode, 0);
    EXPECT_EQ(piece_object_total(&g_piece), 0);
    // Escape closes it unanswered; work goes on and the earlier file is not written over.
    tap(KEY_ESCAPE);
    frames();
    EXPECT_EQ(question_panel(), nullptr);
    EXPECT_TRUE(g_app.running);
    tap(KEY_TAB);
    tap(KEY_SPACE);
    seconds(31);
    EXPECT_EQ(read_file(), kept);
    // Quitting keeps it for the next start.
    restart();
    EXPECT_EQ(read_file(), kept);
    ASSERT_TRUE(question_panel());
    // A save question asked meanwhile is a panel of its own, on top: Escape cancels it,
    // then Return answers the recovery question with "restore".
    save_question_open(1);
    i64 questions = 0;
    for (i64 i = 0; i < g_panels.panels.count; i += 1)
        questions += g_panels.panels[i].kind == PANEL_QUESTION;
    EXPECT_EQ(questions, 2);
    tap(KEY_ESCAPE);
    frames();
    ASSERT_TRUE(question_panel());
    EXPECT_EQ(((SaveQuestion*)question_panel()->content)->restore, 1);
    tap(KEY_RETURN);
    frames();
    EXPECT_EQ(question_panel(), nullptr);
    EXPECT_EQ(g_piece.notes.count, 2);
    EXPECT_TRUE(g_app.running);
}

TEST_F(Recovery, EveryChangeOfANewPieceIsKeptAndAsksAndUndoingItRemovesTheFile) {
    two_notes_kept();
    new_piece_unsaved();
    ASSERT_EQ(g_piece.notes.count, 0);
    EXPECT_FALSE(file_there());
    // A setting changed as its properties row changes it: no objects, yet unsaved work.
    g_piece.settings.sample_rate = 22050;
    g_piece.modified = 1;
    frames();
    seconds(31);
    EXPECT_TRUE(file_there());
    tap(KEY_ESCAPE);
    ASSERT_TRUE(question_panel());
    tap(KEY_ESCAPE);
    frames();
    EXPECT_TRUE(g_app.running);
    // Undone, the piece is the new piece it was: no file, and quit asks nothing.
    control_tap('z');
    EXPECT_NE(g_piece.settings.sample_rate, 22050);
    EXPECT_EQ(g_piece.modified, 0);
    EXPECT_FALSE(file_there());
    tap(KEY_ESCAPE);
    EXPECT_EQ(question_panel(), nullptr);
    EXPECT_FALSE(g_app.running);
}

TEST_F(Recovery, ADamagedFileIsNotOfferedAndNoFolderMeansNoFile) {
    write_file("sorvane recovery 1\nnow\n\nnot a scene");
    restart();
    EXPECT_EQ(question_panel(), nullptr);
    write_file("something else entirely");
    restart();
    EXPECT_EQ(question_panel(), nullptr);
    // Without a state folder nothing is written.
    app_shutdown();
    headless_reset();
    app_state_reset();
    ASSERT_TRUE(app_startup());
    std::remove(file().c_str());
    tap(KEY_TAB);
    tap(KEY_SPACE);
    seconds(31);
    EXPECT_EQ(recovery_path().length, 0);
    EXPECT_FALSE(file_there());
}

TEST_F(Recovery, TheCommandLineSetsTheInterval) {
    app_shutdown();
    headless_reset();
    headless_set_state_folder(to_str(folder.path));
    app_state_reset();
    const Str args[] = {STR("-recovery-seconds"), STR("2")};
    app_read_command_line(args, 2);
    ASSERT_TRUE(app_startup());
    app_frame();
    tap(KEY_TAB);
    tap(KEY_SPACE);
    seconds(1);
    EXPECT_FALSE(file_there());
    seconds(1.5);
    EXPECT_TRUE(file_there());
}
