// The group list panel driven through whole frames with the mouse and keyboard: groups and
// folders created, nested, renamed, hidden, selected, dragged, scrolled, collapsed and
// deleted, with what deleting does to their objects and to the ids of groups made later.
#include <string>
#include <vector>

#include "app/document.h"
#include "editor/editor.h"
#include "frame_support.h"
#include "panels/group_list.h"
#include "piece_support.h"

struct GroupList : InterfaceTest {
    u64 panel = ~0ull;

    void SetUp() override {
        InterfaceTest::SetUp();
        Panel* opened = panel_create(PANEL_GROUPS, STR("group"), 10, 100, 300, 500, 0);
        ASSERT_TRUE(opened);
        panel_content_init(opened);
        panel = opened->id;
        frames();
    }

    GroupListPanel* state() { return (GroupListPanel*)panel_find(panel)->content; }
    GroupListLayout layout() {
        Panel* p = panel_find(panel);
        return group_list_layout(
            Rect{p->x, p->y, p->width, p->height - (f32)g_panels.title_height});
    }
    // The middle of the shown row (0 for the top one), right of any toggle or icon.
    f32 row_y(i32 shown) {
        GroupListLayout l = layout();
        return l.list.y + l.list.height + state()->scroll - ((f32)shown + 0.5f) * g_theme.row_size;
    }
    f32 row_x() {
        GroupListLayout l = layout();
        return l.list.x + l.list.width * 0.6f;
    }
    void click_row(i32 shown) { click_at(row_x(), row_y(shown)); }
    void click_row_with(i32 key, i32 shown) {
        headless_key_down(key);
        click_row(shown);
        headless_key_up(key);
        frames();
    }
    // The toggle icon of a folder row at the top level.
    f32 toggle_x() { return layout().list.x + g_theme.icon_size / 2; }
    void click_toggle(i32 shown) { click_at(toggle_x(), row_y(shown)); }
    void click_button(i32 which) {
        Rect r = layout().buttons[which];
        click_at(r.x + r.width / 2, r.y + r.height / 2);
    }
    // The scroll after the wheel turned by `notches` with the mouse at (x, y).
    f32 wheel_at(f32 x, f32 y, i32 notches) {
        mouse_to(x, y);
        headless_mouse_wheel(notches);
        frames();
        return state()->scroll;
    }
    void rename_to(const char* name) {
        Rect r = layout().rename;
        type_over_at(r.x + r.width / 2, r.y + r.height / 2, name);
    }

    // The tree as "name" rows, folders as "[name" and "]", selected rows marked with "*".
    static std::string tree() {
        std::string out;
        for (i64 i = 0; i < g_piece.tree.count; i += 1) {
            const GroupTreeEntry* entry = &g_piece.tree[i];
            if (!out.empty()) out += " ";
            if (entry->selected) out += "*";
            if (entry->folder_end)
                out += "]";
            else
                out += (entry->folder_begin ? "[" : "") + to_string(entry->name);
        }
        return out;
    }
    static i64 row_of(const char* name) {
        for (i64 i = 0; i < g_piece.tree.count; i += 1)
            if (!g_piece.tree[i].folder_end && to_string(g_piece.tree[i].name) == name) return i;
        return -1;
    }
    static void rename_row(i64 index, const char* name) {
        g_piece.tree[index].name = str_copy(POOL_MAIN, str_from_cstring(name));
    }
    // Groups a, b, c, ... after the start-up group, renamed; nothing selected.
    static void groups(std::initializer_list<const char*> names) {
        for (const char* name : names) rename_row(group_list_new_group(&g_piece), name);
        for (i64 i = 0; i < g_piece.tree.count; i += 1) g_piece.tree[i].selected = 0;
    }
    static void select(std::initializer_list<const char*> names) {
        for (i64 i = 0; i < g_piece.tree.count; i += 1) g_piece.tree[i].selected = 0;
        for (const char* name : names) g_piece.tree[row_of(name)].selected = 1;
    }
    // An open folder appended with one new group in it; nothing selected.
    static void folder_holding(const char* name, const char* inside) {
        i64 row = group_list_new_folder(&g_piece);
        rename_row(row, name);
        g_piece.tree[row].expanded = 1;
        groups({inside});
        select({inside});
        group_list_move_selected(&g_piece, row + 1);
        select({});
    }
    static i64 add_note(i64 group) {
        NoteObject note = {};
        note.header = header_make(OBJECT_NOTE, 0, group, SCOPE_LOCAL, frac(0), frac(1));
        return piece_object_add(&g_piece, &note.header)->id;
    }
};

