// The editor step: select and place modes, the cursor and the selected duration. Main
// thread, once per frame after the panels.
#pragma once

void editor_reset();
void templates_init();  // the records that new objects are copied from
void editor_frame();
