// The editor driven through whole frames with scripted keys and mouse: placing objects with
// the cursor, the selected duration, click, box and overlap selection, the per-object
// commands, duplication, deletion, time insertion and removal, the wheel highlight,
// auditions and the panels that key 42, g and h open.
#include "editor/object_commands.h"
#include "editor_support.h"
#include "panels/entry_panels.h"
#include "panels/object_panels.h"
#include "sound/audio_output.h"
#include "ui/panels.h"

struct Editor : ProgramTest {
    static KeyObject* key(const char* name, Fraction time, Fraction duration) {
        KeyObject record = {};
        record.header = header_make(OBJECT_KEY, g_piece.next_object_id++, 0, SCOPE_GLOBAL, time,
                                    duration, frac(1));
        record.key_name = str_from_cstring(name);
        const KeyDefinition* definition = key_by_name(record.key_name);
        if (definition) record.pitches = definition->pitches;
        return array_push(&g_piece.keys, record);
    }
    static std::vector<i64> selected_notes() {
        std::vector<i64> indices;
        for (i64 i = 0; i < g_piece.notes.count; i += 1)
            if (g_piece.notes[i].header.selected) indices.push_back(i);
        return indices;
    }
    // The keys tapped one after the other within a single frame, as a slow frame sees them.
    static void taps_in_one_frame(std::initializer_list<i32> codes) {
        for (i32 code : codes) headless_key_tap(code);
        app_frame();
    }
};

using std::vector;

TEST_F(Editor, PlaceModeStepsTheCursorThroughTheKeyAndPlacesAuditionedNotes) {
    tap(KEY_TAB);
    // A key object four beats long, placed with control so that the cursor stays at 0.
    letter('m');
    tap(KEY_DIGIT(1));
    tap_with(KEY_CONTROL, KEY_SPACE);
    ASSERT_EQ(g_piece.keys.count, 1);

    letter('n');
    tap(KEY_DIGIT(3));
    EXPECT_FALSE(headless_audio_is_playing());
    tap(KEY_SPACE);
    ASSERT_EQ(g_piece.notes.count, 1);
    EXPECT_NE(g_piece.notes[0].header.id, g_piece.keys[0].header.id);
    // The new note was auditioned: a quarter-second preview is playing.
    EXPECT_TRUE(headless_audio_is_playing());
    EXPECT_EQ(g_audio.slot_length, (i64)(44100 * 0.25 + 1) * 2);

    // The next note sits at the cursor's pitch: re, then the key's chromatic step below it.
    letter('i');
    tap_with(KEY_CONTROL, KEY_LETTER('k'));
    tap(KEY_SPACE);
    ASSERT_EQ(g_piece.notes.count, 2);
    EXPECT_TRUE(same(g_piece.notes[1].header.time, frac(1)));
    EXPECT_TRUE(same(g_piece.notes[1].header.pitch, frac(16, 15)));
    // Past the key's end there is no scale, not even the one a new key would bring.
    tap(KEY_DIGIT(1));
    letter('l');
    letter('i');
    EXPECT_TRUE(same(g_editor.cursor_pitch, frac(32, 15)));
}

