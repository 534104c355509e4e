// The group list panel: the piece's group tree as a scrollable list in which folders nest
// groups. Rows are selected with the mouse (single, control to toggle, shift for a range),
// dragged to a new place, renamed, created and deleted; the tree itself belongs to the
// piece, the panel keeps only its widgets and the mouse's story. Main thread only.
//
// Deleting a group deletes its objects with it and drops its Group record, and a new group
// or folder takes an id above every id still in use, so no object ever joins a group it
// was not put in.
#pragma once

#include "model/piece.h"
#include "ui/button.h"
#include "ui/text_field.h"

struct Panel;

struct GroupListPanel {
    // The four buttons along the bottom edge, left to right.
    ButtonState new_group, new_folder, visibility, remove;
    TextField rename;    // above the buttons; edits the name of the one selected row
    f32 scroll;          // how far the list is scrolled down, 0 shows the first row
    f32 content_height;  // height of the rows that are shown
    f32 double_click_timer;
    f64 press_x, press_y;
    u8 pressed_on_row;  // the button went down on a row and is still held
    u8 dragging;        // that press has moved 8 units or more: the rows are being dragged
    u8 double_clicked;  // the last press was the second of a double click
    // The row of that press, found again by index and id on release.
    i64 press_row;
    i32 press_id;
    u8 press_keeps_others;  // a plain press on a selected row: the release selects it alone
    i64 drop_index;         // while dragging: the tree index the rows would go before
    // A press on a folder's toggle icon flips the folder when released on the same icon.
    i64 toggle_row;
    i32 toggle_id;
    // The row the rename field was loaded from (index, id, folder flag).
    i64 rename_row;
    i32 rename_id;
    u8 rename_folder;
};

// Where the parts of the panel lie for a content rectangle.
struct GroupListLayout {
    Rect list;        // the rows, clipped to this
    Rect rename;      // the rename field
    Rect buttons[4];  // new group, new folder, visibility, delete
};
GroupListLayout group_list_layout(Rect content);

void* group_list_panel_create();  // the content record of the group list
// Input, edits of the tree, then drawing, once per frame.
void group_list_panel(Panel* panel, Rect content);

// --- Operations on the piece's tree, also used by the tests ----------------------------------
// An id for a new group or folder: above every id in the group list, the tree and the
// objects' groups, and never below the piece's counter, which it advances.
i64 group_id_take(Piece* piece);
// Appends a group row and its group (see piece_group_add) named "new group"; the new row
// becomes the only selected one. Its index, or -1 when refused.
i64 group_list_new_group(Piece* piece);
// Appends a collapsed folder "new folder" with its end row, selected alone. -1 when refused.
i64 group_list_new_folder(Piece* piece);
// Flips the visibility of the group of every selected row and of every group inside a
// selected folder, once each; their rows' alpha follows (0.5 hidden, 1 shown).
void group_list_toggle_visibility(Piece* piece);
// Removes the selected rows, a folder with everything up to its end row. A group whose
// last row goes loses its Group record and every object in it.
void group_list_delete_selected(Piece* piece);
// Moves the selected rows (a folder with its contents) so that they stand before the row
// that was at tree index `before` (the end for the tree's count). Refused (false) when
// `before` lies inside a moved folder or nothing is selected.
bool group_list_move_selected(Piece* piece, i64 before);
// Index of the end row that closes the folder opened at `begin`; the last row when the
// folder is never closed.
i64 group_tree_folder_end(const Piece* piece, i64 begin);
