// The renderer on the headless back end: uniform tables, the shipped shader programs,
// rectangle pivots, quad indices, lines, the flush's uploads and the matrix operations.
#include "frame_support.h"

static void expect_corner(const Vertex& vertex, f32 x, f32 y) {
    EXPECT_FLOAT_EQ(vertex.position[0], x);
    EXPECT_FLOAT_EQ(vertex.position[1], y);
    EXPECT_FLOAT_EQ(vertex.position[2], 0.0f);
}

using Renderer = RendererTest;

TEST(UniformTable, FiveNamesFitTheFirstTableTheSixthDoublesItAndManySurviveEveryRebuild) {
    ScopedPools pools;
    UniformTable table;
    ASSERT_TRUE(uniform_table_init(&table, POOL_MAIN));
    const Str names[] = {STR("matrix_model_view_projection"), STR("uv_rect"), STR("diffuse"),
                         STR("diffuse_map"), STR("gamma"), STR("matrix_normal")};
    for (i64 i = 0; i < 5; i += 1)
        ASSERT_TRUE(uniform_table_insert(&table, names[i], (u32)(10 + i)));
    EXPECT_EQ(table.capacity, 8);
    ASSERT_TRUE(uniform_table_insert(&table, names[5], 15));
    EXPECT_EQ(table.capacity, 16);
    for (i64 i = 0; i < 6; i += 1) EXPECT_EQ(uniform_table_find(&table, names[i]), (u32)(10 + i));
    EXPECT_EQ(uniform_table_find(&table, STR("diffuse_")), UNIFORM_NONE);
    EXPECT_EQ(uniform_table_find(&table, STR("")), UNIFORM_NONE);

    // Many names survive every rebuild.
    UniformTable many;
    ASSERT_TRUE(uniform_table_init(&many, POOL_MAIN));
    std::string more[200];
    for (i32 i = 0; i < 200; i += 1) {
        more[i] = "uniform_" + std::to_string(i * 7919);
        ASSERT_TRUE(uniform_table_insert(&many, to_str(more[i]), (u32)i));
    }
    EXPECT_EQ(many.capacity, 512);
    EXPECT_EQ((i64)1 << many.probe_limit, many.capacity);  // probes grow with the table
    for (i32 i = 0; i < 200; i += 1) EXPECT_EQ(uniform_table_find(&many, to_str(more[i])), (u32)i);
}

TEST_F(Renderer, ShippedShadersCompileAndDeclareTheUniformsOfTheirPrograms) {
    ShaderProgram* programs[] = {&g_program_simple, &g_program_gamma};
    for (ShaderProgram* program : programs) {
        EXPECT_EQ(program->uniforms.count, 5);
        for (i64 i = 0; i < program->uniform_count; i += 1) {
            Str name = program->uniform_names[i];
            u32 location = uniform_table_find(&program->uniforms, name);
            ASSERT_NE(location, UNIFORM_NONE) << to_string(program->name) << " " << to_string(name);
            EXPECT_EQ(to_string(headless_uniform_name(location)), to_string(name));
        }
    }
    EXPECT_EQ(g_program_color.uniforms.count, 3);
    EXPECT_NE(uniform_table_find(&g_program_color.uniforms, STR("gamma")), UNIFORM_NONE);
    // Names the flush sets that no program lists resolve to -1.
    shader_program_use(&g_program_color);
    EXPECT_EQ(uniform_location(STR("uv_rect")), UNIFORM_NONE);
    EXPECT_EQ(uniform_location(STR("matrix_model")), UNIFORM_NONE);
}

TEST_F(Renderer, AShaderThatFailsToCompileIsReportedAndStaysUsable) {
    ShaderProgram broken = {};
    const Str names[] = {STR("gamma")};
    testing::internal::CaptureStdout();
    shader_program_load(&broken, STR("broken"), STR("void main() {}\n"), names, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "failed to compile shader 'broken':\n0:1: error: the first line is not #version\n");
    EXPECT_NE(broken.id, 0u);
    EXPECT_EQ(broken.uniforms.count, 1);
    EXPECT_EQ(uniform_table_find(&broken.uniforms, STR("gamma")), UNIFORM_NONE);
}

TEST_F(Renderer, RectanglesSitOnTheirPivotsAndAQuadAfterThemIsIndexedOnAndTinted) {
    mesh_reset();
    mesh_push_rect(100, 50, 40, 20, 20, 10, UV_FULL);  // centred on (100, 50)
    mesh_push_rect(100, 50, 40, 20, 0, 0, UV_FULL);    // lower-left corner on (100, 50)
    const f32 corners[8][2] = {{80, 40},  {120, 40}, {120, 60}, {80, 60},
                               {100, 50}, {140, 50}, {140, 70}, {100, 70}};
    ASSERT_EQ(g_mesh.vertices.count, 8);
    for (i32 i = 0; i < 8; i += 1) expect_corner(g_mesh.vertices[i], corners[i][0], corners[i][1]);
    const u32 indices[] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    ASSERT_EQ(g_mesh.indices.count, 12);
    for (i32 i = 0; i < 12; i += 1) EXPECT_EQ(g_mesh.indices[i], indices[i]);

    // A quad after four vertices is indexed from four, and the current colour tints the
    // colours of its corners. (Texture coordinates are in the stored glyph draw list.)
    mesh_reset();
    for (i32 i = 0; i < 4; i += 1) g_mesh.current_color[i] = 0.5f;
    mesh_push_rect(0, 0, 1, 1, 0, 0, UV_FULL);
    const f32 tints[4][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {0.5f, 0.5f, 0.5f, 1}};
    mesh_push_quad(Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{0, 1, 0}, tints[0], tints[1],
                   tints[2], tints[3], UV_FULL);
    for (i32 i = 0; i < 6; i += 1) EXPECT_EQ(g_mesh.indices[6 + i], indices[6 + i]);
    for (i32 v = 0; v < 4; v += 1)
        for (i32 c = 0; c < 4; c += 1)
            EXPECT_FLOAT_EQ(g_mesh.vertices[4 + v].color[c], 0.5f * tints[v][c]) << v << c;
}

