// Headless back end, graphics: keeps the pipeline state and the objects an OpenGL context
// would (ids from per-kind counters, buffer contents, texture sizes, uniform locations and
// uploaded values) and records every draw_elements with copies of what it drew. Main thread
// only. Sections: object tables, buffers and vertex arrays, shaders and uniforms, textures,
// frame and render buffers, pipeline state, draws, test queries.
#include "platform/headless_internal.h"

#include <stdlib.h>
#include <string.h>

enum { HEADLESS_TEXTURE_UNITS = 16 };
static const u32 HEADLESS_NO_LOCATION = 0xFFFFFFFF;

struct HeadlessBuffer {
    bool live;
    u8* data;  // malloc'd copy of the last buffer_data
    i64 size;
};

// As in OpenGL, the index buffer binding and the buffer the attributes read are part of
// the vertex array; the vertex buffer binding itself is not.
struct HeadlessVertexArray {
    bool live;
    u32 index_buffer;
    u32 attribute_buffer;  // bound to target 0 at the last attribute_format
};

struct HeadlessProgram {
    bool live, linked;
    Str source;  // malloc'd copy
    // Last uploads to the uniforms that draw records carry.
    f32 mvp[16];
    f32 diffuse[4];
    f32 gamma;
};

struct HeadlessUniform {
    bool live;
    u32 program;
    Str name;  // malloc'd copy
};

struct HeadlessTexture {
    bool live, mipmapped;
    i32 width, height;
};

// Every record above starts with its live flag, so a table can test any of them.
struct HeadlessObject {
    bool live;
};

// A growable array indexed by id - 1; ids are never reused until headless_reset.
struct HeadlessTable {
    void* items;
    i64 count, capacity, live;
};

struct HeadlessGraphics {
    HeadlessTable buffers, vertex_arrays, programs, uniforms, textures, frame_buffers,
        render_buffers;
    u32 vertex_buffer_binding;
    u32 loose_index_buffer;  // index buffer bound while no vertex array is
    u32 vertex_array;
    u32 program;
    i32 texture_unit;
    u32 unit_textures[HEADLESS_TEXTURE_UNITS];  // 2D binding per texture unit
    u32 frame_buffer, render_buffer;
    i32 viewport[4];
    i32 scissor_rect[4];
    f32 clear_color[4];
    bool blend, depth, cull, scissor;
    i32 blend_source, blend_destination;
    i64 clear_count, present_count;
    HeadlessDraw* draws;
    i64 draw_count, draw_capacity;
};

static HeadlessGraphics headless_graphics;

// ---------------------------------------------------------------------------
// Object tables
// ---------------------------------------------------------------------------
static u32 headless_table_add(HeadlessTable* table, i64 item_size) {
    if (table->count == table->capacity) {
        i64 capacity = table->capacity > 0 ? table->capacity * 2 : 16;
        void* grown = realloc(table->items, (size_t)(capacity * item_size));
        if (!grown) abort();
        table->items = grown;
        table->capacity = capacity;
    }
    u8* item = (u8*)table->items + table->count * item_size;
    memset(item, 0, (size_t)item_size);
    ((HeadlessObject*)item)->live = true;
    table->count += 1;
    table->live += 1;
    return (u32)table->count;
}

// The live object with this id, or null for 0, an unknown id or a destroyed object.
static void* headless_table_get(HeadlessTable* table, u32 id, i64 item_size) {
    if (id == 0 || (i64)id > table->count) return nullptr;
    u8* item = (u8*)table->items + (i64)(id - 1) * item_size;
    return ((HeadlessObject*)item)->live ? item : nullptr;
}

static bool headless_table_kill(HeadlessTable* table, u32 id, i64 item_size) {
    HeadlessObject* item = (HeadlessObject*)headless_table_get(table, id, item_size);
    if (!item) return false;
    item->live = false;
    table->live -= 1;
    return true;
}

#define TABLE_ADD(table, Type) headless_table_add(&headless_graphics.table, (i64)sizeof(Type))
#define TABLE_GET(table, Type, id) \
    ((Type*)headless_table_get(&headless_graphics.table, id, (i64)sizeof(Type)))
