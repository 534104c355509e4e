// The renderer, the one road to the screen: three shader programs with their uniform
// tables, the process-wide immediate mesh, the view and projection matrices, and the
// drawing primitives. Every rectangle, line and text run is its own draw call. Main thread.
//
// Colours are `const f32*` pointing at four floats RGBA, as the theme stores them, written
// as they should appear on screen: the "simple" program takes them to linear light and the
// resolve through "gamma" brings the frame back. Rectangles and uv rectangles are also four
// floats (x, y, width, height) and (u, v, du, dv).
#pragma once

#include "base/hash_table.h"
#include "base/pool.h"
#include "gfx/matrix.h"

struct Font;

// The only vertex layout: slot 0 position, slot 1 colour, slot 2 texture coordinate.
struct Vertex {
    f32 position[3];
    f32 color[4];
    f32 uv[2];
};
static_assert(sizeof(Vertex) == 36, "the vertex array is set up for 36-byte vertices");

struct ImmediateMesh {
    Font* font;  // made current by bind_font; not owned
    u8 horizontal_alignment;  // 0 left, 2 centred, 3 right (set by the text drawer)
    u8 vertical_alignment;    // 0 first line sits on y, 1 last line sits, 2 centred, 4 hangs
    // Glyph quads snap to multiples of this step: 1 (the start-up value) keeps interface text
    // on whole pixels; drawing text in canvas units needs 0, which turns snapping off.
    f64 pixel_snap;
    f32 current_color[4];
    u32 vertex_array, vertex_buffer, index_buffer;
    PoolArray<Vertex> vertices;
    PoolArray<u32> indices;
};

extern ImmediateMesh g_mesh;

// --- Shader programs and uniforms ----------------------------------------------------
enum : u32 { UNIFORM_NONE = 0xFFFFFFFFu };

// A program's uniform names to their locations, in the program's hash table; a name
// inserted again keeps its first location.
typedef HashTable<Str, u32> UniformTable;

struct ShaderProgram {
    u32 id;
    UniformTable uniforms;
    Str name;
    Str source;
    const Str* uniform_names;
    i64 uniform_count;
};

extern ShaderProgram g_program_simple;  // everything drawn into the frame buffer
extern ShaderProgram g_program_gamma;   // the resolve of the frame buffer to the window
extern ShaderProgram g_program_color;   // the colour picker's saturation/value field
extern ShaderProgram* g_current_program;  // whose table the uniform setters consult
extern Mat4 g_view_matrix;
extern Mat4 g_projection_matrix;

bool uniform_table_init(UniformTable* table, u8 pool);
bool uniform_table_insert(UniformTable* table, Str name, u32 location);
// The stored location, or UNIFORM_NONE.
u32 uniform_table_find(const UniformTable* table, Str name);

// Compiles the source and fills the uniform table. A failed compilation is reported on
// standard output and the program stays in place (its draws show nothing useful).
void shader_program_load(ShaderProgram* program, Str name, Str source, const Str* uniform_names,
                         i64 uniform_count);
// shader_bind and current program := program.
void shader_program_use(ShaderProgram* program);

u32 uniform_location(Str name);  // in the current program; UNIFORM_NONE when absent
void set_uniform_float(Str name, f32 value);
void set_uniform_vec4(Str name, f32 x, f32 y, f32 z, f32 w);
void set_uniform_matrix4(Str name, const f32* matrix);
void set_uniform_matrix3(Str name, const f32* matrix);

// Texture unit 0, and "diffuse_map" := 0.
void bind_texture(u32 texture);
// The font becomes current for text; its page texture is bound.
void bind_font(Font* font);

// --- Mesh and primitives -----------------------------------------------------------------
extern const f32 UV_FULL[4];  // (0, 0, 1, 1)

// Appends a rectangle whose pivot point (pivot_x, pivot_y from its lower-left corner) lands
// on (x, y); vertices take the current colour.
void mesh_push_rect(f32 x, f32 y, f32 width, f32 height, f32 pivot_x, f32 pivot_y,
                    const f32* uv);
// Appends a quadrilateral p0..p3 (counter-clockwise from the lower left); vertex i takes
// the current colour times ci.
void mesh_push_quad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, const f32* c0, const f32* c1,
                    const f32* c2, const f32* c3, const f32* uv);
void mesh_reset();  // both counts := 0
// Uploads both lists and the uniforms and draws them with one indexed draw call.
void mesh_flush();

// One tinted textured rectangle; untextured boxes pass the white texture.
void draw_rect(u32 texture, const f32* color, f32 x, f32 y, f32 width, f32 height,
               f32 pivot_x, f32 pivot_y);
// One segment, half_width on either side; a zero-length segment draws nothing visible.
void draw_line(u32 texture, const f32* color, f32 x0, f32 y0, f32 x1, f32 y1, f32 half_width,
               const f32* uv);

// The three programs from "shaders/", then the mesh's vertex array and buffers.
void renderer_load();
// The mesh's buffers and vertex array and the programs; the mesh lists are forgotten.
void renderer_release();
