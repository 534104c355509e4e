// Placeholder until the drawing code lands: nothing is loaded or drawn.
#include "gfx/textures.h"

TextureTable g_textures;

void texture_table_load() {}
void textures_destroy() {}
void frame_buffer_build() {}
void frame_buffer_resolve() {}
