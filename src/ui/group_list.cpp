// Placeholder until the group list lands: the panel opens empty.
#include "ui/group_list.h"

void* group_list_panel_create() { return 0; }
void group_list_panel(Panel*, Rect) {}
