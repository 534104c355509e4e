// Opening, saving, the new-piece command, the quit test and the file panel's actions after
// a failed save, on g_piece with real files in a fresh folder and message boxes recorded by
// the headless back end. Saves that fail halfway are save_failure_test's.
#include <sys/stat.h>

#include "app/app.h"
#include "app/document.h"
#include "base/text.h"
#include "model/history.h"
#include "model/scene.h"
#include "piece_support.h"
#include "platform/headless.h"
#include "model_support.h"

using Document = PieceFiles;

TEST_F(Document, FilesThatAreNotScenesAreRefusedAndThePieceKept) {
    piece_build_full(&g_piece, POOL_MAIN);
    g_piece.modified = 1;
    std::string before = scene_bytes(&g_piece);
    std::string previous = path("previous.scene");
    ASSERT_TRUE(scene_save(to_str(previous)));
    g_piece.modified = 1;

    Piece other;
    piece_build_full(&other, POOL_MAIN);
    std::string cut = scene_bytes(&other);
    cut.resize(cut.size() / 2);
    file_put(path("empty.scene"), "");
    file_put(path("cut.scene"), cut);
    // (A text file is refused by the file panel's tests.)
    for (const char* name : {"empty.scene", "cut.scene", "missing.scene"}) {
        std::string bad = path(name);
        EXPECT_FALSE(piece_open(to_str(bad)));
        EXPECT_EQ(last_message(), "invalid file: " + bad + " is not a valid scene file!");
        EXPECT_EQ(scene_bytes(&g_piece), before);
        EXPECT_EQ(g_piece.modified, 1);
        // The path stays on the piece's own file, so a plain save cannot overwrite the
        // file that was refused.
        EXPECT_EQ(to_string(g_piece.path), previous);
    }
    EXPECT_EQ(headless_message_count(), 3);

    file_put(path("newer.scene"), std::string("\xB8\x4E\x40\x02\x01\x00", 6));
    EXPECT_FALSE(piece_open(to_str(path("newer.scene"))));
    EXPECT_EQ(last_message(), "incompatible version: " + path("newer.scene") + " is not compatible!");
    EXPECT_EQ(scene_bytes(&g_piece), before);
}

TEST_F(Document, SavingWithAPathWritesAtOnceWithoutAPathAsksForOne) {
    piece_build_full(&g_piece, POOL_MAIN);
    g_piece.modified = 1;
    EXPECT_EQ(piece_save(0, 0), 0);  // no path: the panel would ask; nothing written
    EXPECT_EQ(g_piece.modified, 1);
    std::string target = path("song.scene");
    ASSERT_TRUE(scene_save(to_str(target)));
    EXPECT_EQ(to_string(g_piece.path), target);

    g_piece.notes.data[0].header.pitch = frac(5, 4);
    g_piece.modified = 1;
    EXPECT_EQ(piece_save(0, 0), 1);
    EXPECT_EQ(file_text(target), scene_bytes(&g_piece));
    EXPECT_EQ(g_piece.modified, 0);
    EXPECT_EQ(headless_message_count(), 0);

    // A shorter path later reuses the path's storage; a longer one gets its own.
    ASSERT_TRUE(scene_save(to_str(path("s"))));
    EXPECT_EQ(to_string(g_piece.path), path("s"));
    ASSERT_TRUE(scene_save(to_str(path("a much longer name.scene"))));
    EXPECT_EQ(to_string(g_piece.path), path("a much longer name.scene"));
    EXPECT_EQ(file_text(path("s")), file_text(path("a much longer name.scene")));
}

TEST_F(Document, ASaveThatCannotStartIsReportedAndChangesNothing) {
    piece_build_full(&g_piece, POOL_MAIN);
    std::string first = path("first.scene");
    ASSERT_TRUE(scene_save(to_str(first)));
    g_piece.modified = 1;
    std::string nowhere = path("no such folder/song.scene");
    EXPECT_FALSE(scene_save(to_str(nowhere)));
    EXPECT_EQ(last_message(),
              "save failed: " + nowhere + " could not be saved: No such file or directory");
    EXPECT_EQ(g_piece.modified, 1);
    EXPECT_EQ(to_string(g_piece.path), first);

    // A folder where the file should be: the temporary file is written, the rename fails,
    // and the temporary file is gone again.
    std::string taken = path("taken");
    ASSERT_EQ(mkdir(taken.c_str(), 0700), 0);
    std::string inside = taken + "/x";
    file_put(inside, "123");
    EXPECT_FALSE(scene_save(to_str(taken)));
    EXPECT_EQ(last_message().rfind("save failed: " + taken + " could not be saved: ", 0), 0u)
        << last_message();
    EXPECT_FALSE(file_exists(to_str(taken + ".tmp")));
    EXPECT_EQ(file_text(inside).size(), 3u);
    EXPECT_EQ(g_piece.modified, 1);
}

