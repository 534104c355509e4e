// Placeholder until the drawing code lands.
#include "gfx/renderer.h"

void renderer_load() {}
void renderer_release() {}