TEST_F(Editor, EveryKeyPressOfASlowFrameActsOnceInTheOrderPressedOrGoesToTheEntryItOpened) {
    const i32 i = KEY_LETTER('i'), j = KEY_LETTER('j'), l = KEY_LETTER('l');
    tap(KEY_TAB);
    // The same keys in another order give another piece: moves, durations and placing
    // follow one another as typed, a key pressed twice acting twice.
    taps_in_one_frame({KEY_DIGIT(3), l, l, KEY_SPACE, KEY_DIGIT(4), j, KEY_SPACE});
    taps_in_one_frame({j, KEY_SPACE, KEY_DIGIT(3), l, l, KEY_SPACE});
    ASSERT_EQ(g_piece.notes.count, 4);
    const Fraction times[] = {frac(2), frac(5, 2), frac(5, 2), frac(5)};
    const Fraction durations[] = {frac(1), frac(1, 2), frac(1, 2), frac(1)};
    for (i64 n = 0; n < 4; n += 1) {
        EXPECT_TRUE(same(g_piece.notes[n].header.time, times[n])) << n;
        EXPECT_TRUE(same(g_piece.notes[n].header.duration, durations[n])) << n;
    }
    // Control counts as it was at each press: held for the first space only.
    headless_key_down(KEY_CONTROL);
    headless_key_tap(KEY_SPACE);
    headless_key_up(KEY_CONTROL);
    taps_in_one_frame({KEY_SPACE});
    ASSERT_EQ(g_piece.notes.count, 6);
    EXPECT_TRUE(same(g_piece.notes[4].header.time, frac(6)));
    EXPECT_TRUE(same(g_piece.notes[5].header.time, frac(6)));
    EXPECT_TRUE(same(g_editor.cursor_time, frac(7)));

    // What is typed after a key that opens an entry goes to the entry: h, then 16 and
    // Return, all within one slow frame.
    headless_key_tap(KEY_LETTER('h'));
    headless_key_tap(KEY_DIGIT(1));
    headless_type_text(STR("1"));
    headless_key_tap(KEY_DIGIT(6));
    headless_type_text(STR("6"));
    headless_key_tap(KEY_RETURN);
    frames(3);
    EXPECT_TRUE(same(g_editor.selected_duration, frac(16)));
    EXPECT_EQ(panels_of_kind(PANEL_FRACTION), 0);

    // In select mode the selection takes every press as well: l l j moves one step.
    tap(KEY_TAB);
    for (i64 n = 0; n < g_piece.notes.count; n += 1) g_piece.notes[n].header.selected = n == 0;
    taps_in_one_frame({l, l, j, i, i});
    EXPECT_TRUE(same(g_piece.notes[0].header.time, frac(18)));
    Fraction two_up = g_piece.notes[1].header.pitch;
    for (i32 n = 0; n < 2; n += 1)
        two_up = pitch_step(&g_piece, two_up, frac(18), 0, 1, false, false);
    EXPECT_TRUE(same(g_piece.notes[0].header.pitch, two_up));
}

TEST_F(Editor, TheCursorMovesSnapsAndPlacesEveryKindFromItsTemplate) {
    tap(KEY_TAB);
    tap(KEY_DIGIT(3));
    tap(KEY_DIGIT(6));  // 1/3
    letter('l');
    tap(KEY_DIGIT(4));
    letter('u');  // 1/3 to the nearest half: 1/2
    EXPECT_TRUE(same(g_editor.cursor_time, frac(1, 2)));
    tap(KEY_DIGIT(0));
    letter('u');  // a zero grid leaves the time alone
    EXPECT_TRUE(same(g_editor.cursor_time, frac(1, 2)));
    tap(KEY_DIGIT(3));

    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        g_editor.place_kind = kind;
        tap_with(KEY_CONTROL, KEY_SPACE);
        ObjectList list = piece_objects(&g_piece, kind);
        ASSERT_EQ(list.count, 1) << (int)kind;
        const ObjectHeader* placed = object_list_get(list, 0);
        EXPECT_TRUE(same(placed->time, frac(1, 2)));
        EXPECT_TRUE(same(placed->duration, frac(1)));
        bool local = kind == OBJECT_SOUND || kind == OBJECT_SHAPE || kind == OBJECT_VOLUME ||
                     kind == OBJECT_PITCH;
        EXPECT_EQ(placed->scope, local ? SCOPE_LOCAL : SCOPE_GLOBAL) << (int)kind;
    }
    EXPECT_TRUE(same(g_editor.cursor_time, frac(1, 2)));
    ASSERT_EQ(g_piece.tempos[0].tempo.points.count, 1);
    EXPECT_TRUE(same(g_piece.tempos[0].tempo.points[0].out_x, frac(1)));  // zoom 10: handle 1
    // A placed curve owns its points: editing it leaves the template alone.
    EXPECT_NE(g_piece.tempos[0].tempo.points.data, g_editor.tempo_template.tempo.points.data);
    EXPECT_EQ(g_piece.pitches[0].pitch.resolution, 1000);
    EXPECT_EQ(to_string(g_piece.texts[0].text), "text");

    // n and m walk the kinds round.
    g_editor.place_kind = 0;
    letter('n');
    EXPECT_EQ(g_editor.place_kind, 9);
    letter('m');
    EXPECT_EQ(g_editor.place_kind, 0);
}

TEST_F(Editor, DigitKeysSetScaleAndReturnTheSelectedDurationExactly) {
    // Each digit, with control or not, and the duration after it, starting from 1.
    const struct {
        bool control;
        i32 digit;
        Fraction duration;
    } presses[] = {{0, 5, frac(1, 4)},  {1, 1, frac(17, 4)},  {0, 6, frac(17, 12)},
                   {0, 7, frac(17, 4)}, {1, 6, frac(17, 6)},  {0, 8, frac(17, 12)},
                   {0, 9, frac(17, 6)}, {0, 9, frac(17, 3)},  {0, 2, frac(2)},
                   {1, 4, frac(5, 2)},  {1, 0, frac(5, 2)},  // zero takes no control
                   {0, 0, frac(0)}};
    for (const auto& press : presses) {
        if (press.control) tap_with(KEY_CONTROL, KEY_DIGIT(press.digit));
        else tap(KEY_DIGIT(press.digit));
        EXPECT_TRUE(same(g_editor.selected_duration, press.duration)) << press.digit;
    }
}

