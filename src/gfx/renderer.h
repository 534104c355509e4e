// The renderer: shader programs and the immediate mesh. Main thread only.
#pragma once

void renderer_load();     // the three programs, then the mesh's vertex array and buffers
void renderer_release();  // the mesh's buffers and vertex array
