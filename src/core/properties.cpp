// Placeholder until the properties panels land: they open empty.
#include "core/properties.h"

void* properties_panel_create(u8) { return 0; }
void properties_panel(Panel*, Rect) {}
