// The immediate mesh and the drawing primitives: rectangles, quadrilaterals and lines are
// pushed into the one process-wide mesh and drawn at once, one draw call each, with the
// view and projection matrices of the moment. Main thread only.
#include "gfx/renderer.h"

#include "gfx/view.h"
#include "platform/system.h"

ImmediateMesh g_mesh;
WindowView g_window;
Camera g_camera;
Mat4 g_view_matrix;
Mat4 g_projection_matrix;

const f32 UV_FULL[4] = {0.0f, 0.0f, 1.0f, 1.0f};
static const f32 WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};

void mesh_reset() {
    g_mesh.vertices.count = 0;
    g_mesh.indices.count = 0;
}

// Room for four more vertices and six more indices, or nothing is pushed at all.
static bool mesh_reserve_quad() {
    ImmediateMesh* mesh = &g_mesh;
    if (mesh->vertices.count + 4 > mesh->vertices.capacity) {
        i64 wanted = mesh->vertices.capacity ? mesh->vertices.capacity : 1;
        while (wanted < mesh->vertices.count + 4) wanted *= 2;
        if (!array_reserve(&mesh->vertices, wanted)) return false;
    }
    if (mesh->indices.count + 6 > mesh->indices.capacity) {
        i64 wanted = mesh->indices.capacity ? mesh->indices.capacity : 1;
        while (wanted < mesh->indices.count + 6) wanted *= 2;
        if (!array_reserve(&mesh->indices, wanted)) return false;
    }
    return true;
}

// The four corners take the texture coordinates (u, v), (u + du, v), (u + du, v + dv) and
// (u, v + dv) and form the triangles 0 1 2 and 0 2 3.
static void mesh_emit_quad(const Vec3* corners, const f32 (*colors)[4], const f32* uv) {
    ImmediateMesh* mesh = &g_mesh;
    u32 base = (u32)mesh->vertices.count;
    const f32 us[4] = {uv[0], uv[0] + uv[2], uv[0] + uv[2], uv[0]};
    const f32 vs[4] = {uv[1], uv[1], uv[1] + uv[3], uv[1] + uv[3]};
    for (i32 i = 0; i < 4; i += 1) {
        Vertex* vertex = &mesh->vertices.data[mesh->vertices.count];
        vertex->position[0] = corners[i].x;
        vertex->position[1] = corners[i].y;
        vertex->position[2] = corners[i].z;
        for (i32 c = 0; c < 4; c += 1) vertex->color[c] = colors[i][c];
        vertex->uv[0] = us[i];
        vertex->uv[1] = vs[i];
        mesh->vertices.count += 1;
    }
    const u32 order[6] = {0, 1, 2, 0, 2, 3};
    for (i32 i = 0; i < 6; i += 1) {
        mesh->indices.data[mesh->indices.count] = base + order[i];
        mesh->indices.count += 1;
    }
}

void mesh_push_rect(f32 x, f32 y, f32 width, f32 height, f32 pivot_x, f32 pivot_y,
                    const f32* uv) {
    if (!mesh_reserve_quad()) return;
    // The rotation is always 0 here but stays in the composition, so that a rotated
    // rectangle would need no other change.
    Mat4 model = matrix_multiply(
        matrix_multiply(matrix_translation(x, y), matrix_rotation(0.0f)),
        matrix_multiply(matrix_translation(-pivot_x, -pivot_y), matrix_scale(width, height)));
    const Vec3 unit[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    Vec3 corners[4];
    f32 colors[4][4];
    for (i32 i = 0; i < 4; i += 1) {
        corners[i] = transform_point(model, unit[i]);
        for (i32 c = 0; c < 4; c += 1) colors[i][c] = g_mesh.current_color[c];
    }
    mesh_emit_quad(corners, colors, uv);
}

void mesh_push_quad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, const f32* c0, const f32* c1,
                    const f32* c2, const f32* c3, const f32* uv) {
    if (!mesh_reserve_quad()) return;
    const Vec3 corners[4] = {p0, p1, p2, p3};
    const f32* given[4] = {c0, c1, c2, c3};
    f32 colors[4][4];
    for (i32 i = 0; i < 4; i += 1) color_multiply(g_mesh.current_color, given[i], colors[i]);
    mesh_emit_quad(corners, colors, uv);
}

