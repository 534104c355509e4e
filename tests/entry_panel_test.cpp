// The fraction entry opened by the editor's f, g and h, what its "ok" and Return write and
// where, entries whose object went away, and a file opened through the browser closing
// every panel bound to the piece it replaced.
#include <string>

#include "app/document.h"
#include "frame_support.h"
#include "model/scene.h"
#include "panels/entry_panels.h"
#include "panels/file_panel.h"
#include "panels/object_panels.h"
#include "piece_support.h"

struct FractionEntry : InterfaceTest {
    static Panel* entry_panel() { return panel_of_kind(PANEL_FRACTION); }
    static i64 add_note(Fraction time, Fraction duration) {
        NoteObject note = {};
        note.header = header_make(OBJECT_NOTE, 0, 0, SCOPE_LOCAL, time, duration, frac(1));
        ObjectHeader* added = piece_object_add(&g_piece, &note.header);
        return added ? added->id : -1;
    }
    static ObjectHeader* note_by_id(i64 id) { return object_find(&g_piece, OBJECT_NOTE, id); }
    void type_into_field(const char* text) {
        const TextField* field = fraction_entry_field(entry_panel());
        ASSERT_TRUE(field);
        type_over_at(field->x + field->width / 2, field->y + field->height / 2, text);
    }
    // Types the text over the field's and confirms it with Return.
    void enter_into_field(const char* text) {
        type_into_field(text);
        tap(KEY_RETURN);
    }
};

static Str field_text_of(const Panel* panel) {
    const TextField* field = fraction_entry_field(panel);
    return field ? text_field_text(field) : STR("(no field)");
}

// Each field opens with its value's display form. Written into the object found by id,
// though its list moved meanwhile; nothing is written once the object is gone, even where
// another one takes its place in the list.
TEST_F(FractionEntry, EachEntryKeepsItsTextAndOkWritesIntoTheObjectFoundByIdWhileItLasts) {
    i64 a = add_note(frac(3, 4), frac(1));
    i64 b = add_note(frac(1), frac(2));
    frames();
    fraction_entry_open(STR("time"), fraction_binding_object(OBJECT_NOTE, a, FRACTION_FIELD_TIME));
    fraction_entry_open(STR("duration"),
                        fraction_binding_object(OBJECT_NOTE, b, FRACTION_FIELD_DURATION));
    frames();
    ASSERT_EQ(g_panels.panels.count, 2);
    EXPECT_EQ(to_string(field_text_of(&g_panels.panels[0])), "3/4");
    EXPECT_EQ(to_string(field_text_of(&g_panels.panels[1])), "2");
    // Entries opened one after the other reuse the place of those closed before them, so
    // opening and closing entries all day takes no more memory.
    const TextField* first = fraction_entry_field(&g_panels.panels[0]);
    ASSERT_NE(first, nullptr);
    for (int i = 0; i < 20; i += 1) {
        g_panels.panels.count = 0;
        fraction_entry_open(STR("time"),
                            fraction_binding_object(OBJECT_NOTE, a, FRACTION_FIELD_TIME));
        frames();
        ASSERT_EQ(fraction_entry_field(entry_panel()), first);
    }
    EXPECT_EQ(to_string(field_text_of(entry_panel())), "3/4");

    type_into_field("5/3");
    for (int i = 0; i < 50; i += 1) add_note(frac(9), frac(1));
    g_piece.modified = 0;
    ASSERT_TRUE(click_label("ok"));
    EXPECT_TRUE(same(note_by_id(a)->time, frac(5, 3)));
    EXPECT_TRUE(same(note_by_id(b)->time, frac(1)));
    EXPECT_EQ(g_piece.modified, 1);
    frames();
    EXPECT_EQ(entry_panel(), nullptr);

    fraction_entry_open(STR("pitch"),
                        fraction_binding_object(OBJECT_NOTE, b, FRACTION_FIELD_PITCH));
    frames();
    type_into_field("7/4");
    array_remove(&g_piece.notes, 1);
    frames(2);
    EXPECT_EQ(entry_panel(), nullptr);
    EXPECT_TRUE(same(g_piece.notes[1].header.pitch, frac(1)));
}

