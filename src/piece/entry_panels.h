// The colour and fraction entry panels: openers and contents. Main thread.
#pragma once

#include "ui/button.h"

struct Panel;

void fraction_entry_panel(Panel* panel, Rect content);