#define TABLE_KILL(table, Type, id) \
    headless_table_kill(&headless_graphics.table, id, (i64)sizeof(Type))

void headless_draws_clear() {
    HeadlessGraphics* graphics = &headless_graphics;
    // The vertex and index copies of one draw share one block, held by vertex_bytes.
    for (i64 i = 0; i < graphics->draw_count; i += 1) free((void*)graphics->draws[i].vertex_bytes);
    graphics->draw_count = 0;
}

void headless_reset_graphics() {
    HeadlessGraphics* graphics = &headless_graphics;
    headless_draws_clear();
    free(graphics->draws);
    HeadlessBuffer* buffers = (HeadlessBuffer*)graphics->buffers.items;
    for (i64 i = 0; i < graphics->buffers.count; i += 1) free(buffers[i].data);
    HeadlessProgram* programs = (HeadlessProgram*)graphics->programs.items;
    for (i64 i = 0; i < graphics->programs.count; i += 1) free(programs[i].source.data);
    HeadlessUniform* uniforms = (HeadlessUniform*)graphics->uniforms.items;
    for (i64 i = 0; i < graphics->uniforms.count; i += 1) free(uniforms[i].name.data);
    HeadlessTable* tables[] = {&graphics->buffers,      &graphics->vertex_arrays,
                               &graphics->programs,     &graphics->uniforms,
                               &graphics->textures,     &graphics->frame_buffers,
                               &graphics->render_buffers};
    for (i64 i = 0; i < ARRAY_COUNT(tables); i += 1) free(tables[i]->items);
    *graphics = HeadlessGraphics{};
    graphics->blend_source = 1;  // OpenGL's initial blend function: one, zero
}

// A fresh context's viewport and scissor box cover the window.
void headless_graphics_context_created(i32 width, i32 height) {
    HeadlessGraphics* graphics = &headless_graphics;
    i32 box[4] = {0, 0, width, height};
    memcpy(graphics->viewport, box, sizeof(box));
    memcpy(graphics->scissor_rect, box, sizeof(box));
}

// ---------------------------------------------------------------------------
// Buffers and vertex arrays
// ---------------------------------------------------------------------------
u32 buffer_create() { return TABLE_ADD(buffers, HeadlessBuffer); }

static u32* headless_index_binding() {
    HeadlessVertexArray* vertex_array =
        TABLE_GET(vertex_arrays, HeadlessVertexArray, headless_graphics.vertex_array);
    return vertex_array ? &vertex_array->index_buffer : &headless_graphics.loose_index_buffer;
}

static u32* headless_buffer_binding(i32 target) {
    if (target == GPU_BUFFER_VERTEX) return &headless_graphics.vertex_buffer_binding;
    if (target == GPU_BUFFER_INDEX) return headless_index_binding();
    return nullptr;
}

void buffer_bind(i32 target, u32 buffer) {
    u32* binding = headless_buffer_binding(target);
    if (binding) *binding = buffer;
}

void buffer_data(i32 target, i64 size, const void* data, i32 usage) {
    (void)usage;
    u32* binding = headless_buffer_binding(target);
    HeadlessBuffer* buffer = binding ? TABLE_GET(buffers, HeadlessBuffer, *binding) : nullptr;
    if (!buffer || size < 0) return;
    u8* copy = size > 0 ? (u8*)malloc((size_t)size) : nullptr;
    if (size > 0 && !copy) abort();
    if (copy && data) memcpy(copy, data, (size_t)size);
    if (copy && !data) memset(copy, 0, (size_t)size);
    free(buffer->data);
    buffer->data = copy;
    buffer->size = size;
}

void buffer_destroy(u32 buffer) {
    HeadlessBuffer* record = TABLE_GET(buffers, HeadlessBuffer, buffer);
    if (!record) return;
    free(record->data);
    record->data = nullptr;
    record->size = 0;
    TABLE_KILL(buffers, HeadlessBuffer, buffer);
    HeadlessGraphics* graphics = &headless_graphics;
    if (graphics->vertex_buffer_binding == buffer) graphics->vertex_buffer_binding = 0;
    if (graphics->loose_index_buffer == buffer) graphics->loose_index_buffer = 0;
    u32* index_binding = headless_index_binding();
    if (*index_binding == buffer) *index_binding = 0;
}