TEST_F(Editor, ClicksAndBoxesSelectVisibleNotesOnTheirRowsAndOverlapFindsStackedOnes) {
    note(frac(0), frac(1), frac(1));
    note(frac(2), frac(1), frac(1));
    note(frac(4), frac(1), frac(3, 2));
    canvas_click_at(0.5f, 0.2f);
    EXPECT_EQ(selected_notes(), vector<i64>({0}));
    canvas_click_at(-5.0f, -5.0f);  // an empty spot deselects everything
    EXPECT_TRUE(selected_notes().empty());
    canvas_click_at(0.5f, 0.2f);
    canvas_control_click_at(2.5f, -0.4f);
    EXPECT_EQ(selected_notes(), vector<i64>({0, 1}));
    canvas_control_click_at(0.9f, 0.0f);  // toggles only that one
    EXPECT_EQ(selected_notes(), vector<i64>({1}));
    canvas_click_at(4.5f, 4.7f);  // 3/2 sits on row 4.68
    EXPECT_EQ(selected_notes(), vector<i64>({2}));
    canvas_click_at(5.05f, 4.7f);  // just right of it
    EXPECT_TRUE(selected_notes().empty());

    canvas_to(-1.0f, -1.0f);
    letter('b');
    EXPECT_EQ(g_editor.box_armed, 1);
    // The press that closes the box over note 1 does not toggle it out again.
    canvas_click_at(2.5f, 0.2f);
    EXPECT_EQ(g_editor.box_armed, 0);
    EXPECT_EQ(selected_notes(), vector<i64>({0, 1}));

    // The other way round, reaching the third note's row from above.
    canvas_to(5.5f, 6.0f);
    letter('b');
    canvas_click_at(3.0f, 4.5f);
    EXPECT_EQ(selected_notes(), vector<i64>({2}));

    canvas_click_at(-5.0f, -5.0f);
    note(frac(1, 2), frac(1, 2), frac(1));    // overlaps note 0
    note(frac(1), frac(1), frac(1));          // only touches notes 0, 3 and 1: no overlap
    note(frac(5, 2), frac(1), frac(17, 16));  // overlaps note 1 in row and time
    tap(KEY_F5);
    EXPECT_EQ(selected_notes(), vector<i64>({3, 5}));

    // A panel over the note (a properties panel opens centred) keeps the click off the
    // canvas.
    ASSERT_NE(object_panel_open(OBJECT_KEY, 999), nullptr);
    canvas_click_at(0.5f, 0.2f);
    EXPECT_EQ(selected_notes(), vector<i64>({3, 5}));
    g_panels.panels.count = 0;

    // Hidden notes take no clicks and no commands.
    g_piece.groups[0].visible = 0;
    app_frame();  // the score view copies the group's flag
    ASSERT_EQ(g_piece.notes[3].header.visible, 0);
    letter('l');
    EXPECT_TRUE(same(g_piece.notes[3].header.time, frac(1, 2)));
    canvas_control_click_at(2.5f, -0.4f);
    EXPECT_EQ(selected_notes(), vector<i64>({3, 5}));
    canvas_to(-1.0f, -1.0f);
    letter('b');
    canvas_click_at(3.0f, 1.0f);
    EXPECT_TRUE(selected_notes().empty());
}

TEST_F(Editor, SelectedObjectsMoveSnapAndChangeDuration) {
    key("just major", frac(0), frac(16));
    note(frac(1, 3), frac(1), frac(7, 6), 1);
    tap(KEY_DIGIT(5));  // 1/4
    const ObjectHeader* moved = &g_piece.notes[0].header;
    letter('l');
    EXPECT_TRUE(same(moved->time, frac(7, 12)));
    letter('u');  // 7/12 is 2.33 quarters
    EXPECT_TRUE(same(moved->time, frac(1, 2)));
    letter('o');  // 7/6 snaps to re of the just major key
    EXPECT_TRUE(same(moved->pitch, frac(9, 8)));
    letter('i');
    EXPECT_TRUE(same(moved->pitch, frac(5, 4)));
    letter('k');
    letter('k');
    EXPECT_TRUE(same(moved->pitch, frac(1)));
    letter('y');
    EXPECT_TRUE(same(moved->duration, frac(1, 4)));
    tap(KEY_DIGIT(0));
    letter('y');
    EXPECT_TRUE(same(moved->duration, frac(0)));
    EXPECT_TRUE(g_piece.modified);
    // The key was not selected and did not move.
    EXPECT_TRUE(same(g_piece.keys[0].header.time, frac(0)));
}

