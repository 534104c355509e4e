// The file panel: the program's own file chooser, opened for open, save, the saves before
// quitting or a new piece, and export. It lists a folder below the working directory
// (folders first, each list sorted), walks into folders and back up with "..", takes a
// file name from the list or typed, and on confirm runs the panel's FileAction on the
// chosen path. Main thread.
#pragma once

#include "base/pool.h"
#include "ui/text_field.h"

struct Panel;

enum FileAction : u8 {
    FILE_ACTION_OPEN = 0,
    FILE_ACTION_SAVE = 1,
    FILE_ACTION_SAVE_THEN_QUIT = 2,
    FILE_ACTION_SAVE_THEN_NEW = 3,
    FILE_ACTION_EXPORT = 4,
    FILE_ACTION_SAVE_THEN_OPEN = 5,
    // Export too; a MIDI file is tuned by per-note channels and pitch bends (MPE) instead
    // of tuning messages. The export panel switches between the two.
    FILE_ACTION_EXPORT_MPE = 6,
};

// What confirming does with the chosen file (folder and typed name): the document flow
// installs it at start-up; until then a confirm only closes the panel.
typedef void (*FileConfirmAction)(u8 action, Str folder, Str typed_name);
void file_panel_on_confirm(FileConfirmAction action);

struct FilePanelState {
    u8 done;    // confirmed or cancelled: the panel closes (first byte: the close request)
    u8 action;  // FileAction
    Str folder;  // relative to the working directory; empty for the working directory
    PoolArray<Str> folders;  // sub-folders of the folder, sorted, ".." among them
    PoolArray<Str> files;    // files of the folder, sorted
    f32 scroll;              // of the list, in interface units; 0 after every listing
    TextField name_field;
    ButtonState ok, cancel;
    ButtonState midi_tuning;  // export only: switches the action between MTS and MPE
    // Storage reused by every listing: the names' bytes, the folder's bytes and the
    // merge sort's scratch.
    PoolArray<u8> name_bytes;
    PoolArray<u8> folder_bytes;
    PoolArray<Str> scratch;
};

// Opens the panel titled `title` (copied) for the FileAction, centred in the window and
// listing the working directory.
void file_panel_open(Str title, u8 action);
// Sets the folder (copied) and lists it: sub-folders and files, each sorted, "." left out
// and ".." kept; the scroll goes back to 0. A folder that cannot be listed lists nothing
// but "..".
void file_panel_list(FilePanelState* state, Str folder);
// The folder one level up: cut at the last "/", or else at the last backslash, or empty.
Str file_panel_parent(Str folder);
// Hands the panel's action, folder and typed name to the confirm action and ends the
// panel.
void file_panel_confirm(FilePanelState* state);
// Lays out, draws and handles the panel's content once per frame.
void file_panel_update(Panel* panel, Rect content);

// Byte order over unsigned bytes; on a common prefix the shorter name comes first.
i32 str_compare(Str a, Str b);
// Stable merge sort of the names by str_compare; `scratch` holds at least `count` names.
void str_merge_sort(Str* names, i64 count, Str* scratch);
