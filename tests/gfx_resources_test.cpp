// Named textures and fonts from "resources.txt", the shipped resource list, and the drawing
// objects of a whole start-up and shutdown on the headless back end.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "platform/headless.h"
#include "test_support.h"

struct Resources : testing::Test {
    ScopedPools pools;
    void* image_memory = nullptr;
    std::string folder, previous;
    void SetUp() override {
        headless_reset();
        app_state_reset();
        image_memory = malloc(16 << 20);
        image_set_buffer(16 << 20, image_memory);
        char name[] = "/tmp/sorvane_resources_XXXXXX";
        folder = mkdtemp(name);
        previous = std::filesystem::current_path();
        g_textures.ids[TEXTURE_WHITE] = texture_create();
    }
    void TearDown() override {
        textures_destroy();
        image_set_buffer(0, nullptr);
        free(image_memory);
        if (std::filesystem::current_path() != previous) EXPECT_EQ(chdir(previous.c_str()), 0);
        std::filesystem::remove_all(folder);
    }
    void write(const std::string& name, const std::string& contents) {
        FILE* file = fopen((folder + "/" + name).c_str(), "wb");
        fwrite(contents.data(), 1, contents.size(), file);
        fclose(file);
    }
};

TEST_F(Resources, NamedTexturesAndFontsAreFoundByName) {
    std::filesystem::copy_file(SORVANE_DATA_DIR "/textures/white.png", folder + "/dot.png");
    write("font.txt", "s 8 8\ni dot.png\ng 65 0 0 4 0 0 4 4\n");
    write("resources.txt",
          "texture dot dot.png\n"
          "texture gone missing.png\n"
          "picture dot dot.png\n"
          "font small font.txt\n"
          "font broken nowhere.txt\n");
    ASSERT_EQ(chdir(folder.c_str()), 0);
    testing::internal::CaptureStdout();
    resources_load();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "failed to open nowhere.txt\n");
    u32 white = g_textures.ids[TEXTURE_WHITE];
    u32 dot = texture_by_name(STR("dot"));
    EXPECT_NE(dot, white);
    bool mipmapped = true;
    headless_texture_info(dot, nullptr, nullptr, &mipmapped);
    EXPECT_FALSE(mipmapped);  // named textures are drawn without mipmaps
    EXPECT_EQ(texture_by_name(STR("gone")), white);
    EXPECT_EQ(texture_by_name(STR("picture")), white);
    EXPECT_EQ(texture_by_name(STR("")), white);

    Font* small = font_by_name(STR("small"));
    EXPECT_NE(glyph_lookup(small, 65), 0u);
    EXPECT_NE(small->page_texture, 0u);
    // A font that failed is kept, empty, under its name.
    Font* broken = font_by_name(STR("broken"));
    EXPECT_NE(broken, font_default());
    EXPECT_EQ(broken->glyphs.count, 0);
    EXPECT_DOUBLE_EQ(broken->size, 256);
    EXPECT_EQ(font_by_name(STR("unknown")), font_default());
    // Nothing is drawn from an empty font, and nothing breaks.
    const f32 color[4] = {1, 1, 1, 1};
    ASSERT_EQ(chdir(previous.c_str()), 0);
    renderer_load();
    headless_draws_clear();
    draw_string(broken, color, STR("AB"), 0, 0, 1, 1, 0, 0);
    EXPECT_EQ(headless_draw_count(), 0);
    renderer_release();
}

TEST_F(Resources, WithoutAListNoNameIsKnown) {
    ASSERT_EQ(chdir(folder.c_str()), 0);
    resources_load();
    EXPECT_EQ(texture_by_name(STR("circle")), g_textures.ids[TEXTURE_WHITE]);
    EXPECT_EQ(font_by_name(STR("default")), font_default());
}

TEST_F(Resources, EveryShippedNameLoads) {
    textures_destroy();
    texture_table_load();
    resources_load();  // from the data folder the tests run in
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

TEST(DrawingStartup, TheEditorStartsWithEveryDrawingPartAndReleasesItAll) {
    headless_reset();
    app_state_reset();
    ASSERT_TRUE(app_startup());
    EXPECT_EQ(g_theme.font, font_default());
    EXPECT_GT(font_default()->glyphs.count, 200);
    EXPECT_FLOAT_EQ(g_theme.text_scale, 1.0f);  // the shipped theme
    for (i32 slot = 0; slot < TEXTURE_SLOT_COUNT; slot += 1) EXPECT_NE(g_textures.ids[slot], 0u);
    EXPECT_EQ(headless_live_frame_buffers(), 1);

    headless_resize(800, 500);
    app_frame();
    const HeadlessDraw* last = headless_draw(headless_draw_count() - 1);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->program, g_program_gamma.id);
    EXPECT_EQ(last->frame_buffer, 0u);
    i32 width = 0, height = 0;
    headless_texture_info(g_frame_buffer.color_texture, &width, &height, nullptr);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 500);
    EXPECT_EQ(headless_live_frame_buffers(), 1);

    app_shutdown();
    EXPECT_EQ(headless_live_textures(), 0);
    EXPECT_EQ(headless_live_frame_buffers(), 0);
    EXPECT_EQ(headless_live_render_buffers(), 0);
    EXPECT_EQ(headless_live_buffers(), 0);
}
