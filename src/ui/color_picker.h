// The colour picker panel. Main thread.
#pragma once

#include "ui/button.h"

struct Panel;

void color_picker_panel(Panel* panel, Rect content);