u32 vertex_array_create() { return TABLE_ADD(vertex_arrays, HeadlessVertexArray); }

void vertex_array_bind(u32 vertex_array) { headless_graphics.vertex_array = vertex_array; }

void vertex_array_unbind() { headless_graphics.vertex_array = 0; }

void vertex_array_destroy(u32 vertex_array) {
    if (!TABLE_KILL(vertex_arrays, HeadlessVertexArray, vertex_array)) return;
    if (headless_graphics.vertex_array == vertex_array) headless_graphics.vertex_array = 0;
}

void attribute_enable(u32 slot, bool on) {
    (void)slot;
    (void)on;
}

void attribute_format(u32 slot, i32 components, i32 type, bool normalized, i32 stride,
                      i64 offset) {
    (void)slot;
    (void)components;
    (void)type;
    (void)normalized;
    (void)stride;
    (void)offset;
    HeadlessVertexArray* vertex_array =
        TABLE_GET(vertex_arrays, HeadlessVertexArray, headless_graphics.vertex_array);
    if (vertex_array) vertex_array->attribute_buffer = headless_graphics.vertex_buffer_binding;
}

// ---------------------------------------------------------------------------
// Shaders and uniforms
// ---------------------------------------------------------------------------
u32 shader_create() { return TABLE_ADD(programs, HeadlessProgram); }

static void headless_write_log(u8* log, i64 capacity, const char* text) {
    if (!log || capacity <= 0) return;
    i64 length = (i64)strlen(text);
    if (length > capacity - 1) length = capacity - 1;
    memcpy(log, text, (size_t)length);
    log[length] = 0;
}

// Compiles when the first line is a #version line; that is the one thing the real compiler
// checks that a broken shader file reliably gets wrong.
bool shader_source(u32 program, Str source, u8* log, i64 log_capacity) {
    HeadlessProgram* record = TABLE_GET(programs, HeadlessProgram, program);
    if (!record) {
        headless_write_log(log, log_capacity, "headless: no such program\n");
        return false;
    }
    free(record->source.data);
    record->source = headless_copy(source);
    Str version = STR("#version");
    record->linked = source.length >= version.length &&
                     str_equal(str_make(source.data, version.length), version);
    if (!record->linked)
        headless_write_log(log, log_capacity, "0:1: error: the first line is not #version\n");
    return record->linked;
}