void mesh_flush() {
    ImmediateMesh* mesh = &g_mesh;
    set_uniform_float(STR("gamma"), (f32)g_window.gamma);
    set_uniform_vec4(STR("diffuse"), 1.0f, 1.0f, 1.0f, 1.0f);
    set_uniform_vec4(STR("uv_rect"), 0.0f, 0.0f, 1.0f, 1.0f);

    // Vertices are already in world coordinates.
    Mat4 model = matrix_identity();
    Mat4 model_view = matrix_multiply(g_view_matrix, model);
    Mat4 model_view_projection = matrix_multiply(g_projection_matrix, model_view);
    f32 normal[9];
    matrix_normal(model_view, normal);
    set_uniform_matrix4(STR("matrix_model"), model.m);
    set_uniform_matrix4(STR("matrix_model_view"), model_view.m);
    set_uniform_matrix4(STR("matrix_model_view_projection"), model_view_projection.m);
    set_uniform_matrix4(STR("matrix_view"), g_view_matrix.m);
    set_uniform_matrix4(STR("matrix_projection"), g_projection_matrix.m);
    set_uniform_matrix3(STR("matrix_normal"), normal);

    vertex_array_bind(mesh->vertex_array);
    buffer_bind(GPU_BUFFER_VERTEX, mesh->vertex_buffer);
    buffer_data(GPU_BUFFER_VERTEX, mesh->vertices.count * (i64)sizeof(Vertex), mesh->vertices.data,
                GPU_USAGE_DYNAMIC_DRAW);
    buffer_bind(GPU_BUFFER_INDEX, mesh->index_buffer);
    buffer_data(GPU_BUFFER_INDEX, mesh->indices.count * (i64)sizeof(u32), mesh->indices.data,
                GPU_USAGE_DYNAMIC_DRAW);
    draw_elements(GPU_DRAW_TRIANGLES, GPU_INDEX_U32, 0, mesh->indices.count, 0, 1);
    vertex_array_unbind();
}

static void mesh_begin(u32 texture, const f32* color) {
    bind_texture(texture);
    for (i32 i = 0; i < 4; i += 1) g_mesh.current_color[i] = color[i];
    mesh_reset();
}

void draw_rect(u32 texture, const f32* color, f32 x, f32 y, f32 width, f32 height,
               f32 pivot_x, f32 pivot_y) {
    mesh_begin(texture, color);
    mesh_push_rect(x, y, width, height, pivot_x, pivot_y, UV_FULL);
    if (g_mesh.indices.count > 0) mesh_flush();
}

void draw_line(u32 texture, const f32* color, f32 x0, f32 y0, f32 x1, f32 y1, f32 half_width,
               const f32* uv) {
    mesh_begin(texture, color);
    f64 dx = (f64)y1 - (f64)y0;
    f64 dy = (f64)x0 - (f64)x1;
    f64 length = math_sqrt(dx * dx + dy * dy);
    f64 nx = 0.0, ny = 0.0;
    if (length != 0.0) {
        nx = dx / length;
        ny = dy / length;
    }
    f32 ox = (f32)(nx * half_width);
    f32 oy = (f32)(ny * half_width);
    mesh_push_quad(Vec3{x0 - ox, y0 - oy, 0}, Vec3{x0 + ox, y0 + oy, 0},
                   Vec3{x1 + ox, y1 + oy, 0}, Vec3{x1 - ox, y1 - oy, 0}, WHITE, WHITE, WHITE,
                   WHITE, uv);
    if (g_mesh.indices.count > 0) mesh_flush();
}
