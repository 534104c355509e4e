// The group list panel: the piece's groups and folders as a list. Main thread.
#pragma once

#include "ui/button.h"

struct Panel;

void* group_list_panel_create();  // the content record of kind 0
void group_list_panel(Panel* panel, Rect content);
