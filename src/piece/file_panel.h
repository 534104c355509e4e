// The file panel: the program's own file chooser, opened for open, save, the saves
// before quitting or a new piece, and export. Confirming it calls document_confirm with
// the panel's action, folder and typed name. Main thread.
#pragma once

#include "core/types.h"

// Opens the panel with its title (copied) and FileAction.
void file_panel_open(Str title, u8 action);

#include "ui/button.h"

struct Panel;

// Lays out, draws and handles the panel's content once per frame.
void file_panel_update(Panel* panel, Rect content);
