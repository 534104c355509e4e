// Textures and the frame buffer; see textures.h. Images are decoded into the image working
// memory that start-up hands the platform, each over the previous one, and live only until
// they are uploaded. Main thread only.
#include "gfx/textures.h"

#include "base/format.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/view.h"
#include "platform/system.h"

TextureTable g_textures;
FrameBuffer g_frame_buffer;

static const char* const SLOT_FILES[TEXTURE_SLOT_COUNT] = {
    "textures/white.png",         "textures/gradient1.png",     "textures/gradient2.png",
    "textures/gradient3.png",     "textures/hue.png",           "textures/alpha.png",
    "textures/maximize2.png",     "textures/minimize.png",      "textures/close.png",
    "textures/eye.png",           "textures/check.png",         "textures/star3d.png",
    "textures/new.png",           "textures/open.png",          "textures/save.png",
    "textures/star.png",          "textures/play.png",          "textures/pause.png",
    "textures/stop.png",          "textures/add_point.png",     "textures/sphere.png",
    "textures/place_object.png",  "textures/select_object.png", "textures/circle.png",
    "textures/note.png",          "textures/volume.png",        "textures/pitch.png",
    "textures/sound.png",         "textures/shape.png",         "textures/connection.png",
    "textures/key.png",           "textures/measure.png",       "textures/tempo.png",
    "textures/repeat.png",        "textures/text.png",          "textures/sphere.png",
    "textures/cone.png",          "textures/settings.png",      "textures/resize.png",
    "textures/choose.png",        "textures/undo.png",          "textures/redo.png",
};

// Slots in the order their files are loaded before the font; the later slots follow it.
enum { TEXTURE_SLOTS_BEFORE_FONT = 40 };
static const u8 LOADING_ORDER[TEXTURE_SLOTS_BEFORE_FONT] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 20, 12, 13, 14, 15, 19, 21, 22,
    16, 17, 18, 24, 23, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39,
};

Str texture_slot_file(i32 slot) {
    if (slot < 0 || slot >= TEXTURE_SLOT_COUNT) return Str{};
    return str_from_cstring(SLOT_FILES[slot]);
}

static u32 texture_upload(i32 width, i32 height, const u8* pixels, i32 wrap_s, i32 wrap_t,
                          i32 min_filter, i32 mag_filter, f32 max_anisotropy) {
    u32 texture = texture_create();
    texture_bind(GPU_TEXTURE_2D, texture);
    texture_image_2d(GPU_TEXTURE_2D, 0, GPU_FORMAT_RGBA8, width, height, GPU_PIXELS_RGBA,
                     GPU_PIXELS_U8, pixels);
    texture_parameter_wrap(GPU_TEXTURE_2D, GPU_WRAP_AXIS_S, wrap_s);
    texture_parameter_wrap(GPU_TEXTURE_2D, GPU_WRAP_AXIS_T, wrap_t);
    texture_parameter_filter(GPU_TEXTURE_2D, GPU_FILTER_MINIFYING, min_filter);
    texture_parameter_filter(GPU_TEXTURE_2D, GPU_FILTER_MAGNIFYING, mag_filter);
    texture_parameterf(GPU_TEXTURE_2D, GPU_MAX_ANISOTROPY, max_anisotropy);
    if (min_filter >= GPU_FILTER_NEAREST_MIPMAP_NEAREST &&
        min_filter <= GPU_FILTER_LINEAR_MIPMAP_LINEAR)
        texture_generate_mipmap(GPU_TEXTURE_2D);
    texture_unbind(GPU_TEXTURE_2D);
    return texture;
}

u32 texture_load_or_zero(Str path, i32 wrap_s, i32 wrap_t, i32 min_filter, i32 mag_filter,
                         f32 max_anisotropy) {
    image_set_buffer_position(0);
    Image image;
    if (!image_load(path, &image, 4) || !image.pixels || image.width <= 0 || image.height <= 0)
        return 0;
    return texture_upload(image.width, image.height, image.pixels, wrap_s, wrap_t, min_filter,
                          mag_filter, max_anisotropy);
}

