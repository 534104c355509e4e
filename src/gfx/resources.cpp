// Placeholder until the drawing code lands.
#include "gfx/resources.h"

void resources_load() {}
u32 texture_by_name(Str) { return 0; }
Font* font_default() { return 0; }