static bool headless_identifier_byte(u8 c) {
    return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The name occurs as a whole identifier ("diffuse" is not found in "diffuse_map").
static bool headless_source_has_identifier(Str source, Str name) {
    for (i64 start = 0; start + name.length <= source.length; start += 1) {
        if (memcmp(source.data + start, name.data, (size_t)name.length) != 0) continue;
        i64 end = start + name.length;
        bool open_before = start == 0 || !headless_identifier_byte(source.data[start - 1]);
        bool open_after = end == source.length || !headless_identifier_byte(source.data[end]);
        if (open_before && open_after) return true;
    }
    return false;
}

// Locations are distinct across all programs, so one location names one program's uniform.
u32 shader_get_uniform_location(u32 program, Str name) {
    HeadlessProgram* record = TABLE_GET(programs, HeadlessProgram, program);
    if (!record || !record->linked || name.length <= 0) return HEADLESS_NO_LOCATION;
    if (!headless_source_has_identifier(record->source, name)) return HEADLESS_NO_LOCATION;
    HeadlessUniform* uniforms = (HeadlessUniform*)headless_graphics.uniforms.items;
    for (i64 i = 0; i < headless_graphics.uniforms.count; i += 1)
        if (uniforms[i].program == program && str_equal(uniforms[i].name, name))
            return (u32)(i + 1);
    u32 location = TABLE_ADD(uniforms, HeadlessUniform);
    HeadlessUniform* uniform = TABLE_GET(uniforms, HeadlessUniform, location);
    uniform->program = program;
    uniform->name = headless_copy(name);
    return location;
}

void shader_bind(u32 program) { headless_graphics.program = program; }

void shader_destroy(u32 program) {
    HeadlessProgram* record = TABLE_GET(programs, HeadlessProgram, program);
    if (!record) return;
    free(record->source.data);
    record->source = Str{};
    record->linked = false;
    TABLE_KILL(programs, HeadlessProgram, program);
}

// An upload reaches the bound program only, through a location of that program; anything
// else is dropped, as a wrong upload would draw nothing useful on a real driver.
static HeadlessProgram* headless_upload_target(u32 location, Str name) {
    HeadlessUniform* uniform = TABLE_GET(uniforms, HeadlessUniform, location);
    if (!uniform || uniform->program != headless_graphics.program) return nullptr;
    if (!str_equal(uniform->name, name)) return nullptr;
    return TABLE_GET(programs, HeadlessProgram, uniform->program);
}

void shader_uniform1i(u32 location, i32 value) {
    (void)location;
    (void)value;
}

void shader_uniform1f(u32 location, f32 value) {
    HeadlessProgram* program = headless_upload_target(location, STR("gamma"));
    if (program) program->gamma = value;
}

void shader_uniform4f(u32 location, f32 x, f32 y, f32 z, f32 w) {
    HeadlessProgram* program = headless_upload_target(location, STR("diffuse"));
    if (!program) return;
    program->diffuse[0] = x;
    program->diffuse[1] = y;
    program->diffuse[2] = z;
    program->diffuse[3] = w;
}

void shader_uniform_matrix3fa(u32 location, i32 count, bool transpose, const f32* values) {
    (void)location;
    (void)count;
    (void)transpose;
    (void)values;
}

void shader_uniform_matrix4fa(u32 location, i32 count, bool transpose, const f32* values) {
    HeadlessProgram* program =
        headless_upload_target(location, STR("matrix_model_view_projection"));
    if (!program || count < 1 || !values) return;
    // Kept column-major, as the shader sees it.
    for (i32 column = 0; column < 4; column += 1)
        for (i32 row = 0; row < 4; row += 1)
            program->mvp[column * 4 + row] =
                transpose ? values[row * 4 + column] : values[column * 4 + row];
}

// ---------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------
u32 texture_create() { return TABLE_ADD(textures, HeadlessTexture); }

void texture_unit(i32 unit) {
    if (unit >= 0 && unit < HEADLESS_TEXTURE_UNITS) headless_graphics.texture_unit = unit;
}

// Only target 1 (two-dimensional) exists here: a wrong target binds nothing, which a test
// then sees as texture 0 in the draw record.
void texture_bind(i32 target, u32 texture) {
    if (target == GPU_TEXTURE_2D)
        headless_graphics.unit_textures[headless_graphics.texture_unit] = texture;
}

void texture_unbind(i32 target) { texture_bind(target, 0); }

static HeadlessTexture* headless_bound_texture(i32 target) {
    if (target != GPU_TEXTURE_2D) return nullptr;
    u32 texture = headless_graphics.unit_textures[headless_graphics.texture_unit];
    return TABLE_GET(textures, HeadlessTexture, texture);
}

void texture_image_2d(i32 target, i32 level, i32 internal_format, i32 width, i32 height,
                      i32 format, i32 type, const void* pixels) {
    (void)internal_format;
    (void)format;
    (void)type;
    (void)pixels;
    HeadlessTexture* texture = headless_bound_texture(target);
    if (!texture || level != 0) return;
    texture->width = width;
    texture->height = height;
}

void texture_parameter_wrap(i32 target, i32 axis, i32 wrap) {
    (void)target;
    (void)axis;
    (void)wrap;
}

void texture_parameter_filter(i32 target, i32 which, i32 filter) {
    (void)target;
    (void)which;
    (void)filter;
}

void texture_parameterf(i32 target, i32 parameter, f32 value) {
    (void)target;
    (void)parameter;
    (void)value;
}

void texture_generate_mipmap(i32 target) {
    HeadlessTexture* texture = headless_bound_texture(target);
    if (texture) texture->mipmapped = true;
}

void texture_destroy(u32 texture) {
    if (!TABLE_KILL(textures, HeadlessTexture, texture)) return;
    u32* bindings = headless_graphics.unit_textures;
    for (i32 unit = 0; unit < HEADLESS_TEXTURE_UNITS; unit += 1)
        if (bindings[unit] == texture) bindings[unit] = 0;
}

// ---------------------------------------------------------------------------
// Frame and render buffers (always complete; attachments are not checked)
// ---------------------------------------------------------------------------
u32 frame_buffer_create() { return TABLE_ADD(frame_buffers, HeadlessObject); }

void frame_buffer_bind(i32 target, u32 frame_buffer) {
    if (target == GPU_FRAME_BUFFER) headless_graphics.frame_buffer = frame_buffer;
}

void frame_buffer_unbind(i32 target) { frame_buffer_bind(target, 0); }

void frame_buffer_texture(i32 target, i32 attachment, i32 texture_target, u32 texture,
                          i32 level) {
    (void)target;
    (void)attachment;
    (void)texture_target;
    (void)texture;
    (void)level;
}

void frame_buffer_render_buffer(i32 target, i32 attachment, i32 render_buffer_target,
                                u32 render_buffer) {
    (void)target;
    (void)attachment;
    (void)render_buffer_target;
    (void)render_buffer;
}

i32 frame_buffer_get_status(i32 target) {
    (void)target;
    return 0;
}

void frame_buffer_destroy(u32 frame_buffer) {
    if (!TABLE_KILL(frame_buffers, HeadlessObject, frame_buffer)) return;
    if (headless_graphics.frame_buffer == frame_buffer) headless_graphics.frame_buffer = 0;
}

u32 render_buffer_create() { return TABLE_ADD(render_buffers, HeadlessObject); }

void render_buffer_bind(u32 render_buffer) { headless_graphics.render_buffer = render_buffer; }

void render_buffer_unbind() { headless_graphics.render_buffer = 0; }

void render_buffer_storage(i32 format, i32 width, i32 height) {
    (void)format;
    (void)width;
    (void)height;
}

void render_buffer_destroy(u32 render_buffer) {
    if (!TABLE_KILL(render_buffers, HeadlessObject, render_buffer)) return;
    if (headless_graphics.render_buffer == render_buffer) headless_graphics.render_buffer = 0;
}

// ---------------------------------------------------------------------------
// Pipeline state
// ---------------------------------------------------------------------------
void pipeline_viewport(i32 x, i32 y, i32 width, i32 height) {
    i32* viewport = headless_graphics.viewport;
    viewport[0] = x;
    viewport[1] = y;
    viewport[2] = width;
    viewport[3] = height;
}

void pipeline_clear_color(f32 r, f32 g, f32 b, f32 a) {
    f32* color = headless_graphics.clear_color;
    color[0] = r;
    color[1] = g;
    color[2] = b;
    color[3] = a;
}

void pipeline_clear(u32 mask) {
    (void)mask;
    headless_graphics.clear_count += 1;
}

void pipeline_blend_enable(bool on) { headless_graphics.blend = on; }

void pipeline_blend_factor(i32 source, i32 destination) {
    headless_graphics.blend_source = source;
    headless_graphics.blend_destination = destination;
}

void pipeline_depth_enable(bool on) { headless_graphics.depth = on; }

void pipeline_cull_enable(bool on) { headless_graphics.cull = on; }

void pipeline_scissor_enable(bool on) { headless_graphics.scissor = on; }

void pipeline_scissor_rect(i32 x, i32 y, i32 width, i32 height) {
    i32* rect = headless_graphics.scissor_rect;
    rect[0] = x;
    rect[1] = y;
    rect[2] = width;
    rect[3] = height;
}

void pipeline_draw_buffers(i32 count, const u32* attachments) {
    (void)count;
    (void)attachments;
}

void pipeline_present() { headless_graphics.present_count += 1; }

// ---------------------------------------------------------------------------
// Draws
// ---------------------------------------------------------------------------
// Records the draw with one block holding the whole vertex buffer, then `count` indices
// from `offset` bytes into the index buffer (zeros past its end).
void draw_elements(i32 mode, i32 index_type, i64 offset, i64 count, i32 base_vertex,
                   i32 instances) {
    (void)mode;
    (void)index_type;
    (void)base_vertex;
    (void)instances;
    HeadlessGraphics* graphics = &headless_graphics;
    if (count < 0) count = 0;
    HeadlessVertexArray* vertex_array =
        TABLE_GET(vertex_arrays, HeadlessVertexArray, graphics->vertex_array);
    u32 vertex_id = vertex_array && vertex_array->attribute_buffer
                        ? vertex_array->attribute_buffer
                        : graphics->vertex_buffer_binding;
    HeadlessBuffer* vertices = TABLE_GET(buffers, HeadlessBuffer, vertex_id);
    HeadlessBuffer* indices = TABLE_GET(buffers, HeadlessBuffer, *headless_index_binding());
    i64 vertex_size = vertices ? vertices->size : 0;
    i64 vertex_room = (vertex_size + 3) / 4 * 4;  // keeps the indices aligned
    i64 index_size = count * (i64)sizeof(u32);

    u8* block = (u8*)malloc((size_t)(vertex_room + index_size + 1));
    if (!block) abort();
    memset(block, 0, (size_t)(vertex_room + index_size));
    if (vertex_size > 0) memcpy(block, vertices->data, (size_t)vertex_size);
    i64 index_bytes_left = indices && offset >= 0 && offset < indices->size
                               ? indices->size - offset : 0;
    i64 index_copy = index_size < index_bytes_left ? index_size : index_bytes_left;
    if (index_copy > 0) memcpy(block + vertex_room, indices->data + offset, (size_t)index_copy);

    if (graphics->draw_count == graphics->draw_capacity) {
        i64 capacity = graphics->draw_capacity > 0 ? graphics->draw_capacity * 2 : 64;
        void* grown = realloc(graphics->draws, (size_t)capacity * sizeof(HeadlessDraw));
        if (!grown) abort();
        graphics->draws = (HeadlessDraw*)grown;
        graphics->draw_capacity = capacity;
    }
    HeadlessDraw* draw = &graphics->draws[graphics->draw_count];
    graphics->draw_count += 1;
    *draw = HeadlessDraw{};
    draw->program = graphics->program;
    draw->texture = graphics->unit_textures[0];
    draw->frame_buffer = graphics->frame_buffer;
    memcpy(draw->viewport, graphics->viewport, sizeof(draw->viewport));
    draw->blend = graphics->blend;
    draw->depth = graphics->depth;
    draw->scissor = graphics->scissor;
    memcpy(draw->scissor_rect, graphics->scissor_rect, sizeof(draw->scissor_rect));
    memcpy(draw->clear_color, graphics->clear_color, sizeof(draw->clear_color));
    HeadlessProgram* program = TABLE_GET(programs, HeadlessProgram, graphics->program);
    if (program) {
        memcpy(draw->mvp, program->mvp, sizeof(draw->mvp));
        memcpy(draw->diffuse, program->diffuse, sizeof(draw->diffuse));
        draw->gamma = program->gamma;
    }
    draw->index_count = count;
    draw->vertex_bytes = block;
    draw->vertex_byte_count = vertex_size;
    draw->indices = (const u32*)(block + vertex_room);
}

// ---------------------------------------------------------------------------
// Test queries
// ---------------------------------------------------------------------------
i64 headless_present_count() { return headless_graphics.present_count; }

i64 headless_draw_count() { return headless_graphics.draw_count; }

const HeadlessDraw* headless_draw(i64 index) {
    if (index < 0 || index >= headless_graphics.draw_count) return nullptr;
    return &headless_graphics.draws[index];
}

i64 headless_clear_count() { return headless_graphics.clear_count; }

i64 headless_live_textures() { return headless_graphics.textures.live; }

i64 headless_live_frame_buffers() { return headless_graphics.frame_buffers.live; }

i64 headless_live_render_buffers() { return headless_graphics.render_buffers.live; }

i64 headless_live_buffers() { return headless_graphics.buffers.live; }

void headless_texture_info(u32 texture, i32* width, i32* height, bool* mipmapped) {
    HeadlessTexture* record = TABLE_GET(textures, HeadlessTexture, texture);
    if (width) *width = record ? record->width : 0;
    if (height) *height = record ? record->height : 0;
    if (mipmapped) *mipmapped = record ? record->mipmapped : false;
}

Str headless_uniform_name(u32 location) {
    HeadlessUniform* uniform = TABLE_GET(uniforms, HeadlessUniform, location);
    return uniform ? uniform->name : Str{};
}
