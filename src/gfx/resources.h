// Named textures and fonts from "resources.txt", and the default interface font loaded with
// the texture table. Loaded at start-up on the main thread; the lookups only read, so the
// render worker may call them afterwards.
#pragma once

#include "base/types.h"

struct Font;

void resources_load();
// The same from text in memory: the registry starts empty and takes the text's "texture"
// and "font" lines. Names are copied; the paths are opened relative to the working folder.
void resources_parse(Str text);
// The named texture, or the white texture (slot 0) when the name is unknown.
u32 texture_by_name(Str name);
// The named font, or the default font when the name is unknown.
Font* font_by_name(Str name);
// The interface font loaded with the texture table; never null.
Font* font_default();
// Loads the default font (the end of the texture table's loading).
void font_default_load(Str path);
// Destroys the named textures and every font page, and forgets all names and fonts.
void resources_destroy();