u32 texture_load(Str path, i32 wrap_s, i32 wrap_t, i32 min_filter, i32 mag_filter) {
    u32 texture = texture_load_or_zero(path, wrap_s, wrap_t, min_filter, mag_filter, 8.0f);
    return texture ? texture : g_textures.ids[TEXTURE_WHITE];
}

void texture_release(u32 texture) {
    if (texture != 0 && texture != g_textures.ids[TEXTURE_WHITE]) texture_destroy(texture);
}

void texture_table_load() {
    for (i32 i = 0; i < TEXTURE_SLOT_COUNT; i += 1) g_textures.ids[i] = 0;
    for (i32 i = 0; i < TEXTURE_SLOT_COUNT; i += 1) {
        if (i == TEXTURE_SLOTS_BEFORE_FONT) font_default_load(STR("textures/font_info.txt"));
        i32 slot = i < TEXTURE_SLOTS_BEFORE_FONT ? LOADING_ORDER[i] : i;
        g_textures.ids[slot] = texture_load(texture_slot_file(slot), GPU_WRAP_CLAMP, GPU_WRAP_CLAMP,
                                             GPU_FILTER_LINEAR_MIPMAP_LINEAR, GPU_FILTER_NEAREST);
        // Everything else falls back to white, so white itself must exist: one opaque
        // white texel serves as well as the file.
        if (slot == TEXTURE_WHITE && !g_textures.ids[slot]) {
            const u8 white[4] = {255, 255, 255, 255};
            g_textures.ids[slot] = texture_upload(1, 1, white, GPU_WRAP_CLAMP, GPU_WRAP_CLAMP,
                                                   GPU_FILTER_LINEAR_MIPMAP_LINEAR,
                                                   GPU_FILTER_NEAREST, 8.0f);
        }
    }
}

static void frame_buffer_release() {
    FrameBuffer* buffer = &g_frame_buffer;
    if (buffer->frame_buffer) frame_buffer_destroy(buffer->frame_buffer);
    if (buffer->color_texture) texture_destroy(buffer->color_texture);
    if (buffer->second_texture) texture_destroy(buffer->second_texture);
    if (buffer->depth_render_buffer) render_buffer_destroy(buffer->depth_render_buffer);
    *buffer = FrameBuffer{};
}

void textures_destroy() {
    resources_destroy();
    u32 white = g_textures.ids[TEXTURE_WHITE];
    for (i32 i = 0; i < TEXTURE_SLOT_COUNT; i += 1)
        if (i != TEXTURE_WHITE) texture_release(g_textures.ids[i]);
    if (white) texture_destroy(white);
    for (i32 i = 0; i < TEXTURE_SLOT_COUNT; i += 1) g_textures.ids[i] = 0;
    frame_buffer_release();
}

