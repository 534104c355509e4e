// The theme: the kinds of lines of "theme.txt", the derived fields, and the shipped file.
#include <fstream>
#include <sstream>

#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "test_support.h"

// Loads the theme from a "theme.txt" with the given text (none when empty).
static void load_theme(const std::string& text) {
    TempFolder folder;
    if (!text.empty()) ASSERT_TRUE(write_text(folder / "theme.txt", text));
    folder.enter();
    theme_set_defaults();
    theme_load();
}

static Theme defaults() {
    theme_set_defaults();
    return g_theme;
}

static void expect_color(const f32* color, f32 r, f32 g, f32 b, f32 a) {
    EXPECT_FLOAT_EQ(color[0], r);
    EXPECT_FLOAT_EQ(color[1], g);
    EXPECT_FLOAT_EQ(color[2], b);
    EXPECT_FLOAT_EQ(color[3], a);
}

TEST(Theme, FiveWordsSetAColourAndTwoToFourANumber) {
    ScopedPools pools;
    Theme before = defaults();
    load_theme(
        "text_color 1 0 0\n"                 // four words: a number line, not a colour key
        "hover_color 0.1 0.2 0.3 0.4 extra\n"  // words after the fifth are ignored
        "show_groups_color 0.5 0.5 0.5 0.5\n"  // not the key: it ends in "colors"
        "show_groups_colors 0.1 0.2 0.3 1\n"
        "scale 1 2 3 4\n"                    // a number key on a colour line
        "color 0.5\n"                        // a colour key on a number line
        "text_scale 2 ignored words\n"
        "cursor_width 3\n"
        "cursor_width 4\r\n"                 // the last value stands; '\r' ends the number
        "offset\n"
        "\n"
        "close_color 0.25 0.5 0.75 1");
    expect_color(g_theme.text_color, 1, 1, 1, 1);
    expect_color(g_theme.hover_color, 0.1f, 0.2f, 0.3f, 0.4f);
    expect_color(g_theme.show_groups_color, 0.1f, 0.2f, 0.3f, 1);
    expect_color(g_theme.show_group_properties_color, 0.8f, 0.8f, 1, 1);
    EXPECT_FLOAT_EQ(g_theme.scale, before.scale);
    expect_color(g_theme.color, 0.3f, 0.3f, 1, 1);
    EXPECT_FLOAT_EQ(g_theme.text_scale, 2);
    EXPECT_FLOAT_EQ(g_theme.cursor_width, 4);
    EXPECT_FLOAT_EQ(g_theme.offset, before.offset);
    expect_color(g_theme.close_color, 0.25f, 0.5f, 0.75f, 1);
}

TEST(Theme, WithoutAFileTheDefaultsStandAndTheDerivedFieldsAreSet) {
    ScopedPools pools;
    // The scale sets the row and icon sizes, the offset the row offsets.
    load_theme("scale 30\noffset 7\n");
    EXPECT_FLOAT_EQ(g_theme.row_size, 30);
    EXPECT_FLOAT_EQ(g_theme.icon_size, 22.5f);
    EXPECT_FLOAT_EQ(g_theme.row_offset, 7);
    EXPECT_FLOAT_EQ(g_theme.row_offset2, 7);
    EXPECT_FLOAT_EQ(theme_menu_bar_height(), 60);
    g_textures.ids[TEXTURE_MAXIMIZE2] = 61;
    g_textures.ids[TEXTURE_MINIMIZE] = 62;
    load_theme("");
    EXPECT_EQ(g_theme.font, font_default());
    EXPECT_FLOAT_EQ(g_theme.row_size, 24);
    EXPECT_FLOAT_EQ(g_theme.icon_size, 18);
    EXPECT_EQ(g_theme.folder_closed_texture, 61u);
    EXPECT_EQ(g_theme.folder_open_texture, 62u);
    g_textures.ids[TEXTURE_MAXIMIZE2] = g_textures.ids[TEXTURE_MINIMIZE] = 0;
}

// Whether any colour or number that "theme.txt" can set differs (the font pointer, the flag
// and the derived fields are left out, and so is padding).
static bool settable_fields_differ(const Theme& a, const Theme& b) {
    const i64 ranges[3][2] = {
        {0, (i64)offsetof(Theme, offset) + 4},
        {(i64)offsetof(Theme, text_scale), (i64)offsetof(Theme, show_global_properties_color) + 16},
        {(i64)offsetof(Theme, cursor_width), (i64)offsetof(Theme, error_color) + 16},
    };
    for (const auto& range : ranges)
        if (memcmp((const u8*)&a + range[0], (const u8*)&b + range[0],
                   (size_t)(range[1] - range[0])))
            return true;
    return false;
}

// Every line of the shipped theme names a real key: with a value of its own it changes the
// theme (a misspelt key would be ignored silently).
TEST(Theme, EveryKeyOfTheShippedThemeIsKnown) {
    ScopedPools pools;
    std::ifstream file(SORVANE_DATA_DIR "/theme.txt");
    ASSERT_TRUE(file.good());
    Theme before = defaults();
    std::string line;
    i32 keys = 0;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string key, word;
        i32 count = 0;
        words >> key;
        while (words >> word) count += 1;
        load_theme(key + (count >= 4 ? " 0.123 0.123 0.123 0.123\n" : " 7.25\n"));
        EXPECT_TRUE(settable_fields_differ(g_theme, before)) << key;
        keys += 1;
    }
    EXPECT_GE(keys, 35);
}