// Return on a value that cannot be right leaves the entry open, its field in the error
// colour and still holding the keyboard; nothing is written until a value that can be.
TEST_F(FractionEntry, ValuesThatCannotBeRightStayInTheMarkedFieldAndAreNotWritten) {
    i64 id = add_note(frac(1), frac(1));
    frames();
    struct Case {
        u8 field;
        const char* typed;
    };
    const Case cases[] = {{FRACTION_FIELD_PITCH, "0"}, {FRACTION_FIELD_DURATION, "-1"},
                          {FRACTION_FIELD_TIME, "1/0"}, {FRACTION_FIELD_TIME, "1/-2"}};
    for (const Case& c : cases) {
        FractionBinding binding = fraction_binding_object(OBJECT_NOTE, id, c.field);
        fraction_entry_open(STR("value"), binding);
        frames();
        enter_into_field(c.typed);
        ASSERT_NE(entry_panel(), nullptr) << c.typed;
        EXPECT_TRUE(fraction_entry_field(entry_panel())->focused) << c.typed;
        EXPECT_EQ(marked_fields(), 1u) << c.typed;
        EXPECT_TRUE(same(*fraction_binding_target(&binding), frac(1))) << c.typed;
        EXPECT_EQ(g_piece.modified, 0) << c.typed;
        g_panels.panels.count = 0;
        frames();
    }
    // The editor's own values are checked alike, and a right value goes through.
    fraction_entry_open(STR("pitch"),
                        fraction_binding_value(&g_editor.cursor_pitch, FRACTION_FIELD_PITCH));
    frames();
    enter_into_field("0/1");
    EXPECT_TRUE(same(g_editor.cursor_pitch, frac(1)));
    type_into_field("3/2");
    EXPECT_TRUE(marked_fields() == 0);  // the text changed
    headless_key_tap(KEY_RETURN);
    frames(2);
    EXPECT_EQ(entry_panel(), nullptr);
    EXPECT_TRUE(same(g_editor.cursor_pitch, frac(3, 2)));
    EXPECT_EQ(g_piece.modified, 0);  // the editor's own value is not part of the piece
}

// ---------------------------------------------------------------------------
// A file replacing the piece
// ---------------------------------------------------------------------------
TEST_F(FractionEntry, OpeningAFileClosesEveryPanelBoundToTheOldPiece) {
    TempFolder temp;
    std::string folder = temp.path;

    // The file's measure has the id of the old piece's measure, and a different colour.
    MeasureObject measure = {};
    measure.header = header_make(OBJECT_MEASURE, 0, 0, SCOPE_GLOBAL, frac(0), frac(4));
    measure.bar_color[0] = 0.5f;
    measure.bar_color[3] = 1;
    ObjectHeader* added = piece_object_add(&g_piece, &measure.header);
    ASSERT_NE(added, nullptr);
    i64 id = added->id;
    i64 note = add_note(frac(6), frac(1));
    ASSERT_TRUE(scene_save(to_str(folder + "/new.scene")));
    const f32 background[4] = {g_piece.settings.background[0], g_piece.settings.background[1],
                               g_piece.settings.background[2], g_piece.settings.background[3]};
    ((MeasureObject*)object_find(&g_piece, OBJECT_MEASURE, id))->bar_color[0] = 0.25f;
    g_piece.path.length = 0;
    frames();

    // The browser first, then the panels on top of it (clear of its buttons).
    file_panel_open(STR("open piece"), FILE_ACTION_OPEN);
    u64 browser_id = g_panels.panels[g_panels.panels.count - 1].id;
    FilePanelState* state = (FilePanelState*)panel_find(browser_id)->content;
    file_panel_list(state, to_str(folder));
    text_field_set_text(&state->name_field, STR("new.scene"));
    ASSERT_NE(color_picker_open(color_binding_object(OBJECT_MEASURE, id, 0)), nullptr);
    ASSERT_NE(color_picker_open(color_binding_background()), nullptr);
    ASSERT_NE(fraction_entry_open(STR("time"), fraction_binding_object(OBJECT_NOTE, note,
                                                                       FRACTION_FIELD_TIME)),
              nullptr);
    ASSERT_NE(fraction_entry_open(STR("time"), fraction_binding_value(&g_editor.cursor_time, FRACTION_FIELD_TIME)),
              nullptr);
    ASSERT_NE(object_panel_open(OBJECT_MEASURE, id), nullptr);
    frames();
    // Both pickers are mid-drag (a press in a picker, released over the browser's "ok"):
    // drawn after the browser, they must not paint the piece that replaced theirs.
    for (i64 i = 0; i < g_panels.panels.count; i += 1)
        if (g_panels.panels[i].kind == PANEL_COLOR_PICKER)
            ((ColorPickerContent*)g_panels.panels[i].content)->picker.dragging_field = 1;
    ASSERT_TRUE(click_label("ok"));  // the browser's, drawn first
    EXPECT_EQ(((MeasureObject*)object_find(&g_piece, OBJECT_MEASURE, id))->bar_color[0], 0.5f);
    EXPECT_TRUE(same_color(g_piece.settings.background, background));
    frames();
    ASSERT_EQ(g_panels.panels.count, 1);  // the cursor's entry stays
    EXPECT_EQ(g_panels.panels[0].kind, PANEL_FRACTION);
    EXPECT_EQ(((FractionEntryContent*)g_panels.panels[0].content)->binding.editor_value,
              &g_editor.cursor_time);
}