TEST_F(GroupList, CreateNestRenameHideAndDeleteThroughThePanel) {
    click_button(0);  // new group
    EXPECT_EQ(tree(), "group *new group");
    i64 group_id = g_piece.tree[1].id;
    ASSERT_TRUE(group_find(&g_piece, group_id));  // made as the start-up group is
    EXPECT_EQ(g_piece.modified, 1);

    click_button(1);  // new folder: collapsed, selected
    EXPECT_EQ(tree(), "group new group *[new folder ]");
    EXPECT_EQ(g_piece.tree[2].expanded, 0);
    rename_to("strings");
    EXPECT_EQ(tree(), "group new group *[strings ]");
    EXPECT_EQ(state()->rename.changed, 1);  // adopted in the frame the field was edited

    // Open the folder and drag "new group" onto the lower half of its row: first inside.
    click_toggle(2);
    drag(row_x(), row_y(1), row_x(), row_y(2) - g_theme.row_size / 4);
    EXPECT_EQ(tree(), "group [strings *new group ]");

    // Hide the group, then flip everything in the folder: it shows again.
    click_button(2);
    EXPECT_EQ(group_find(&g_piece, group_id)->visible, 0);
    EXPECT_FLOAT_EQ(g_piece.tree[2].color[3], 0.5f);
    click_row(1);
    EXPECT_EQ(tree(), "group *[strings new group ]");
    click_button(2);
    EXPECT_EQ(group_find(&g_piece, group_id)->visible, 1);
    EXPECT_FLOAT_EQ(g_piece.tree[2].color[3], 1.0f);
    EXPECT_EQ(group_find(&g_piece, g_piece.tree[0].id)->visible, 1);  // not selected, not inside

    // Deleting the folder takes its group and end row.
    click_button(3);
    EXPECT_EQ(tree(), "group");
    EXPECT_FALSE(group_find(&g_piece, group_id));
}

TEST_F(GroupList, RenamingTheSelectedGroupReachesThePieceAndFollowsAnotherPieceOpened) {
    // A double click on a group starts renaming it, its whole name selected.
    click_row(0);
    click_row(0);
    headless_type_text(STR("lead"));
    frames();
    EXPECT_EQ(tree(), "*lead");
    rename_to("drums");
    EXPECT_EQ(tree(), "*drums");

    // Another piece with the same row selected: the field shows that piece's name, and an
    // edit starts from it, never from the text the field held before.
    TempFolder folder;
    std::string path = folder / "other.scene";
    rename_row(0, "bass");
    ASSERT_TRUE(scene_save(to_str(path)));
    rename_row(0, "drums");
    frames();
    ASSERT_TRUE(piece_open(to_str(path)));
    frames();
    EXPECT_EQ(to_string(text_field_text(&state()->rename)), "bass");
    EXPECT_EQ(tree(), "*bass");
}

TEST_F(GroupList, ControlFlipsOneRowAndShiftSelectsARangeButNeverAFolderEnd) {
    groups({"a"});
    folder_holding("f", "b");
    groups({"c"});
    frames();
    EXPECT_EQ(tree(), "group a [f b ] c");
    click_row(0);
    click_row_with(KEY_CONTROL, 1);
    click_row_with(KEY_CONTROL, 5);  // the shown rows: group, a, f, b, end, c
    EXPECT_EQ(tree(), "*group *a [f b ] *c");
    click_row_with(KEY_CONTROL, 1);
    EXPECT_EQ(tree(), "*group a [f b ] *c");
    // No single row is selected: the rename field is not shown and writes nothing.
    EXPECT_EQ(state()->rename_row, -1);
    click_row(1);  // a plain click on an unselected row selects it alone
    EXPECT_EQ(tree(), "group *a [f b ] c");
    click_row_with(KEY_SHIFT, 5);
    EXPECT_EQ(tree(), "group *a *[f *b ] *c");
    // From a later row back up to the last selected one works the same way.
    select({"c"});
    click_row_with(KEY_SHIFT, 2);
    EXPECT_EQ(tree(), "group a *[f *b ] *c");
    // A press on an end row selects nothing.
    select({});
    click_row(4);
    EXPECT_EQ(tree(), "group a [f b ] c");
}

TEST_F(GroupList, DropsFollowTheRowHalvesAtFolderBoundariesAndNeedEightUnitsOfMovement) {
    groups({"a"});
    folder_holding("f", "x");
    select({"group", "a"});
    frames();
    f32 rs = g_theme.row_size;
    // Seven units down from "group" is under the threshold: a click on a selected row, which
    // selects it alone.
    drag(row_x(), row_y(0), row_x(), row_y(0) - 7, 2);
    EXPECT_EQ(tree(), "*group a [f x ]");

    click_row(1);
    // The upper half of the end row: inside the folder, last.
    drag(row_x(), row_y(1), row_x(), row_y(4) + rs / 4);
    EXPECT_EQ(tree(), "group [f x *a ]");
    // The lower half of the end row: after the folder.
    drag(row_x(), row_y(3), row_x(), row_y(4) - rs / 4);
    EXPECT_EQ(tree(), "group [f x ] *a");
    // The upper half of the folder's row: before the folder.
    drag(row_x(), row_y(4), row_x(), row_y(1) + rs / 4);
    EXPECT_EQ(tree(), "group *a [f x ]");

    // A folder never goes inside itself, by the mouse or otherwise; right before or after
    // itself is allowed and changes nothing.
    select({"f"});
    std::string before = tree();
    EXPECT_FALSE(group_list_move_selected(&g_piece, 3));
    EXPECT_FALSE(group_list_move_selected(&g_piece, 4));
    drag(row_x(), row_y(2), row_x(), row_y(3) - rs / 4);
    EXPECT_EQ(tree(), before);
    EXPECT_TRUE(group_list_move_selected(&g_piece, 2));
    EXPECT_TRUE(group_list_move_selected(&g_piece, 5));
    EXPECT_EQ(tree(), before);

    // A closed folder: its lower half puts the rows after the whole folder.
    click_toggle(2);
    EXPECT_EQ(g_piece.tree[2].expanded, 0);
    click_row(1);
    drag(row_x(), row_y(1), row_x(), row_y(2) - rs / 4);
    EXPECT_EQ(tree(), "group [f x ] *a");
    // Below every row: the end of the list.
    click_row(0);
    drag(row_x(), row_y(0), row_x(), row_y(5));
    EXPECT_EQ(tree(), "[f x ] a *group");
}

