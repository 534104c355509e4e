// Crash recovery in whole frames on the headless back end, with a state folder of the test's
// own: when the file is written and removed, and what the next start offers with it. The
// real kill of the real program is tests/scripts/recovery_kill.sh.
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
    // Starts the program with the folder as its state folder (what headless_reset forgets)
    // or with none, and with the interval given on the command line when there is one.
    void start(bool state_folder = true, const char* interval = nullptr) {
        headless_reset();
        if (state_folder) headless_set_state_folder(to_str(folder.path));
        headless_set_time_text(STR("2026-12-06 18:00:00"));
        app_state_reset();
        const Str args[] = {STR("-recovery-seconds"), str_from_cstring(interval ? interval : "")};
        if (interval) app_read_command_line(args, 2);
        ASSERT_TRUE(app_startup());
        app_frame();
    }
    void restart(bool state_folder = true, const char* interval = nullptr) {
        app_shutdown();
        start(state_folder, interval);
    }
    void seconds(f64 amount) {
        headless_clock_advance((u64)(amount * (f64)system_performance_frequency()));
        app_frame();
    }
    std::string file() const { return folder / "recovery.scene"; }
    bool file_there() const { return access(file().c_str(), F_OK) == 0; }
    std::string read_file() const { return file_text(file()); }
    void write_file(const std::string& bytes) const { file_put(file(), bytes); }
    static std::string encoded() { return scene_bytes(&g_piece); }
    // Control + n and "no" to the save question: the piece emptied without saving.
    void new_piece_unsaved() {
        control_key('n');
        answer("no");
    }
    // The program dies with the recovery file written and starts again: a clean quit removes
    // the file, so it is put back as a killed run would have left it.
    void restart_after_a_crash() {
        std::string kept = read_file();
        restart();
        write_file(kept);
        restart();
    }
    // Two notes placed, then the interval passes: the piece is on disk for recovery.
    void two_notes_kept() {
        tap(KEY_TAB);
        tap(KEY_SPACE);
        tap(KEY_SPACE);
        seconds(31);
        ASSERT_TRUE(file_there());
    }
};

TEST_F(Recovery, WrittenAfterTheIntervalOrTheOneTheCommandLineSetsWithTheExactEncoding) {
    frames(3);
    seconds(40);
    EXPECT_FALSE(file_there());  // nothing unsaved: nothing written
    tap(KEY_TAB);
    tap(KEY_SPACE);
    seconds(29);
    EXPECT_FALSE(file_there());
    seconds(2);
    ASSERT_TRUE(file_there());
    std::string header = "sorvane recovery 1\n2026-12-06 18:00:00\n\n";
    EXPECT_EQ(read_file(), header + encoded());
    EXPECT_FALSE(access((file() + ".tmp").c_str(), F_OK) == 0);
    // Another change is written an interval after the last write, not before.
    tap(KEY_SPACE);
    seconds(20);
    EXPECT_NE(read_file().substr(header.size()), encoded());
    seconds(11);
    EXPECT_EQ(read_file().substr(header.size()), encoded());

    // The command line sets the interval.
    restart(true, "2");
    tap(KEY_TAB);
    tap(KEY_SPACE);
    seconds(1);
    EXPECT_FALSE(file_there());
    seconds(1.5);
    EXPECT_TRUE(file_there());
}

TEST_F(Recovery, ASaveACleanQuitANewPieceAndUndoingEveryChangeRemoveIt) {
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
    restart();  // a clean quit
    EXPECT_FALSE(file_there());
    EXPECT_EQ(question(), nullptr);

    // A new piece: the question, "no", the piece emptied: the file goes.
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
    ASSERT_TRUE(question());
    tap(KEY_ESCAPE);
    frames();
    EXPECT_TRUE(g_app.running);
    // Undone, the piece is the new piece it was: no file, and quit asks nothing.
    control_key('z');
    EXPECT_NE(g_piece.settings.sample_rate, 22050);
    EXPECT_EQ(g_piece.modified, 0);
    EXPECT_FALSE(file_there());
    tap(KEY_ESCAPE);
    EXPECT_EQ(question(), nullptr);
    EXPECT_FALSE(g_app.running);
}

