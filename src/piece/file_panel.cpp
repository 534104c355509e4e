// Placeholder until the file browser lands: opening the panel shows nothing, so nothing
// is ever confirmed.
#include "piece/file_panel.h"

void file_panel_open(Str, u8) {}
void file_panel_update(Panel*, Rect) {}
