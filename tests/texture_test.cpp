// Textures, named resources and the frame buffer on the headless back end: the interface
// texture table, the white fallback for images that do not decode, mipmaps, textures and
// fonts by name from "resources.txt", the frame buffer's rebuild and status messages, the
// gamma resolve to the window.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "frame_support.h"

using Textures = GraphicsTest;

static bool mipmapped(u32 texture) {
    bool result = false;
    headless_texture_info(texture, nullptr, nullptr, &result);
    return result;
}

TEST_F(Textures, TheTableLoadsEverySlotInOrderBadImagesGiveWhiteAndEveryShippedNameLoads) {
    texture_table_load();
    for (i32 slot = 0; slot < TEXTURE_SLOT_COUNT; slot += 1) {
        ASSERT_NE(g_textures.ids[slot], 0u) << slot;
        EXPECT_TRUE(mipmapped(g_textures.ids[slot])) << slot;
        for (i32 other = 0; other < slot; other += 1)
            EXPECT_NE(g_textures.ids[slot], g_textures.ids[other]) << slot << " " << other;
    }
    // The order of loading: the first sphere right after star3d, place and select before
    // play, the note before the circle, the second sphere after text.
    const i32 follows[][2] = {{TEXTURE_SPHERE, TEXTURE_STAR3D}, {TEXTURE_NEW, TEXTURE_SPHERE},
                              {TEXTURE_PLAY, TEXTURE_SELECT_OBJECT}, {TEXTURE_CIRCLE, TEXTURE_NOTE},
                              {TEXTURE_SPHERE2, TEXTURE_TEXT}};
    for (const i32* pair : follows)
        EXPECT_EQ(g_textures.ids[pair[0]], g_textures.ids[pair[1]] + 1) << pair[0];
    i32 width = 0, height = 0;
    headless_texture_info(g_textures.ids[TEXTURE_HUE], &width, &height, nullptr);
    EXPECT_EQ(width * 1000 + height, 8 * 1000 + 256);
    // Last of all, the default font.
    EXPECT_EQ(font_default()->page_texture, g_textures.ids[TEXTURE_CHOOSE] + 1);
    EXPECT_GT(font_default()->glyphs.count, 200);

    i64 live = headless_live_textures();
    EXPECT_EQ(texture_load(STR("textures/no_such_image.png"), 2, 2, 5, 0),
              g_textures.ids[TEXTURE_WHITE]);
    EXPECT_EQ(texture_load(STR("theme.txt"), 2, 2, 1, 1), g_textures.ids[TEXTURE_WHITE]);
    EXPECT_EQ(headless_live_textures(), live);
    EXPECT_EQ(texture_load_or_zero(STR("theme.txt"), 2, 2, 1, 1, 8.0f), 0u);
    // Only the mipmapped filters make mipmaps.
    const i32 filters[][2] = {{1, 1}, {5, 0}, {2, 0}, {0, 0}};
    const bool wanted[] = {false, true, true, false};
    for (i32 i = 0; i < 4; i += 1)
        EXPECT_EQ(mipmapped(texture_load(STR("textures/white.png"), 2, 2, filters[i][0],
                                         filters[i][1])),
                  wanted[i]) << i;

    // Every name of the shipped list loads (from the data folder the tests run in).
    resources_load();
    std::ifstream file("resources.txt");
    std::string line;
    i32 textures = 0;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        std::string kind, name;
        words >> kind >> name;
        if (kind == "texture") {
            EXPECT_NE(texture_by_name(to_str(name)), g_textures.ids[TEXTURE_WHITE]) << name;
            textures += 1;
        }
        if (kind == "font") EXPECT_GT(font_by_name(to_str(name))->glyphs.count, 200) << name;
    }
    EXPECT_GE(textures, 1);
    EXPECT_NE(texture_by_name(STR("circle")), g_textures.ids[TEXTURE_WHITE]);
}

TEST_F(Textures, WithoutAnyImageEverySlotHoldsOneBuiltInWhite) {
    TempFolder empty;
    empty.enter();
    testing::internal::CaptureStdout();
    texture_table_load();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "failed to open textures/font_info.txt\n");
    u32 white = g_textures.ids[TEXTURE_WHITE];
    ASSERT_NE(white, 0u);
    for (i32 slot = 0; slot < TEXTURE_SLOT_COUNT; slot += 1) EXPECT_EQ(g_textures.ids[slot], white);
    i32 width = 0;
    headless_texture_info(white, &width, nullptr, nullptr);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(headless_live_textures(), 1);
    textures_destroy();
    EXPECT_EQ(headless_live_textures(), 0);
}