TEST_F(Editor, CDuplicatesTheSelectionOntoItselfReadyToMoveOrReportsWhatFoundNoRoom) {
    note(frac(0), frac(1), frac(1), 1);
    note(frac(1), frac(1), frac(2));
    tap(KEY_TAB);
    g_editor.place_kind = OBJECT_TEMPO;
    tap_with(KEY_CONTROL, KEY_SPACE);
    tap(KEY_TAB);
    g_piece.tempos[0].header.selected = 1;
    letter('c');
    ASSERT_EQ(g_piece.notes.count, 3);
    ASSERT_EQ(g_piece.tempos.count, 2);
    EXPECT_NE(g_piece.notes[2].header.id, g_piece.notes[0].header.id);
    EXPECT_NE(g_piece.tempos[1].header.id, g_piece.notes[2].header.id);
    EXPECT_LT(g_piece.tempos[1].header.id, g_piece.next_object_id);
    EXPECT_NE(g_piece.tempos[1].tempo.points.data, g_piece.tempos[0].tempo.points.data);
    letter('l');  // only the copies move
    EXPECT_TRUE(same(g_piece.notes[2].header.time, frac(1)));
    EXPECT_TRUE(same(g_piece.notes[0].header.time, frac(0)));
    EXPECT_TRUE(same(g_piece.tempos[1].header.time, frac(1)));

    // A copy that could not have its points is not made half: it is left out, and said so.
    g_piece.notes[2].header.selected = 0;
    Curve* tempo = &g_piece.tempos[1].tempo;
    for (i64 i = 1; i <= 200; i += 1)
        curve_point_insert_with_handle(tempo, frac(i, 100), frac(120), frac(1, 100));
    ASSERT_TRUE(array_reserve(&g_piece.tempos, 4));  // the list itself has room
    testing::internal::CaptureStdout();  // "main memory is full"
    while (g_pools[POOL_MAIN].capacity - g_pools[POOL_MAIN].used > 8192)
        ASSERT_NE(pool_alloc(POOL_MAIN, 4096), nullptr);
    letter('c');
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(g_piece.tempos.count, 2);
    ASSERT_EQ(headless_message_count(), 1);
    EXPECT_EQ(to_string(headless_message_title(0)), "duplicate incomplete");
    EXPECT_EQ(to_string(headless_message_text(0)),
              "not enough memory: 1 of the selected objects could not be duplicated");
}

TEST_F(Editor, Key79DeletesEverySelectedObjectWithoutSkippingNeighbours) {
    for (i64 i = 0; i < 6; i += 1) note(frac(i), frac(1), frac(1), i >= 1 && i <= 3 ? 1 : 0);
    g_piece.notes[5].header.selected = 1;
    i64 kept_first = g_piece.notes[0].header.id, kept_middle = g_piece.notes[4].header.id;
    tap(KEY_DELETE);
    ASSERT_EQ(g_piece.notes.count, 2);
    EXPECT_EQ(g_piece.notes[0].header.id, kept_first);
    EXPECT_EQ(g_piece.notes[1].header.id, kept_middle);
    EXPECT_EQ(g_editor.selection.count, 0);
}

TEST_F(Editor, InsertAndRemoveShiftTimeAtTheCursorByTheSelectedDuration) {
    note(frac(0), frac(2), frac(1));        // spans the cursor
    note(frac(3), frac(1), frac(1));        // after it
    tap(KEY_TAB);
    letter('l');  // cursor at 1, duration 1
    tap(KEY_INSERT);
    EXPECT_TRUE(same(g_piece.notes[0].header.duration, frac(3)));
    EXPECT_TRUE(same(g_piece.notes[1].header.time, frac(4)));
    tap(KEY_BACKSPACE);
    EXPECT_TRUE(same(g_piece.notes[0].header.duration, frac(2)));
    EXPECT_TRUE(same(g_piece.notes[1].header.time, frac(3)));
}

