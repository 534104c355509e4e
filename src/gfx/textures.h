// Interface textures, the window icon and the off-screen frame buffer each frame is drawn
// into and resolved from. Main thread only.
#pragma once

#include "core/types.h"

enum TextureSlot {
    TEXTURE_WHITE = 0, TEXTURE_GRADIENT1 = 1, TEXTURE_GRADIENT2 = 2, TEXTURE_GRADIENT3 = 3,
    TEXTURE_HUE = 4, TEXTURE_ALPHA = 5, TEXTURE_MAXIMIZE2 = 6, TEXTURE_MINIMIZE = 7,
    TEXTURE_CLOSE = 8, TEXTURE_EYE = 9, TEXTURE_CHECK = 10, TEXTURE_STAR3D = 11,
    TEXTURE_NEW = 12, TEXTURE_OPEN = 13, TEXTURE_SAVE = 14, TEXTURE_STAR = 15,
    TEXTURE_PLAY = 16, TEXTURE_PAUSE = 17, TEXTURE_STOP = 18, TEXTURE_ADD_POINT = 19,
    TEXTURE_SPHERE = 20, TEXTURE_PLACE_OBJECT = 21, TEXTURE_SELECT_OBJECT = 22,
    TEXTURE_CIRCLE = 23, TEXTURE_NOTE = 24, TEXTURE_VOLUME = 25, TEXTURE_PITCH = 26,
    TEXTURE_SOUND = 27, TEXTURE_SHAPE = 28, TEXTURE_CONNECTION = 29, TEXTURE_KEY = 30,
    TEXTURE_MEASURE = 31, TEXTURE_TEMPO = 32, TEXTURE_REPEAT = 33, TEXTURE_TEXT = 34,
    TEXTURE_SPHERE2 = 35, TEXTURE_CONE = 36, TEXTURE_SETTINGS = 37, TEXTURE_RESIZE = 38,
    TEXTURE_CHOOSE = 39, TEXTURE_SLOT_COUNT = 40,
};

struct TextureTable {
    u32 ids[TEXTURE_SLOT_COUNT];
};

extern TextureTable g_textures;

void texture_table_load();  // the fixed interface textures and the default font
void textures_destroy();    // every texture the program created
void frame_buffer_build();  // (re)creates the frame buffer at the window size
void frame_buffer_resolve();  // draws the frame buffer to the window through "gamma"
