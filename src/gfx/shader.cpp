// Shader programs: loading from "shaders/", the uniform tables, the uniform setters and
// texture binding; also start-up and release of the renderer. Main thread only.
#include <string.h>

#include "base/format.h"
#include "base/text.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/textures.h"
#include "model/files.h"
#include "platform/system.h"

ShaderProgram g_program_simple;
ShaderProgram g_program_gamma;
ShaderProgram g_program_color;
ShaderProgram* g_current_program;

static const Str STANDARD_UNIFORMS[] = {STR("matrix_model_view_projection"), STR("uv_rect"),
                                        STR("diffuse"), STR("diffuse_map"), STR("gamma")};
static const Str COLOR_UNIFORMS[] = {STR("matrix_model_view_projection"), STR("diffuse_map"),
                                     STR("gamma")};

// ---------------------------------------------------------------------------------------
// Uniform table
// ---------------------------------------------------------------------------------------
bool uniform_table_init(UniformTable* table, u8 pool) {
    *table = UniformTable{};
    table->pool = pool;
    return true;
}

bool uniform_table_insert(UniformTable* table, Str name, u32 location) {
    return hash_table_insert(table, name, location, HASH_KEEP_FIRST, HASH_PROBE_ANY);
}

u32 uniform_table_find(const UniformTable* table, Str name) {
    const u32* location = hash_table_find(table, name);
    return location ? *location : UNIFORM_NONE;
}

// ---------------------------------------------------------------------------------------
// Programs
// ---------------------------------------------------------------------------------------
void shader_program_load(ShaderProgram* program, Str name, Str source, const Str* uniform_names,
                         i64 uniform_count) {
    program->name = name;
    program->source = source;
    program->uniform_names = uniform_names;
    program->uniform_count = uniform_count;
    program->id = shader_create();
    u8 log[4096];
    memset(log, 0, sizeof(log));
    if (!shader_source(program->id, source, log, (i64)sizeof(log))) {
        log[sizeof(log) - 1] = 0;
        const FormatArg args[] = {fa_str(name), fa_str(str_from_cstring((const char*)log))};
        format_print(STR("failed to compile shader '%a':\n%b"), args, ARRAY_COUNT(args));
    }
    uniform_table_init(&program->uniforms, POOL_MAIN);
    for (i64 i = 0; i < uniform_count; i += 1)
        uniform_table_insert(&program->uniforms, uniform_names[i],
                             shader_get_uniform_location(program->id, uniform_names[i]));
}

void shader_program_use(ShaderProgram* program) {
    shader_bind(program->id);
    g_current_program = program;
}

u32 uniform_location(Str name) {
    if (!g_current_program) return UNIFORM_NONE;
    return uniform_table_find(&g_current_program->uniforms, name);
}

void set_uniform_float(Str name, f32 value) { shader_uniform1f(uniform_location(name), value); }

void set_uniform_vec4(Str name, f32 x, f32 y, f32 z, f32 w) {
    shader_uniform4f(uniform_location(name), x, y, z, w);
}

void set_uniform_matrix4(Str name, const f32* matrix) {
    shader_uniform_matrix4fa(uniform_location(name), 1, false, matrix);
}

void set_uniform_matrix3(Str name, const f32* matrix) {
    shader_uniform_matrix3fa(uniform_location(name), 1, false, matrix);
}

void bind_texture(u32 texture) {
    texture_unit(0);
    texture_bind(GPU_TEXTURE_2D, texture);
    shader_uniform1i(uniform_location(STR("diffuse_map")), 0);
}

void bind_font(Font* font) {
    g_mesh.font = font;
    bind_texture(font ? font->page_texture : g_textures.ids[TEXTURE_WHITE]);
}

// ---------------------------------------------------------------------------------------
// Start-up and release
// ---------------------------------------------------------------------------------------
static void program_from_file(ShaderProgram* program, Str name, Str path, const Str* uniforms,
                              i64 count) {
    Str source = read_entire_file(path, POOL_MAIN);
    shader_program_load(program, name, source, uniforms, count);
}

static void mesh_setup() {
    ImmediateMesh* mesh = &g_mesh;
    array_init(&mesh->vertices, POOL_MAIN);
    array_init(&mesh->indices, POOL_MAIN);
    mesh->vertex_array = vertex_array_create();
    mesh->vertex_buffer = buffer_create();
    mesh->index_buffer = buffer_create();
    vertex_array_bind(mesh->vertex_array);
    buffer_bind(GPU_BUFFER_VERTEX, mesh->vertex_buffer);
    const i32 components[3] = {3, 4, 2};
    const i64 offsets[3] = {0, 12, 28};
    for (u32 slot = 0; slot < 3; slot += 1) {
        attribute_enable(slot, true);
        attribute_format(slot, components[slot], GPU_TYPE_FLOAT, false, (i32)sizeof(Vertex),
                         offsets[slot]);
    }
    buffer_bind(GPU_BUFFER_INDEX, mesh->index_buffer);
    vertex_array_unbind();
}

void renderer_load() {
    g_mesh = ImmediateMesh{};
    g_mesh.pixel_snap = 1.0;
    g_mesh.vertical_alignment = 1;
    for (i32 i = 0; i < 4; i += 1) g_mesh.current_color[i] = 1.0f;
    g_view_matrix = matrix_identity();
    g_projection_matrix = matrix_identity();
    program_from_file(&g_program_simple, STR("simple"), STR("shaders/simple.glsl"),
                      STANDARD_UNIFORMS, ARRAY_COUNT(STANDARD_UNIFORMS));
    program_from_file(&g_program_gamma, STR("gamma"), STR("shaders/gamma.glsl"),
                      STANDARD_UNIFORMS, ARRAY_COUNT(STANDARD_UNIFORMS));
    program_from_file(&g_program_color, STR("color"), STR("shaders/color.glsl"), COLOR_UNIFORMS,
                      ARRAY_COUNT(COLOR_UNIFORMS));
    mesh_setup();
    shader_program_use(&g_program_simple);
}

void renderer_release() {
    if (g_mesh.vertex_buffer) buffer_destroy(g_mesh.vertex_buffer);
    if (g_mesh.index_buffer) buffer_destroy(g_mesh.index_buffer);
    if (g_mesh.vertex_array) vertex_array_destroy(g_mesh.vertex_array);
    ShaderProgram* programs[] = {&g_program_simple, &g_program_gamma, &g_program_color};
    for (i64 i = 0; i < ARRAY_COUNT(programs); i += 1) {
        if (programs[i]->id) shader_destroy(programs[i]->id);
        *programs[i] = ShaderProgram{};
    }
    g_current_program = 0;
    // The lists live in POOL_MAIN, which shutdown frees next.
    g_mesh = ImmediateMesh{};
}
