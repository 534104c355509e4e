// Placeholder until the editor lands.
#include "editor/editor.h"

void editor_reset() {}
void templates_init() {}
void editor_frame() {}