TEST_F(Recovery, AFileLeftBehindIsOfferedThenRestoredWithItsPathOrDiscarded) {
    two_notes_kept();
    ASSERT_TRUE(scene_save(to_str(folder / "song.scene")));
    frames();
    tap(KEY_SPACE);
    seconds(31);
    std::string three = encoded();
    restart_after_a_crash();
    ASSERT_TRUE(question());
    EXPECT_EQ(question()->restore, 1);
    std::string text = to_string(question()->text);
    EXPECT_NE(text.find(folder / "song.scene"), std::string::npos) << text;
    EXPECT_NE(text.find("2026-12-06 18:00:00"), std::string::npos) << text;
    EXPECT_EQ(g_piece.notes.count, 0);
    answer("restore");
    EXPECT_EQ(question(), nullptr);
    EXPECT_EQ(encoded(), three);
    EXPECT_EQ(to_string(g_piece.path), folder / "song.scene");
    EXPECT_EQ(g_piece.modified, 1);  // the file on disk has two notes only
    EXPECT_TRUE(file_there());
    // The restore is a step: undo gives the empty start back.
    ASSERT_TRUE(history_undo());
    EXPECT_EQ(g_piece.notes.count, 0);

    // Discarded, the file goes and the piece stays as it started.
    restart_after_a_crash();
    answer("discard");
    EXPECT_EQ(question(), nullptr);
    EXPECT_FALSE(file_there());
    EXPECT_EQ(g_piece.notes.count, 0);
    EXPECT_EQ(g_piece.modified, 0);
}

TEST_F(Recovery, TheQuestionWaitsForItsAnswerAndEscapeLeavesTheFileForTheNextStart) {
    two_notes_kept();
    std::string kept = read_file();
    restart_after_a_crash();
    ASSERT_TRUE(question());
    // Nothing is placed behind the question.
    tap(KEY_TAB);
    tap(KEY_SPACE);
    EXPECT_EQ(g_editor.place_mode, 0);
    EXPECT_EQ(piece_object_total(&g_piece), 0);
    // Escape closes it unanswered; work goes on and the earlier file is not written over.
    tap(KEY_ESCAPE);
    frames();
    EXPECT_EQ(question(), nullptr);
    EXPECT_TRUE(g_app.running);
    tap(KEY_TAB);
    tap(KEY_SPACE);
    seconds(31);
    EXPECT_EQ(read_file(), kept);
    // Quitting keeps it for the next start.
    restart();
    EXPECT_EQ(read_file(), kept);
    ASSERT_TRUE(question());
    // A save question asked meanwhile is a panel of its own, on top: Escape cancels it,
    // then Return answers the recovery question with "restore".
    save_question_open(1);
    EXPECT_EQ(panels_of_kind(PANEL_QUESTION), 2);
    tap(KEY_ESCAPE);
    frames();
    ASSERT_TRUE(question());
    EXPECT_EQ(question()->restore, 1);
    tap(KEY_RETURN);
    frames();
    EXPECT_EQ(question(), nullptr);
    EXPECT_EQ(g_piece.notes.count, 2);
    EXPECT_TRUE(g_app.running);
}

TEST_F(Recovery, ADamagedFileIsNotOfferedAndNoFolderMeansNoFile) {
    write_file("sorvane recovery 1\nnow\n\nnot a scene");
    restart();
    EXPECT_EQ(question(), nullptr);
    write_file("something else entirely");
    restart();
    EXPECT_EQ(question(), nullptr);
    // Without a state folder nothing is written.
    restart(false);
    std::remove(file().c_str());
    tap(KEY_TAB);
    tap(KEY_SPACE);
    seconds(31);
    EXPECT_EQ(recovery_path().length, 0);
    EXPECT_FALSE(file_there());
}
