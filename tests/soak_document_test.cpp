// A long session: 1000 cycles of open, edit, save and new on a piece of 10 000 notes with the
// program's own pool sizes, and a day of curve edits and typing in the running program. The
// main pool grows no more once the first cycles have given every list its storage.
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "app/document.h"
#include "editor/editor.h"
#include "frame_support.h"
#include "model/history.h"
#include "model/scene.h"
#include "panels/object_panels.h"
#include "piece_support.h"
#include "platform/headless.h"
#include "model_support.h"

// A memory file system keeps the thousand syncs cheap when there is one.
static const char* soak_parent() {
    struct stat status;
    return stat("/dev/shm", &status) == 0 && S_ISDIR(status.st_mode) ? "/dev/shm" : "/tmp";
}

struct Soak : testing::Test {
    TempFolder folder{soak_parent()};
    void SetUp() override {
        headless_reset();
        piece_reset();
    }
    void TearDown() override { piece_reset(); }
};

// Every kind of object, a folder tree, then notes up to `notes` in all.
static void piece_large(i64 notes) {
    piece_build_full(&g_piece, POOL_MAIN);
    NoteObject note = {};
    for (i64 i = g_piece.notes.count; i < notes; i += 1) {
        note.header = header_make(OBJECT_NOTE, 100 + i, i % 3 == 0 ? 3 : 0, (u8)(i % 3), frac(i, 4),
                                  frac(1 + i % 4, 8), frac(2 + i % 5, 2));
        array_push(&g_piece.notes, note);
    }
    g_piece.next_object_id = 100 + notes;
}

TEST_F(Soak, ThousandCyclesOfOpenEditSaveAndNewKeepTheMainPoolWhereTheFirstLeftIt) {
    ScopedPools pools(64 << 20, 32 << 20);
    piece_large(10000);
    std::string path = folder / "long.scene";
    ASSERT_TRUE(scene_save(to_str(path)));
    piece_new();
    const i64 notes = 10000;

    i64 main_after_first = 0, main_highest = 0, tmp_highest = 0;
    i64 added_id = -1;
    std::string saved;
    for (i32 cycle = 0; cycle < 1000; cycle += 1) {
        pool_empty(POOL_TMP);  // a new frame
        ASSERT_TRUE(piece_open(to_str(path))) << "cycle " << cycle;
        ASSERT_EQ(g_piece.notes.count, notes) << "cycle " << cycle;
        const ObjectHeader* last = object_find(&g_piece, OBJECT_NOTE, added_id);
        if (cycle > 0) ASSERT_TRUE(last) << "the last cycle's note is gone";
        i64 removed = cycle > 0 ? (const NoteObject*)last - g_piece.notes.data : 0;
        if (!saved.empty()) ASSERT_EQ(scene_bytes(&g_piece), saved) << "cycle " << cycle;

        // Edits as the editor makes them: a note placed, the last cycle's note deleted, one
        // moved and re-pitched, time opened and closed again before the end.
        NoteObject placed = g_piece.notes[cycle % notes];
        placed.header.time = frac(cycle, 3);
        ObjectHeader* added = piece_object_add(&g_piece, &placed.header);
        ASSERT_NE(added, nullptr);
        added_id = added->id;
        array_remove(&g_piece.notes, removed);
        NoteObject* moved = &g_piece.notes[(cycle * 7919) % (notes - 1)];
        moved->header.time = fraction_add(moved->header.time, frac(1, 8));
        moved->header.pitch = frac(3 + cycle % 4, 2);
        piece_time_insert(&g_piece, frac(cycle % 50), frac(1, 4));
        piece_time_remove(&g_piece, frac(cycle % 50), frac(1, 4));
        g_piece.modified = 1;

        saved = scene_bytes(&g_piece);
        ASSERT_TRUE(scene_save(to_str(path))) << "cycle " << cycle;
        EXPECT_EQ(g_piece.modified, 0);
        tmp_highest = std::max(tmp_highest, g_pools[POOL_TMP].used);
        piece_new();
        ASSERT_EQ(piece_object_total(&g_piece), 0);
        if (cycle == 0) main_after_first = g_pools[POOL_MAIN].used;
        main_highest = std::max(main_highest, g_pools[POOL_MAIN].used);
    }
    EXPECT_EQ(main_highest, main_after_first);
    EXPECT_LT(main_highest, g_pools[POOL_MAIN].capacity / 4);
    EXPECT_LT(tmp_highest, g_pools[POOL_TMP].capacity / 4);
    EXPECT_EQ(headless_message_count(), 0);
    printf("soak: main pool %.1f MiB after the first cycle and after the last; tmp peak %.1f MiB\n",
           main_highest / 1048576.0, tmp_highest / 1048576.0);
}

