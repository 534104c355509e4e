// Property sections and the "global properties" and "group properties" panels.
// Main thread.
#pragma once

#include "ui/button.h"

struct Panel;

void* properties_panel_create(u8 kind);  // the content record of kind 1 or 2
void properties_panel(Panel* panel, Rect content);
