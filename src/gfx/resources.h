// Named textures and fonts from "resources.txt", and the default interface font.
// Loaded at start-up on the main thread, read-only afterwards.
#pragma once

#include "core/types.h"

struct Font;

void resources_load();
// The named texture, or the white texture (slot 0) when the name is unknown.
u32 texture_by_name(Str name);
// The interface font loaded with the texture table; never null once start-up has run.
Font* font_default();
