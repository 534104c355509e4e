// Interface textures and the off-screen frame buffer each frame is drawn into and resolved
// from: image files to GPU textures, the fixed 42-slot table every drawing part refers to
// by slot, and the frame buffer, rebuilt when the window is resized. Main thread only.
#pragma once

#include "base/types.h"

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
    TEXTURE_CHOOSE = 39, TEXTURE_UNDO = 40, TEXTURE_REDO = 41, TEXTURE_SLOT_COUNT = 42,
};

struct TextureTable {
    u32 ids[TEXTURE_SLOT_COUNT];
};

extern TextureTable g_textures;

// The file each slot is loaded from ("textures/white.png" for slot 0 and so on).
Str texture_slot_file(i32 slot);

// An image file as a texture with the given wrap codes and filter codes (platform codes;
// mipmaps are made for the mipmapped minifying filters 2 to 5). An image that cannot be
// decoded gives the white texture, so the caller always holds a drawable id.
u32 texture_load(Str path, i32 wrap_s, i32 wrap_t, i32 min_filter, i32 mag_filter);
// As texture_load with a chosen anisotropy limit (texture_load uses 8), but 0 (and no
// texture made) when the image cannot be decoded.
u32 texture_load_or_zero(Str path, i32 wrap_s, i32 wrap_t, i32 min_filter, i32 mag_filter,
                         f32 max_anisotropy);
// Destroys a texture unless it is 0 or the shared white texture.
void texture_release(u32 texture);

// The interface textures in their loading order, then the default font, then the icons
// added after it (undo and redo), so the first 40 slots and the font keep their places.
void texture_table_load();
// Every texture the program created: the table, named textures, font pages and the
// frame buffer with its attachments.
void textures_destroy();

struct FrameBuffer {
    u32 frame_buffer;
    u32 color_texture;
    u32 second_texture;  // never created; destroyed when set
    u32 depth_render_buffer;
};

extern FrameBuffer g_frame_buffer;

// (Re)creates the frame buffer at the window size: RGBA 16-bit float colour, 24-bit depth.
void frame_buffer_build();
// Reads the completeness status and reports anything but complete on standard output.
i32 frame_buffer_check();
void frame_buffer_report(i32 status);
// Start of a frame: the frame buffer bound, viewport, the "simple" program current,
// blending on, cleared to the background colour (given as it should appear on screen).
void frame_buffer_begin(const f32* background);
// At the end of app_frame: the frame buffer drawn to the window through "gamma".
void frame_buffer_resolve();