TEST_F(Renderer, DrawRectIsOneDrawCallWithItsTextureColourAndUniforms) {
    g_window.gamma = 2.2;
    g_projection_matrix = matrix_orthographic(0, 200, 0, 100);
    g_view_matrix = matrix_translation(10, 0);
    const f32 color[4] = {0.2f, 0.4f, 0.6f, 0.8f};
    u32 texture = texture_create();
    headless_draws_clear();
    draw_rect(texture, color, 10, 20, 30, 40, 0, 0);
    ASSERT_EQ(headless_draw_count(), 1);
    const HeadlessDraw* draw = headless_draw(0);
    EXPECT_EQ(draw->program, g_program_simple.id);
    EXPECT_EQ(draw->texture, texture);
    EXPECT_FLOAT_EQ(draw->gamma, 2.2f);
    for (i32 i = 0; i < 4; i += 1) EXPECT_FLOAT_EQ(draw->diffuse[i], 1.0f);
    for (i32 v = 0; v < 4; v += 1)
        for (i32 c = 0; c < 4; c += 1)
            EXPECT_FLOAT_EQ(((const Vertex*)draw->vertex_bytes)[v].color[c], color[c]);
    // The uploaded matrix is projection x view: (10, 20) moves to 20 and lands at -0.8, -0.6.
    Mat4 mvp;
    memcpy(mvp.m, draw->mvp, sizeof(mvp.m));
    Vec3 corner = transform_point(mvp, Vec3{10, 20, 0});
    EXPECT_FLOAT_EQ(corner.x, -0.8f);
    EXPECT_FLOAT_EQ(corner.y, -0.6f);
}

// A quad around its segment, three either side; a line of no length a quad of no size.
TEST_F(Renderer, ALineIsAQuadAroundItsSegmentAndAZeroLengthLineIsDegenerate) {
    const f32 color[4] = {1, 0.5f, 0.25f, 1};
    expect_draws_match("renderer_lines", [&] {
        draw_line(0, color, 10, 20, 50, 20, 3, UV_FULL);
        draw_line(0, color, 7, 7, 7, 7, 3, UV_FULL);
    }, true);
}

TEST_F(Renderer, TheListsKeepTheirLargestSizeSoLaterDrawsTakeNoMemory) {
    mesh_reset();
    for (i32 i = 0; i < 100; i += 1) mesh_push_rect((f32)i, 0, 1, 1, 0, 0, UV_FULL);
    i64 used = g_pools[POOL_MAIN].used;
    i64 capacity = g_mesh.vertices.capacity;
    const f32 white[4] = {1, 1, 1, 1};
    for (i32 i = 0; i < 10; i += 1) draw_rect(0, white, 0, 0, 1, 1, 0, 0);
    EXPECT_EQ(g_mesh.vertices.capacity, capacity);
    EXPECT_EQ(g_pools[POOL_MAIN].used, used);
}

TEST(Matrix, OrthographicProductsRotationsCrossProductsAndTheNormalMatrix) {
    Mat4 m = matrix_orthographic(-4, 12, 2, 10);
    Vec3 low = transform_point(m, Vec3{-4, 2, 0});
    Vec3 high = transform_point(m, Vec3{12, 10, 0.5f});
    EXPECT_TRUE(low.x == -1 && low.y == -1 && high.x == 1 && high.y == 1);
    EXPECT_FLOAT_EQ(high.z, -0.5f);
    // Products apply the right factor first.
    Mat4 moved = matrix_multiply(matrix_translation(5, 6), matrix_scale(2, 3));
    Vec3 p = transform_point(moved, Vec3{1, 1, 0});
    EXPECT_FLOAT_EQ(p.x, 7);
    EXPECT_FLOAT_EQ(p.y, 9);
    Mat4 r = matrix_rotation(1.5707963267948966f);
    Vec3 q = transform_point(r, Vec3{1, 0, 0});
    EXPECT_NEAR(q.x, 0, 1e-6);
    EXPECT_NEAR(q.y, 1, 1e-6);
    Vec3 c = vector_cross(Vec3{2, 3, 4}, Vec3{5, 6, 7});
    EXPECT_FLOAT_EQ(c.x, -3);
    EXPECT_FLOAT_EQ(c.y, 6);
    EXPECT_FLOAT_EQ(c.z, -3);
    // Cofactors of diag(2, 3, 1): diag(3, 2, 6), not divided by the determinant.
    f32 normal[9];
    matrix_normal(matrix_scale(2, 3), normal);
    const f32 expected[9] = {3, 0, 0, 0, 2, 0, 0, 0, 6};
    for (i32 i = 0; i < 9; i += 1) EXPECT_FLOAT_EQ(normal[i], expected[i]);
    const f32 a[4] = {1, 0.5f, 0.25f, 2}, b[4] = {0.5f, 0.5f, 4, 0.5f};
    f32 product[4];
    color_multiply(a, b, product);
    EXPECT_FLOAT_EQ(product[0], 0.5f);
    EXPECT_FLOAT_EQ(product[2], 1.0f);
    EXPECT_FLOAT_EQ(product[3], 1.0f);
}