TEST_F(Editor, TheWheelHighlightsOneEntryAndButtonFourKeepsOnlyIt) {
    note(frac(0), frac(1), frac(1), 1);
    note(frac(1), frac(1), frac(1), 1);
    note(frac(2), frac(1), frac(1), 1);
    canvas_to(-6.0f, -6.0f);
    EXPECT_EQ(g_piece.notes[0].header.highlight, 1);
    headless_mouse_wheel(-1);
    app_frame();
    EXPECT_EQ(g_piece.notes[0].header.highlight, 0);
    EXPECT_EQ(g_piece.notes[2].header.highlight, 1);
    headless_mouse_wheel(1);
    app_frame();
    EXPECT_EQ(g_piece.notes[0].header.highlight, 1);
    headless_mouse_wheel(-1);
    app_frame();
    headless_mouse_click(MOUSE_RIGHT);
    app_frame();
    EXPECT_EQ(selected_notes(), vector<i64>({2}));
    EXPECT_EQ(g_editor.selection.count, 1);
}

TEST_F(Editor, Key42AuditionsTheSelectionAndOpensTheOnlyObjectsPanel) {
    key("key", frac(0), frac(4));
    g_piece.keys[0].header.selected = 1;
    tap(KEY_SPACE);
    ASSERT_EQ(panels_of_kind(PANEL_KEY), 1);
    const Panel* panel = panel_of_kind(PANEL_KEY);
    expect_draws_match("editor_key_menu");  // "key menu", centred
    const ObjectPanelContent* content = (const ObjectPanelContent*)panel->content;
    EXPECT_EQ(object_panel_object(content), &g_piece.keys[0].header);
    tap(KEY_SPACE);
    EXPECT_EQ(panels_of_kind(PANEL_KEY), 1);    // not twice for the same object
    EXPECT_FALSE(headless_audio_is_playing());  // no note selected: nothing to hear

    g_piece.keys[0].header.selected = 0;
    note(frac(0), frac(1), frac(1), 1);
    note(frac(0), frac(1), frac(3, 2), 1);
    i64 panels = g_panels.panels.count;
    tap(KEY_SPACE);
    EXPECT_TRUE(headless_audio_is_playing());
    EXPECT_EQ(g_panels.panels.count, panels);
}

TEST_F(Editor, TheTimeEntryOfGBindsToTheSelectedObjectById) {
    note(frac(3, 4), frac(1), frac(1), 1);
    note(frac(2), frac(1), frac(1));
    letter('g');
    const Panel* panel = panel_of_kind(PANEL_FRACTION);
    ASSERT_NE(panel, nullptr);
    const FractionEntryContent* entry = (const FractionEntryContent*)panel->content;
    EXPECT_EQ(fraction_binding_target(&entry->binding), &g_piece.notes[0].header.time);
}

TEST_F(Editor, TheFileShortcutsDoNotAlsoActAsEditorKeys) {
    key("just major", frac(0), frac(16));
    note(frac(0), frac(1), frac(7, 6), 1);
    tap_with(KEY_CONTROL, KEY_LETTER('o'));  // open, not snap
    EXPECT_TRUE(same(g_piece.notes[0].header.pitch, frac(7, 6)));
    g_panels.panels.count = 0;  // the file panel's name field holds the keyboard
    app_frame();
    tap(KEY_TAB);
    u8 kind = g_editor.place_kind;
    g_piece.modified = 1;  // control + n then asks instead of emptying the piece
    tap_with(KEY_CONTROL, KEY_LETTER('n'));
    EXPECT_EQ(g_editor.place_kind, kind);
    tap(KEY_ESCAPE);  // the question cancelled, the editor has its keys again
    letter('n');
    EXPECT_NE(g_editor.place_kind, kind);
}

TEST_F(Editor, ClosingAPanelOverANoteDoesNotSelectTheNote) {
    note(frac(0), frac(2), frac(1));
    canvas_to(1.0f, 0.0f);  // the middle of the note
    f32 t = (f32)g_panels.title_height;
    // A panel whose close button lies right over the note.
    f32 width = 300, height = 300;
    Panel* panel = panel_create(PANEL_GROUPS, STR("group"), g_ui.mouse_x - width + t / 2,
                                g_ui.mouse_y - height + t / 2, width, height, nullptr);
    ASSERT_NE(panel, nullptr);
    panel_content_init(panel);
    app_frame();
    click();
    EXPECT_EQ(g_panels.panels.count, 0);
    EXPECT_FALSE(g_piece.notes[0].header.selected);
    click();  // with the panel gone the canvas takes the click
    EXPECT_TRUE(g_piece.notes[0].header.selected);
}