TEST_F(Textures, NamedTexturesAndFontsAreFoundByName) {
    TempFolder folder;
    std::filesystem::copy_file(SORVANE_DATA_DIR "/textures/white.png", folder / "dot.png");
    ASSERT_TRUE(write_text(folder / "font.txt", "s 8 8\ni dot.png\ng 65 0 0 4 0 0 4 4\n"));
    ASSERT_TRUE(write_text(folder / "resources.txt",
                           "texture dot dot.png\n"
                           "texture gone missing.png\n"
                           "picture dot dot.png\n"
                           "font small font.txt\n"
                           "font broken nowhere.txt\n"));
    g_textures.ids[TEXTURE_WHITE] = texture_create();
    u32 white = g_textures.ids[TEXTURE_WHITE];
    {
        TempFolder none;  // without a list no name is known
        none.enter();
        resources_load();
        EXPECT_EQ(texture_by_name(STR("dot")), white);
        EXPECT_EQ(font_by_name(STR("default")), font_default());
    }
    folder.enter();
    testing::internal::CaptureStdout();
    resources_load();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "failed to open nowhere.txt\n");
    u32 dot = texture_by_name(STR("dot"));
    EXPECT_NE(dot, white);
    EXPECT_FALSE(mipmapped(dot));  // named textures are drawn without mipmaps
    for (Str name : {STR("gone"), STR("picture"), STR("")}) EXPECT_EQ(texture_by_name(name), white);

    Font* small = font_by_name(STR("small"));
    EXPECT_NE(glyph_lookup(small, 65), 0u);
    EXPECT_NE(small->page_texture, 0u);
    // A font that failed is kept, empty, under its name (its size and the default for an
    // unknown name are checked by the resources corpus replay); nothing is drawn from it.
    Font* broken = font_by_name(STR("broken"));
    EXPECT_EQ(broken->glyphs.count, 0);
    ASSERT_EQ(chdir(SORVANE_DATA_DIR), 0);
    renderer_load();
    headless_draws_clear();
    const f32 color[4] = {1, 1, 1, 1};
    draw_string(broken, color, STR("AB"), 0, 0, 1, 1, 0, 0);
    EXPECT_EQ(headless_draw_count(), 0);
    renderer_release();
}

TEST_F(Textures, RebuildingTheFrameBufferReplacesEveryObjectAtTheNewSize) {
    g_window.width = 640;
    g_window.height = 480;
    frame_buffer_build();
    u32 first = g_frame_buffer.color_texture;
    g_window.width = 800;
    g_window.height = 600;
    frame_buffer_build();
    frame_buffer_build();
    EXPECT_EQ(headless_live_frame_buffers(), 1);
    EXPECT_EQ(headless_live_render_buffers(), 1);
    EXPECT_EQ(headless_live_textures(), 1);
    i32 width = 0, height = 0;
    headless_texture_info(first, &width, nullptr, nullptr);
    EXPECT_EQ(width, 0);  // destroyed
    headless_texture_info(g_frame_buffer.color_texture, &width, &height, nullptr);
    EXPECT_EQ(width * 1000 + height, 800 * 1000 + 600);

    // The known statuses by name; anything else as a plain error, and nothing when complete.
    testing::internal::CaptureStdout();
    for (i32 status : {-1, (i32)GPU_STATUS_COMPLETE, 1, 8, 9}) frame_buffer_report(status);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "frame buffer error\nframe buffer error: undefined\n"
              "frame buffer error: unsupported\nframe buffer error\n");
}

TEST_F(Textures, AFrameClearsInLinearLightAndResolvesThroughGamma) {
    g_window.width = 320;
    g_window.height = 200;
    renderer_load();
    frame_buffer_build();
    const f32 background[4] = {0.5f, 0.25f, 1.0f, 0.75f};
    const f32 white[4] = {1, 1, 1, 1};
    headless_draws_clear();
    frame_buffer_begin(background);
    draw_rect(0, white, 0, 0, 10, 10, 0, 0);
    frame_buffer_resolve();
    ASSERT_EQ(headless_draw_count(), 2);
    const HeadlessDraw* inside = headless_draw(0);
    EXPECT_EQ(inside->frame_buffer, g_frame_buffer.frame_buffer);
    EXPECT_EQ(inside->program, g_program_simple.id);
    EXPECT_TRUE(inside->blend);
    const f32 linear[4] = {0.2176376f, 0.0473661f, 1.0f, 0.75f};  // 0.5 ^ 2.2, 0.25 ^ 2.2
    for (i32 i = 0; i < 4; i += 1) EXPECT_NEAR(inside->clear_color[i], linear[i], 1e-6) << i;

    const HeadlessDraw* resolve = headless_draw(1);
    EXPECT_EQ(resolve->frame_buffer, 0u);
    EXPECT_EQ(resolve->program, g_program_gamma.id);
    EXPECT_EQ(resolve->texture, g_frame_buffer.color_texture);
    EXPECT_FALSE(resolve->blend);
    EXPECT_FLOAT_EQ(resolve->gamma, 2.2f);
    EXPECT_EQ(resolve->viewport[2], 320);
    EXPECT_EQ(resolve->viewport[3], 200);
    // The rectangle covers the window exactly.
    Mat4 mvp;
    memcpy(mvp.m, resolve->mvp, sizeof(mvp.m));
    const Vertex* v = (const Vertex*)resolve->vertex_bytes;
    Vec3 low = transform_point(mvp, Vec3{v[0].position[0], v[0].position[1], 0});
    Vec3 high = transform_point(mvp, Vec3{v[2].position[0], v[2].position[1], 0});
    EXPECT_TRUE(low.x == -1 && low.y == -1 && high.x == 1 && high.y == 1);
    EXPECT_FLOAT_EQ(v[2].uv[0], 1);
    renderer_release();
}
