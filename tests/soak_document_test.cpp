// A long session: 1000 cycles of open, edit, save and new on a piece of 10 000 notes, with
// the program's own pool sizes (64 MiB main, 32 MiB tmp). Edits that only move, re-pitch,
// add and delete notes or open and close time leave the main pool where the first cycle
// left it: the lists keep their storage across open and new. Edits that give a curve new
// points take fresh main-pool storage every cycle (blocks are never freed one by one), so
// there the main pool fills; when it is full the edit is refused, the program says so once,
// and nothing of the piece or of its file is lost.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "piece/document.h"
#include "piece/scene.h"
#include "piece_support.h"
#include "platform/headless.h"
#include "test_support.h"

struct Soak : testing::Test {
    std::string folder;
    void SetUp() override {
        headless_reset();
        piece_reset();
        struct stat status;
        // A memory file system keeps the thousand syncs cheap when there is one.
        bool shm = stat("/dev/shm", &status) == 0 && S_ISDIR(status.st_mode);
        std::string name = std::string(shm ? "/dev/shm" : "/tmp") + "/sorvane_soak_XXXXXX";
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        folder = name;
    }
    void TearDown() override {
        std::string command = "rm -rf '" + folder + "'";
        EXPECT_EQ(system(command.c_str()), 0);
        piece_reset();
    }
};

static std::vector<u8> encoded() {
    Str bytes = scene_encode(&g_piece, POOL_TMP);
    return std::vector<u8>(bytes.data, bytes.data + bytes.length);
}

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

static i64 note_with_id(i64 id) {
    for (i64 i = 0; i < g_piece.notes.count; i += 1)
        if (g_piece.notes[i].header.id == id) return i;
    return -1;
}

TEST_F(Soak, ThousandCyclesOfOpenEditSaveAndNewKeepTheMainPoolWhereTheFirstLeftIt) {
    ScopedPools pools(64 << 20, 32 << 20);
    piece_large(10000);
    std::string path = folder + "/long.scene";
    ASSERT_TRUE(scene_save(to_str(path)));
    piece_new();
    const i64 notes = 10000;

    i64 main_after_first = 0, main_highest = 0, tmp_highest = 0;
    i64 added_id = -1;
    std::vector<u8> saved;
    for (i32 cycle = 0; cycle < 1000; cycle += 1) {
        pool_empty(POOL_TMP);  // a new frame
        ASSERT_TRUE(piece_open(to_str(path))) << "cycle " << cycle;
        ASSERT_EQ(g_piece.notes.count, notes) << "cycle " << cycle;
        if (cycle > 0) ASSERT_GE(note_with_id(added_id), 0) << "the last cycle's note is gone";
        if (!saved.empty()) ASSERT_EQ(encoded(), saved) << "cycle " << cycle;

        // Edits as the editor makes them: a note placed, the last cycle's note deleted, one
        // moved and re-pitched, time opened and closed again before the end.
        NoteObject placed = g_piece.notes[cycle % notes];
        placed.header.time = frac(cycle, 3);
        ObjectHeader* added = piece_object_add(&g_piece, &placed.header);
        ASSERT_NE(added, nullptr);
        i64 removed = cycle > 0 ? note_with_id(added_id) : 0;
        added_id = added->id;
        array_remove(&g_piece.notes, removed);
        NoteObject* moved = &g_piece.notes[(cycle * 7919) % (notes - 1)];
        moved->header.time = fraction_add(moved->header.time, frac(1, 8));
        moved->header.pitch = frac(3 + cycle % 4, 2);
        piece_time_insert(&g_piece, frac(cycle % 50), frac(1, 4));
        piece_time_remove(&g_piece, frac(cycle % 50), frac(1, 4));
        g_piece.modified = 1;

        saved = encoded();
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

TEST_F(Soak, CurveEditsFillTheMainPoolUntilRefusedAndNothingIsLost) {
    // A main pool a quarter of the program's: the same behaviour, four times sooner.
    ScopedPools pools(16 << 20, 32 << 20);
    piece_large(10000);
    std::string path = folder + "/curves.scene";
    ASSERT_TRUE(scene_save(to_str(path)));
    piece_new();

    testing::internal::CaptureStdout();
    i64 cycles = 0, refused_at = -1, growth = 0;
    std::vector<u8> saved;
    for (; cycles < 100000 && refused_at < 0; cycles += 1) {
        pool_empty(POOL_TMP);
        i64 before = g_pools[POOL_MAIN].used;
        if (!piece_open(to_str(path))) {
            refused_at = cycles;  // the file no longer fits: refused with a message box
            break;
        }
        if (!saved.empty()) ASSERT_EQ(encoded(), saved) << "cycle " << cycles;
        Curve* tempo = &g_piece.tempos[0].tempo;
        i64 points = tempo->points.count;
        i64 at = curve_point_insert_with_handle(tempo, frac(1 + cycles, 100000 + cycles), frac(120),
                                                frac(1, 100));
        g_piece.modified = 1;
        if (at < 0 || tempo->points.count != points + 1) {
            refused_at = cycles;  // the edit was refused: the curve is as it was
            EXPECT_EQ(tempo->points.count, points);
        }
        saved = encoded();
        ASSERT_TRUE(scene_save(to_str(path))) << "cycle " << cycles;
        piece_new();
        if (cycles == 1) growth = g_pools[POOL_MAIN].used - before;
    }
    std::string said = testing::internal::GetCapturedStdout();
    ASSERT_GE(refused_at, 0) << "the main pool never filled";
    EXPECT_GT(growth, 0);
    EXPECT_EQ(said, "main memory is full: an operation was refused\n");  // said once
    printf("curve soak: %lld cycles, the main pool took %lld bytes per curve edit, "
           "refused at cycle %lld\n",
           (long long)cycles, (long long)growth, (long long)refused_at);

    // Nothing lost: the file holds the piece as it was before the refused step, and with a
    // fresh main pool (a restart) it opens whole.
    pool_release(POOL_MAIN);
    ASSERT_TRUE(pool_setup(POOL_MAIN, 64 << 20, false));
    piece_reset();
    pool_empty(POOL_TMP);
    ASSERT_TRUE(piece_open(to_str(path)));
    EXPECT_EQ(encoded(), saved);
    EXPECT_EQ(g_piece.notes.count, 10000);
}