TEST_F(GroupList, TheWheelScrollsOnlyWhatDoesNotFit) {
    // An empty list stays at 0 whatever the wheel does.
    f32 x = row_x(), y = row_y(3);
    select({"group"});
    click_button(3);
    ASSERT_EQ(g_piece.tree.count, 0);
    EXPECT_EQ(wheel_at(x, y, -3), 0.0f);

    // Thirty rows in a list that shows about fifteen: notches of 72, stopping at the end.
    for (i32 i = 0; i < 30; i += 1) group_list_new_group(&g_piece);
    frames();
    f32 most = 30 * g_theme.row_size - layout().list.height;
    ASSERT_GT(most, 72.0f);
    EXPECT_FLOAT_EQ(wheel_at(x, y, -1), 72.0f);
    EXPECT_FLOAT_EQ(wheel_at(x, y, -20), most);
    EXPECT_EQ(wheel_at(x, y, 40), 0.0f);
    EXPECT_EQ(wheel_at(400, 300, -1), 0.0f);  // outside the list: nothing
    // Scrolled, a click lands on the row shown under the mouse.
    wheel_at(x, y, -1);
    click_at(row_x(), layout().list.y + layout().list.height - g_theme.row_size / 2);
    EXPECT_EQ(g_piece.tree[(i64)(72.0f / g_theme.row_size)].selected, 1);
}

TEST_F(GroupList, CollapsingHidesRowsButKeepsTheirSelection) {
    folder_holding("f", "inner");
    groups({"after"});
    select({"inner"});
    frames();
    click_toggle(1);  // collapse: the rows below the folder's row close up
    EXPECT_EQ(g_piece.tree[1].expanded, 0);
    EXPECT_EQ(tree(), "group [f *inner ] after");  // still selected
    click_row(2);  // the row under the folder is now "after"
    EXPECT_EQ(tree(), "group [f inner ] *after");

    // A press on the toggle that is released elsewhere flips nothing.
    drag(toggle_x(), row_y(1), row_x(), row_y(0));
    EXPECT_EQ(g_piece.tree[1].expanded, 0);
    // A double click on the folder's row flips it too.
    click_row(1);
    click_row(1);
    EXPECT_EQ(g_piece.tree[1].expanded, 1);
}

TEST_F(GroupList, DeletingAGroupTakesItsObjectsAndItsIdIsNeverGivenAgain) {
    groups({"a", "b"});
    i64 a = g_piece.tree[row_of("a")].id, b = g_piece.tree[row_of("b")].id;
    add_note(a);
    i64 kept = add_note(b);
    piece_object_add(&g_piece, editor_template(OBJECT_TEMPO))->group_id = a;
    frames();
    click_row(row_of("a"));
    click_button(3);
    EXPECT_EQ(tree(), "group b");
    EXPECT_FALSE(group_find(&g_piece, a));
    ASSERT_EQ(g_piece.notes.count, 1);
    EXPECT_EQ(g_piece.notes[0].header.id, kept);
    EXPECT_EQ(g_piece.tempos.count, 0);

    // Even when the counter forgot (a file saved without the highest group), a new group
    // takes an id that no group, row or object uses.
    add_note(b + 5);  // an object whose group has no row
    g_piece.next_group_id = 0;
    click_button(0);
    i64 fresh = g_piece.tree[g_piece.tree.count - 1].id;
    EXPECT_GT(fresh, b + 5);
    click_button(1);
    EXPECT_GT(g_piece.tree[g_piece.tree.count - 1].id, fresh);  // folders draw from it too

    // A file may hold two rows of one group: the group and its notes stay until the last goes.
    GroupTreeEntry twin = g_piece.tree[row_of("b")];
    array_push(&g_piece.tree, twin);
    select({});
    g_piece.tree[g_piece.tree.count - 1].selected = 1;
    group_list_delete_selected(&g_piece);
    EXPECT_TRUE(group_find(&g_piece, b));
    EXPECT_EQ(g_piece.notes.count, 2);
    select({"b"});
    group_list_delete_selected(&g_piece);
    EXPECT_FALSE(group_find(&g_piece, b));
    EXPECT_EQ(g_piece.notes.count, 1);
}
