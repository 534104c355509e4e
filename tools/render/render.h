// The render and import modes of sorvane-render: a scene file rendered into a wave file
// exactly as the editor's export does, and a MIDI file made into a scene file.
#pragma once

#include "arguments.h"

i32 render_main(const ToolOptions* options);
// The import mode: MIDI file to scene file. Returns the exit status.
i32 import_main(const ToolOptions* options);