// (That a modified piece is asked about first is the frame tests'.)
TEST_F(Document, NewPieceEmptiesObjectsTreeAndPathButKeepsGroupsSettingsAndStorage) {
    piece_build_full(&g_piece, POOL_MAIN);
    ASSERT_TRUE(scene_save(to_str(path("a.scene"))));
    i64 note_capacity = g_piece.notes.capacity;
    PieceSettings settings = g_piece.settings;
    piece_new();
    EXPECT_EQ(piece_object_total(&g_piece), 0);
    EXPECT_EQ(g_piece.tree.count, 0);
    EXPECT_EQ(g_piece.path.length, 0);
    EXPECT_EQ(g_piece.notes.capacity, note_capacity);  // storage kept
    EXPECT_EQ(g_piece.groups.count, 3);                 // groups stay
    EXPECT_EQ(g_piece.settings.sample_rate, settings.sample_rate);
    EXPECT_EQ(g_piece.next_object_id, 26);
}

TEST_F(Document, TheQuitTestComparesThePieceWithItsFile) {
    history_reset();  // the piece as started
    EXPECT_FALSE(piece_check_unsaved());  // never saved, nothing changed
    auto rate = g_piece.settings.sample_rate;
    g_piece.settings.sample_rate = rate / 2;
    EXPECT_TRUE(piece_check_unsaved());  // a change without objects counts
    g_piece.settings.sample_rate = rate;
    EXPECT_FALSE(piece_check_unsaved());
    NoteObject note = {};
    note.header = header_make(OBJECT_NOTE, 1, 0, SCOPE_GLOBAL, frac(0), frac(1));
    array_push(&g_piece.notes, note);
    EXPECT_TRUE(piece_check_unsaved());
    EXPECT_EQ(g_piece.modified, 1);

    ASSERT_TRUE(scene_save(to_str(path("q.scene"))));
    g_piece.modified = 1;  // set by an edit that was then undone
    EXPECT_FALSE(piece_check_unsaved());
    EXPECT_EQ(g_piece.modified, 0);
    g_piece.notes.data[0].header.time = frac(2, 2);  // the same value, stored differently
    EXPECT_TRUE(piece_check_unsaved());
    g_piece.notes.data[0].header.time = frac(0);
    EXPECT_FALSE(piece_check_unsaved());
    remove(path("q.scene").c_str());
    EXPECT_TRUE(piece_check_unsaved());
    history_release();
}

// The actions that succeed are run through the file panel by its own tests.
TEST_F(Document, ConfirmingThePanelAfterAFailedSaveRunsNoFollowUp) {
    EXPECT_EQ(to_string(document_path(STR("pieces"), STR("song\n"))), "pieces/song");
    EXPECT_EQ(to_string(document_path(STR(""), STR("song"))), "song");
    EXPECT_EQ(to_string(document_path(STR("a/b"), STR("x\n\n"))), "a/b/x\n");

    piece_build_full(&g_piece, POOL_MAIN);
    g_piece.modified = 1;
    g_app.running = true;
    document_confirm(FILE_ACTION_SAVE_THEN_QUIT, to_str(path("missing")), STR("x"));
    EXPECT_TRUE(g_app.running);
    EXPECT_EQ(last_message().rfind("save failed", 0), 0u);
    document_confirm(FILE_ACTION_SAVE_THEN_NEW, to_str(path("missing")), STR("x"));
    EXPECT_EQ(piece_object_total(&g_piece), 20);
}

// The quit key in a running program: a piece flagged as modified but identical to its file
// lets the program end without asking.
TEST(DocumentQuit, TheQuitKeyComparesThePieceWithItsFile) {
    headless_reset();
    app_state_reset();
    ASSERT_TRUE(app_startup());
    NoteObject note = {};
    note.header = header_make(OBJECT_NOTE, 1, 0, SCOPE_GLOBAL, frac(0), frac(1));
    array_push(&g_piece.notes, note);
    TempFolder folder;
    ASSERT_TRUE(scene_save(to_str(folder / "quit.scene")));
    g_piece.modified = 1;
    headless_key_tap(KEY_ESCAPE);
    app_frame();
    EXPECT_EQ(g_piece.modified, 0);
    EXPECT_FALSE(g_app.running);
    app_shutdown();
}