// ---------------------------------------------------------------------------------------
// Frame buffer
// ---------------------------------------------------------------------------------------
void frame_buffer_build() {
    frame_buffer_release();
    FrameBuffer* buffer = &g_frame_buffer;
    i32 width = g_window.width;
    i32 height = g_window.height;
    buffer->frame_buffer = frame_buffer_create();
    buffer->color_texture = texture_create();
    buffer->depth_render_buffer = render_buffer_create();
    render_buffer_bind(buffer->depth_render_buffer);
    render_buffer_storage(GPU_STORAGE_DEPTH24, width, height);
    render_buffer_unbind();

    texture_bind(GPU_TEXTURE_2D, buffer->color_texture);
    texture_image_2d(GPU_TEXTURE_2D, 0, GPU_FORMAT_RGBA16F, width, height, GPU_PIXELS_RGBA,
                     GPU_PIXELS_U8, 0);
    texture_parameter_wrap(GPU_TEXTURE_2D, GPU_WRAP_AXIS_S, GPU_WRAP_CLAMP);
    texture_parameter_wrap(GPU_TEXTURE_2D, GPU_WRAP_AXIS_T, GPU_WRAP_CLAMP);
    texture_parameter_filter(GPU_TEXTURE_2D, GPU_FILTER_MINIFYING, GPU_FILTER_NEAREST);
    texture_parameter_filter(GPU_TEXTURE_2D, GPU_FILTER_MAGNIFYING, GPU_FILTER_NEAREST);
    texture_unbind(GPU_TEXTURE_2D);

    frame_buffer_bind(GPU_FRAME_BUFFER, buffer->frame_buffer);
    frame_buffer_texture(GPU_FRAME_BUFFER, GPU_ATTACH_COLOR0, 0, buffer->color_texture, 0);
    frame_buffer_render_buffer(GPU_FRAME_BUFFER, GPU_ATTACH_DEPTH, 0, buffer->depth_render_buffer);
    const u32 attachments[1] = {GPU_DRAW_BUFFER_COLOR0};
    pipeline_draw_buffers(1, attachments);
    frame_buffer_check();
    frame_buffer_unbind(GPU_FRAME_BUFFER);
}

void frame_buffer_report(i32 status) {
    static const char* const MESSAGES[9] = {
        0,
        "frame buffer error: undefined\n",
        "frame buffer error: incomplete attachment\n",
        "frame buffer error: missing attachment\n",
        "frame buffer error: incomplete draw buffer\n",
        "frame buffer error: incomplete read attachment\n",
        "frame buffer error: incomplete attachment\n",
        "frame buffer error: incomplete layer attachment\n",
        "frame buffer error: unsupported\n",
    };
    if (status == GPU_STATUS_COMPLETE) return;
    const char* message = status > 0 && status < 9 ? MESSAGES[status] : "frame buffer error\n";
    format_print(str_from_cstring(message), 0, 0);
}

i32 frame_buffer_check() {
    i32 status = frame_buffer_get_status(GPU_FRAME_BUFFER);
    frame_buffer_report(status);
    return status;
}

void frame_buffer_begin(const f32* background) {
    i32 width = g_window.width;
    i32 height = g_window.height;
    frame_buffer_bind(GPU_FRAME_BUFFER, g_frame_buffer.frame_buffer);
    pipeline_viewport(0, 0, width, height);
    shader_program_use(&g_program_simple);
    pipeline_blend_enable(true);
    pipeline_blend_factor(GPU_BLEND_SOURCE_ALPHA, GPU_BLEND_ONE_MINUS_SOURCE_ALPHA);
    // The frame buffer holds linear light; the resolve raises it back by 1 / gamma.
    f64 gamma = g_window.gamma;
    pipeline_clear_color((f32)math_pow(background[0], gamma), (f32)math_pow(background[1], gamma),
                         (f32)math_pow(background[2], gamma), background[3]);
    pipeline_clear(GPU_CLEAR_COLOR | GPU_CLEAR_DEPTH);
}

void frame_buffer_resolve() {
    i32 width = g_window.width;
    i32 height = g_window.height;
    g_projection_matrix = matrix_orthographic(0.0f, (f32)width, 0.0f, (f32)height);
    g_view_matrix = matrix_identity();
    frame_buffer_unbind(GPU_FRAME_BUFFER);
    pipeline_viewport(0, 0, width, height);
    pipeline_blend_enable(false);
    shader_program_use(&g_program_gamma);
    set_uniform_float(STR("gamma"), (f32)g_window.gamma);
    bind_texture(g_frame_buffer.color_texture);
    for (i32 i = 0; i < 4; i += 1) g_mesh.current_color[i] = 1.0f;
    mesh_reset();
    mesh_push_rect(0.0f, 0.0f, (f32)width, (f32)height, 0.0f, 0.0f, UV_FULL);
    if (g_mesh.indices.count > 0) mesh_flush();
}
