// Transposition by a ratio in whole frames: t in select mode opens the "transpose" entry on
// the selection, ok multiplies every selected object's pitch exactly (a mixed selection of
// kinds), objects that were not selected or went away meanwhile are left alone, ratios
// that are not above zero change nothing, and the change is one undo step.
#include <string>

#include "editor/editor.h"
#include "frame_support.h"
#include "model/history.h"
#include "model/scene.h"
#include "panels/entry_panels.h"
#include "panels/object_panels.h"
#include "piece_support.h"

struct Transpose : InterfaceTest {
    void SetUp() override {
        InterfaceTest::SetUp();
        frames();
    }
    static Panel* entry_panel() { return panel_of_kind(PANEL_FRACTION); }
    static i64 add(u8 kind, Fraction pitch, bool selected) {
        alignas(16) u8 record[OBJECT_MAX_SIZE] = {};
        ObjectHeader* header = (ObjectHeader*)record;
        *header = header_make(kind, 0, g_piece.groups[0].id, SCOPE_GLOBAL, frac(0), frac(1), pitch);
        header->visible = 1;
        ObjectHeader* added = piece_object_add(&g_piece, header);
        EXPECT_TRUE(added);
        added->selected = selected ? 1 : 0;
        return added->id;
    }
    static Fraction pitch_of(u8 kind, i64 id) { return object_find(&g_piece, kind, id)->pitch; }
    // The entry's field gets the text in place of its own, then Return confirms it.
    void enter(const char* text) {
        frames();
        Panel* p = entry_panel();
        ASSERT_TRUE(p);
        TextField* field = fraction_entry_field(p);
        ASSERT_TRUE(field);
        ASSERT_EQ(to_string(text_field_text(field)), "1");  // the ratio starts at 1
        headless_type_text(str_from_cstring(text));  // replaces the selected "1"
        frames();
        tap(KEY_RETURN);
        frames();
    }
};

static bool exactly(Fraction value, i64 numerator, i64 denominator) {
    Fraction reduced = fraction_normalize(value);
    return reduced.numerator == numerator && reduced.denominator == denominator;
}

TEST_F(Transpose, OkMultipliesWhatWasSelectedOfEveryKindExactlyAsOneUndoStep) {
    i64 note = add(OBJECT_NOTE, frac(5, 4), true);
    i64 other_note = add(OBJECT_NOTE, frac(9, 8), false);
    i64 gone = add(OBJECT_NOTE, frac(3, 2), true);
    i64 key = add(OBJECT_KEY, frac(1, 8), true);
    i64 tempo = add(OBJECT_TEMPO, frac(5, 3), true);
    i64 text = add(OBJECT_TEXT, frac(7, 4), true);
    frames();
    tap(KEY_LETTER('t'));
    Panel* p = entry_panel();
    ASSERT_TRUE(p);
    EXPECT_EQ(to_string(((FractionEntryContent*)p->content)->label), "transpose");
    // Meanwhile the selection changes, a selected note is deleted (as delete in select mode
    // would) and the lists grow: what was selected at t and is still there counts.
    object_find(&g_piece, OBJECT_NOTE, other_note)->selected = 1;
    object_find(&g_piece, OBJECT_NOTE, note)->selected = 0;
    array_remove(&g_piece.notes, 2);
    for (i32 i = 0; i < 40; i += 1) add(OBJECT_NOTE, frac(2), false);
    Str before = str_copy(POOL_MAIN, scene_encode(&g_piece, POOL_TMP));
    g_piece.modified = 1;
    mouse_to(5, 5);  // input in a modified frame: these changes become a step of their own
    frames();
    g_piece.modified = 0;
    enter("3/2");
    EXPECT_EQ(entry_panel(), nullptr);
    EXPECT_TRUE(exactly(pitch_of(OBJECT_NOTE, note), 15, 8));
    EXPECT_TRUE(exactly(pitch_of(OBJECT_KEY, key), 3, 16));
    EXPECT_TRUE(exactly(pitch_of(OBJECT_TEMPO, tempo), 5, 2));
    EXPECT_TRUE(exactly(pitch_of(OBJECT_TEXT, text), 21, 8));
    EXPECT_TRUE(exactly(pitch_of(OBJECT_NOTE, other_note), 9, 8));
    EXPECT_EQ(object_find(&g_piece, OBJECT_NOTE, gone), nullptr);
    for (i64 i = 2; i < g_piece.notes.count; i += 1)
        EXPECT_TRUE(exactly(g_piece.notes[i].header.pitch, 2, 1));
    EXPECT_EQ(g_piece.modified, 1);
    ASSERT_TRUE(history_undo());
    EXPECT_EQ(to_string(scene_encode(&g_piece, POOL_TMP)), to_string(before));
}

// Refused in the entry: it stays open with its field marked, and the piece is untouched.
TEST_F(Transpose, ARatioOfZeroOrBelowOrNonsenseChangesNothingAndTWantsASelectionToAct) {
    i64 note = add(OBJECT_NOTE, frac(5, 4), false);
    frames();
    tap(KEY_LETTER('t'));
    EXPECT_EQ(entry_panel(), nullptr);
    g_piece.notes[0].header.selected = 1;
    Str before = scene_encode(&g_piece, POOL_MAIN);
    for (const char* ratio : {"0", "-3/2", "3/-2", "-2/-1", "abc", "1/0"}) {
        tap(KEY_LETTER('t'));
        enter(ratio);
        ASSERT_NE(entry_panel(), nullptr) << ratio;
        EXPECT_EQ(marked_fields(), 1u) << ratio;
        EXPECT_TRUE(exactly(pitch_of(OBJECT_NOTE, note), 5, 4)) << ratio;
        EXPECT_EQ(g_piece.modified, 0) << ratio;
        g_panels.panels.count = 0;
        frames();
    }
    EXPECT_EQ(to_string(scene_encode(&g_piece, POOL_TMP)), to_string(before));
    tap(KEY_LETTER('t'));
    enter("2");
    EXPECT_EQ(entry_panel(), nullptr);
    EXPECT_TRUE(exactly(pitch_of(OBJECT_NOTE, note), 5, 2));
    tap(KEY_TAB);  // place mode ignores t
    tap(KEY_LETTER('t'));
    EXPECT_EQ(entry_panel(), nullptr);
}
