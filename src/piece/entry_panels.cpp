// Placeholder until the entry panels land.
#include "piece/entry_panels.h"

void fraction_entry_panel(Panel*, Rect) {}
