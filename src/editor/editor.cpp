// Placeholder until the editor lands.
#include "editor/editor.h"

#include <string.h>

EditorState g_editor;

void editor_reset() { memset(&g_editor, 0, sizeof(g_editor)); }
void templates_init() {}
void editor_frame() {}
