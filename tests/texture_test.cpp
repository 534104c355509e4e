// Textures and the frame buffer on the headless back end: the interface texture table, the
// white fallback for images that do not decode, mipmaps, the frame buffer's rebuild and
// status messages, and the gamma resolve to the window.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "app/app.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "platform/headless.h"
#include "test_support.h"

struct Textures : testing::Test {
    ScopedPools pools;
    void* image_memory = nullptr;
    void SetUp() override {
        headless_reset();
        app_state_reset();
        image_memory = malloc(64 << 20);
        image_set_buffer(64 << 20, image_memory);
        image_set_flip(true);
    }
    void TearDown() override {
        textures_destroy();
        image_set_buffer(0, nullptr);
        free(image_memory);
    }
};

static bool mipmapped(u32 texture) {
    bool result = false;
    headless_texture_info(texture, nullptr, nullptr, &result);
    return result;
}

TEST_F(Textures, TheTableLoadsEverySlotInItsOrderMipmapped) {
    texture_table_load();
    for (i32 slot = 0; slot < TEXTURE_SLOT_COUNT; slot += 1) {
        ASSERT_NE(g_textures.ids[slot], 0u) << slot;
        EXPECT_TRUE(mipmapped(g_textures.ids[slot])) << slot;
        for (i32 other = 0; other < slot; other += 1)
            EXPECT_NE(g_textures.ids[slot], g_textures.ids[other]) << slot << " " << other;
    }
    // The first sphere comes right after star3d; place and select come before play; the
    // note before the circle; the second sphere after text.
    EXPECT_EQ(g_textures.ids[TEXTURE_SPHERE], g_textures.ids[TEXTURE_STAR3D] + 1);
    EXPECT_EQ(g_textures.ids[TEXTURE_NEW], g_textures.ids[TEXTURE_SPHERE] + 1);
    EXPECT_EQ(g_textures.ids[TEXTURE_PLAY], g_textures.ids[TEXTURE_SELECT_OBJECT] + 1);
    EXPECT_EQ(g_textures.ids[TEXTURE_CIRCLE], g_textures.ids[TEXTURE_NOTE] + 1);
    EXPECT_EQ(g_textures.ids[TEXTURE_SPHERE2], g_textures.ids[TEXTURE_TEXT] + 1);
    i32 width = 0, height = 0;
    headless_texture_info(g_textures.ids[TEXTURE_HUE], &width, &height, nullptr);
    EXPECT_EQ(width, 8);
    EXPECT_EQ(height, 256);
    // Last of all, the default font.
    EXPECT_EQ(font_default()->page_texture, g_textures.ids[TEXTURE_CHOOSE] + 1);
    EXPECT_GT(font_default()->glyphs.count, 200);
}

TEST_F(Textures, AnImageThatDoesNotDecodeGivesTheWhiteTexture) {
    texture_table_load();
    i64 live = headless_live_textures();
    EXPECT_EQ(texture_load(STR("textures/no_such_image.png"), 2, 2, 5, 0),
              g_textures.ids[TEXTURE_WHITE]);
    EXPECT_EQ(texture_load(STR("theme.txt"), 2, 2, 1, 1), g_textures.ids[TEXTURE_WHITE]);
    EXPECT_EQ(headless_live_textures(), live);
    EXPECT_EQ(texture_load_or_zero(STR("theme.txt"), 2, 2, 1, 1, 8.0f), 0u);
}

TEST_F(Textures, WithoutAnyImageEverySlotHoldsOneBuiltInWhite) {
    char name[] = "/tmp/sorvane_textures_XXXXXX";
    std::string empty = mkdtemp(name);
    std::string previous = std::filesystem::current_path();
    ASSERT_EQ(chdir(empty.c_str()), 0);
    testing::internal::CaptureStdout();
    texture_table_load();
    std::string said = testing::internal::GetCapturedStdout();
    ASSERT_EQ(chdir(previous.c_str()), 0);
    std::filesystem::remove_all(empty);
    EXPECT_EQ(said, "failed to open textures/font_info.txt\n");
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

TEST_F(Textures, OnlyMipmappedFiltersMakeMipmaps) {
    EXPECT_FALSE(mipmapped(texture_load(STR("textures/white.png"), 2, 2, 1, 1)));
    EXPECT_TRUE(mipmapped(texture_load(STR("textures/white.png"), 2, 2, 5, 0)));
    EXPECT_TRUE(mipmapped(texture_load(STR("textures/white.png"), 2, 2, 2, 0)));
    EXPECT_FALSE(mipmapped(texture_load(STR("textures/white.png"), 2, 2, 0, 0)));
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
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    textures_destroy();
    EXPECT_EQ(headless_live_frame_buffers(), 0);
    EXPECT_EQ(headless_live_render_buffers(), 0);
    EXPECT_EQ(headless_live_textures(), 0);
}

TEST(FrameBufferStatus, EachStatusHasItsMessage) {
    testing::internal::CaptureStdout();
    for (i32 status = -1; status <= 9; status += 1) frame_buffer_report(status);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "frame buffer error\n"
              "frame buffer error: undefined\n"
              "frame buffer error: incomplete attachment\n"
              "frame buffer error: missing attachment\n"
              "frame buffer error: incomplete draw buffer\n"
              "frame buffer error: incomplete read attachment\n"
              "frame buffer error: incomplete attachment\n"
              "frame buffer error: incomplete layer attachment\n"
              "frame buffer error: unsupported\n"
              "frame buffer error\n");
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
    EXPECT_NEAR(inside->clear_color[0], 0.2176376f, 1e-6);  // 0.5 ^ 2.2
    EXPECT_NEAR(inside->clear_color[1], 0.0473661f, 1e-6);
    EXPECT_FLOAT_EQ(inside->clear_color[2], 1.0f);
    EXPECT_FLOAT_EQ(inside->clear_color[3], 0.75f);

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
    EXPECT_FLOAT_EQ(low.x, -1);
    EXPECT_FLOAT_EQ(low.y, -1);
    EXPECT_FLOAT_EQ(high.x, 1);
    EXPECT_FLOAT_EQ(high.y, 1);
    EXPECT_FLOAT_EQ(v[2].uv[0], 1);
    renderer_release();
}