// A day in the running program: 20 000 curve edits (a point put in and one taken out, as
// v and Delete do, every fiftieth edit undone and redone) while 100 000 keystrokes go
// into a text object's panel, the text selected and typed over every hundred characters.
// Every edit reuses the storage of an earlier one: after the first hundred edits the main
// pool grows no more, and nothing is refused.
struct SoakSession : InterfaceTest {};

TEST_F(SoakSession, CurveEditsAndTypingInAPanelKeepTheMainPoolWhereTheFirstHundredLeftIt) {
    frames();
    i64 tempo_id = piece_object_add(&g_piece, editor_template(OBJECT_TEMPO))->id;
    i64 text_id = piece_object_add(&g_piece, editor_template(OBJECT_TEXT))->id;
    Panel* panel = object_panel_open(OBJECT_TEXT, text_id);
    ASSERT_NE(panel, nullptr);
    u64 panel_id = panel->id;
    frames();
    TextField* field = &((ObjectPanelContent*)panel_find(panel_id)->content)->fields[0];
    field->focused = 1;

    testing::internal::CaptureStdout();
    const i64 edits = 20000, per_frame = 5;
    const char* typed = "the quick brown fox jumps";  // 25 keystrokes a frame
    i64 frame = 0;
    i64 main_after[3] = {};
    for (i64 edit = 0; edit < edits; edit += per_frame, frame += 1) {
        for (i64 k = edit; k < edit + per_frame; k += 1) {
            Curve* tempo = &((TempoObject*)object_find(&g_piece, OBJECT_TEMPO, tempo_id))->tempo;
            if (k % 2 == 1) array_remove(&tempo->points, tempo->points.count - 1);
            else if (curve_point_insert_with_handle(tempo, frac(k + 1, 7), frac(90 + k % 60),
                                                    frac(1, 100)) < 0)
                FAIL() << "edit " << k << " refused";
            g_piece.modified = 1;
        }
        if (frame % 4 == 0) {  // select all: the next keys type over it
            headless_key_down(KEY_CONTROL);
            headless_key_tap(KEY_LETTER('a'));
            frames();
            headless_key_up(KEY_CONTROL);
        }
        headless_type_text(str_from_cstring(typed));
        frames();
        if (frame % 10 == 9) {
            ASSERT_TRUE(history_undo());
            frames();
            ASSERT_TRUE(history_redo());
            frames();
        }
        i64 done = edit + per_frame;
        i64 mark = done == 100 ? 0 : done == 1000 ? 1 : done == edits ? 2 : -1;
        if (mark >= 0) main_after[mark] = g_pools[POOL_MAIN].used;
    }
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(said, "");
    EXPECT_EQ(headless_message_count(), 0);
    const TextObject* text = (const TextObject*)object_find(&g_piece, OBJECT_TEXT, text_id);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(to_string(text->text), to_string(text_field_text(field)));
    EXPECT_LE(main_after[1], main_after[0]);
    EXPECT_LE(main_after[2], main_after[0]);
    printf("session soak: main pool %lld bytes after 100 edits, %lld after 1 000, %lld after "
           "20 000 (and 100 000 keystrokes)\n",
           (long long)main_after[0], (long long)main_after[1], (long long)main_after[2]);
}
