// The render mode of sorvane-render: renders a scene file into a wave file exactly as the
// editor's export does. Returns the exit status.
#pragma once

#include "arguments.h"

i32 render_main(const ToolOptions* options);
