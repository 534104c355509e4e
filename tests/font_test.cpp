// Fonts and text: UTF-8 decoding, the font description reader and its failures, the
// code-point map, measuring and aligning text, drawing it whole and clipped.
#include <filesystem>
#include <vector>

#include "base/name_map.h"
#include "frame_support.h"

static const std::string PAGE_IMAGE = SORVANE_DATA_DIR "/textures/white.png";  // 8 x 8

TEST(Utf8, DecodesEachSequenceLengthAndBadOnesAsTheReplacement) {
    // Bad sequences give the replacement and always move on; one cut short by the end of the
    // text takes its whole length, so a loop ends; continuation bytes are not checked, so C3
    // followed by 'A' still takes two bytes.
    const struct {
        Str text;
        u32 code_point;
        i64 length;
    } cases[] = {{STR("A"), 0x41, 1},           {STR("\xC3\xA9"), 0xE9, 2},
                 {STR("\xE2\x82\xAC!"), 0x20AC, 3}, {STR("\xF0\x9D\x85\x9F"), 0x1D15F, 4},
                 {STR("\x80x"), 0xFFFD, 1},         {STR("\xE2\x82"), 0xFFFD, 3},
                 {STR("\xFF"), 0xFFFD, 4},          {STR("\xC3" "A"), 0xC1, 2}};
    for (const auto& c : cases) {
        Utf8Char got = utf8_decode(c.text);
        EXPECT_EQ(got.code_point, c.code_point) << to_string(c.text);
        EXPECT_EQ(got.length, c.length) << to_string(c.text);
    }
    EXPECT_EQ(utf8_decode(Str{0, 0}).length, 1);
}

// Growth and lookup of every entry are checked on each font the fuzz corpus loads.
TEST(CodePointMap, KeepsTheFirstGlyphOfACodePointAndBoundsCollisions) {
    ScopedPools pools;
    Font font = {};
    // A code point defined over and over keeps its first glyph and takes no room.
    CodePointMap again = {{0, 0, 0, 0, POOL_MAIN}};
    for (u32 i = 1; i <= 3000; i += 1) ASSERT_TRUE(code_point_map_insert(&again, 65, i));
    ASSERT_TRUE(code_point_map_insert(&again, 66, 3001));
    EXPECT_EQ(again.count, 2);
    EXPECT_EQ(again.capacity, 8);
    font.map = again;
    EXPECT_EQ(glyph_lookup(&font, 65), 1u);
    EXPECT_EQ(glyph_lookup(&font, 66), 3001u);
    // The table that serves code points below 128 agrees with the map, first glyph first.
    Font ascii = {};
    ascii.map.pool = POOL_MAIN;
    for (u32 c = 0; c < 300; c += 3) ASSERT_TRUE(code_point_map_insert(&ascii.map, c, c + 1));
    ASSERT_TRUE(code_point_map_insert(&ascii.map, 'c', 999));  // 'c' is 99: defined already
    for (u32 c = 0; c < 300; c += 1) EXPECT_EQ(glyph_lookup(&ascii, c), c % 3 ? 0u : c + 1) << c;

    // Code points whose hashes agree in their low 16 bits share a home slot in every table up
    // to 65536 entries; however many of them come, the map stops growing and finds them all.
    std::vector<u32> bucket;
    for (u32 c = 0; c <= 0x10FFFF && bucket.size() < 16; c += 1) {
        const u8 bytes[4] = {(u8)(c >> 24), (u8)(c >> 16), (u8)(c >> 8), (u8)c};
        if ((hash_fnv1a(bytes, 4) & 0xFFFF) == 0x1234) bucket.push_back(c);
    }
    ASSERT_GE(bucket.size(), 10u);
    CodePointMap colliding = {{0, 0, 0, 0, POOL_MAIN}};
    for (size_t i = 0; i < bucket.size(); i += 1)
        ASSERT_TRUE(code_point_map_insert(&colliding, bucket[i], (u32)(i + 1)));
    EXPECT_LE(colliding.capacity, 64 * 2 * (i64)(bucket.size() + 1));
    font.map = colliding;
    for (size_t i = 0; i < bucket.size(); i += 1) EXPECT_EQ(glyph_lookup(&font, bucket[i]), i + 1);
}

// A font made in memory: every metric is a whole number of pixels on a 256-pixel page, so
// at scale 1 the drawn sizes are those pixels.
struct TestFont {
    Font font;
    void glyph(u32 code, f64 x_offset, f64 y_offset, f64 advance, f64 width, f64 height) {
        Glyph g = {x_offset / 256, y_offset / 256, advance / 256, 0.25, 0.5,
                   width / 256,    height / 256};
        array_push(&font.glyphs, g);
        code_point_map_insert(&font.map, code, (u32)(font.glyphs.count - 1));
    }
    TestFont(bool with_replacement) {
        font = Font{};
        font.size = 256;
        array_init(&font.glyphs, POOL_MAIN);
        font.map.pool = POOL_MAIN;
        array_push_zero(&font.glyphs);
        font.space_advance = 4.0 / 256;
        font.tab_advance = 16.0 / 256;
        font.line_height = 20.0 / 256;
        glyph('A', -1, 4, 10, 8, 12);
        glyph('B', 0, 0, 12, 9, 12);
        if (with_replacement) {
            glyph(0xFFFD, 0, 0, 14, 11, 12);
            font.glyphs[0] = font.glyphs[font.glyphs.count - 1];
        }
    }
};

struct Text : RendererTest {
    TextBlock measure(Font* font, const char* text, u8 horizontal, u8 vertical) {
        bind_font(font);
        g_mesh.horizontal_alignment = horizontal;
        g_mesh.vertical_alignment = vertical;
        return text_measure(str_from_cstring(text), 1.0, 1.0);
    }
};

TEST_F(Text, MeasuringMultiLineTextAlignsTheBlock) {
    TestFont test(false);
    Font* font = &test.font;
    // Widest line "AB A": 10 + 12 + 4 + 10 = 36; three lines of 20.
    TextBlock left = measure(font, "A\nAB A\nB", TEXT_LEFT, TEXT_FIRST_LINE_ON_Y);
    EXPECT_DOUBLE_EQ(left.width, 36);
    EXPECT_DOUBLE_EQ(left.height, 60);
    EXPECT_DOUBLE_EQ(left.x0, 0);
    EXPECT_DOUBLE_EQ(left.y0, 0);
    EXPECT_DOUBLE_EQ(measure(font, "A\nAB A\nB", TEXT_CENTER, 0).x0, -18);
    EXPECT_DOUBLE_EQ(measure(font, "A\nAB A\nB", TEXT_RIGHT, 0).x0, -36);
    EXPECT_DOUBLE_EQ(measure(font, "A\nAB A\nB", 0, TEXT_LAST_LINE_ON_Y).y0, 40);
    EXPECT_DOUBLE_EQ(measure(font, "A\nAB A\nB", 0, TEXT_CENTERED).y0, 10);  // 1.5 lh - lh
    EXPECT_DOUBLE_EQ(measure(font, "A\nAB A\nB", 0, TEXT_HANGING).y0, -20);
    EXPECT_DOUBLE_EQ(measure(font, "A\tB", 0, 0).width, 38);
    TextBlock empty = measure(font, "", TEXT_CENTER, TEXT_CENTERED);
    EXPECT_DOUBLE_EQ(empty.width, 0);
    EXPECT_DOUBLE_EQ(empty.height, 20);
}

// Each glyph placed from its offsets and advances ('A' at 100 + 1, 50 - 4, 8 x 12, 'B' ten
// further); a missing glyph drawn as the replacement only when the font has one; quads
// snapped to the pixel step unless snapping is off; clipped text dropping hidden glyphs and
// narrowing the cut ones with their texture; and clipped rectangles with their texture cut
// on each side (past the right, before the left, past the top, below the bottom, and wider
// on both sides, where only the far side is cut), none wholly outside or of no size.
TEST_F(Text, GlyphsAndClippedRectanglesDrawAsStored) {
    TestFont without(false), with(true);
    const f32 color[4] = {1, 1, 1, 1};
    const f32 clip[4] = {0, -100, 15, 200}, box[4] = {10, 10, 20, 20}, edges[4] = {0, 0, 100, 50};
    const f32 rects[][4] = {{90, 10, 20, 10}, {-5, 10, 20, 10}, {10, 45, 10, 20},
                            {10, -10, 10, 40}, {-10, 0, 120, 10}, {150, 0, 20, 10},
                            {-40, 0, 20, 10}, {10, 60, 0, 0}, {10, 10, 0, 0}};
    f64 ends[3];
    expect_draws_match("font_glyphs", [&] {
        ends[0] = draw_string(&without.font, color, STR("AB"), 100, 50, 1, 1, TEXT_LEFT,
                              TEXT_FIRST_LINE_ON_Y);
        ends[1] = draw_string(&without.font, color, STR("A\xE2\x82\xAC" "B"), 0, 0, 1, 1, 0, 0);
        ends[2] = draw_string(&with.font, color, STR("A\xE2\x82\xAC" "B"), 0, 0, 1, 1, 0, 0);
        draw_string(&without.font, color, STR("A"), 10.3f, 20.6f, 1, 1, 0, 0);
        g_mesh.pixel_snap = 0.0;
        draw_string(&without.font, color, STR("A"), 10.3f, 20.6f, 1, 1, 0, 0);
        g_mesh.pixel_snap = 1.0;
        draw_string_clipped(&without.font, color, clip, STR("AAA"), 0, 0, 1, 1);
        draw_rect_clipped(0, color, 0, 0, 20, 20, box, UV_FULL);
        draw_rect_clipped(0, color, 50, 50, 5, 5, box, UV_FULL);
        for (const f32* r : rects)
            draw_rect_clipped(0, color, r[0], r[1], r[2], r[3], edges, UV_FULL);
    }, true);
    EXPECT_DOUBLE_EQ(ends[0], 22);
    EXPECT_DOUBLE_EQ(ends[1], 22);
    EXPECT_DOUBLE_EQ(ends[2], 36);
}

// Glyphs far outside the clip are passed over before snapping; every glyph the clip shows
// must still come out exactly as it does when the whole line is drawn and then clipped,
// wherever the clip's edges fall between glyphs and pixels.
TEST_F(Text, ALongClippedLineKeepsEveryVisibleGlyphAsTheWholeLineDrawsIt) {
    TestFont test(false);
    const f32 color[4] = {1, 1, 1, 1};
    std::string line;
    for (i32 i = 0; i < 3000; i += 1) line += i % 3 == 2 ? ' ' : (i % 2 ? 'B' : 'A');
    Str text = {(u8*)line.data(), (i64)line.size()};
    const f32 origin_x = 0.4f, origin_y = 0.3f;
    headless_draws_clear();
    draw_string(&test.font, color, text, origin_x, origin_y, 1, 1, TEXT_LEFT, TEXT_CENTERED);
    ASSERT_EQ(headless_draw_count(), 1);
    std::vector<Vertex> whole((const Vertex*)headless_draw(0)->vertex_bytes,
                              (const Vertex*)headless_draw(0)->vertex_bytes +
                                  headless_draw(0)->index_count / 6 * 4);
    ASSERT_EQ(whole.size(), 2000u * 4);
    // Narrow clips stepping a fraction of a pixel at a time, so their edges meet glyph
    // edges at every offset; then clips before the line, at its start and over a long run.
    for (i32 k = 0; k < 203; k += 1) {
        f32 clip[4] = {9000.0f + 0.37f * (f32)k, -6.5f, 1.5f + (f32)(k % 7), 13.0f};
        if (k == 200) clip[0] = -30.0f, clip[2] = 25.0f;
        if (k == 201) clip[0] = 0.0f, clip[2] = 0.6f;
        if (k == 202) clip[0] = 11234.0f, clip[2] = 300.0f;
        std::vector<f32> expected;  // x, y, width, height, u of each kept quad
        for (size_t q = 0; q < whole.size(); q += 4) {
            f32 x = whole[q].position[0], y = whole[q].position[1];
            f32 w = whole[q + 2].position[0] - x, h = whole[q + 2].position[1] - y;
            ClipResult kept = clip_rect(&x, &y, &w, &h, clip);
            if (!(kept.u_scale > 0.0f && kept.v_scale > 0.0f)) continue;
            f32 u = whole[q].uv[0] + kept.u_offset * (whole[q + 2].uv[0] - whole[q].uv[0]);
            expected.insert(expected.end(), {x, y, w, h, u});
        }
        headless_draws_clear();
        draw_string_clipped(&test.font, color, clip, text, origin_x, origin_y, 1, 1);
        i64 quads = headless_draw_count() ? headless_draw(0)->index_count / 6 : 0;
        ASSERT_EQ((size_t)quads * 5, expected.size()) << "clip " << k;
        const Vertex* v = quads ? (const Vertex*)headless_draw(0)->vertex_bytes : nullptr;
        for (i64 q = 0; q < quads; q += 1) {
            const Vertex* c = v + 4 * q;
            // Far along the line a float's step is a few thousandths of a pixel.
            EXPECT_NEAR(c[0].position[0], expected[5 * q], 0.01) << "clip " << k << " quad " << q;
            EXPECT_NEAR(c[0].position[1], expected[5 * q + 1], 0.01);
            EXPECT_NEAR(c[2].position[0] - c[0].position[0], expected[5 * q + 2], 0.01);
            EXPECT_NEAR(c[2].position[1] - c[0].position[1], expected[5 * q + 3], 0.01);
            EXPECT_NEAR(c[0].uv[0], expected[5 * q + 4], 1e-5);
        }
    }
}

TEST_F(Text, LineWidthBeforeCountsFromTheStartOfTheCaretsLine) {
    TestFont test(false);
    theme_set_defaults();
    g_theme.font = &test.font;
    g_theme.text_scale = 0.5f;
    Str text = STR("AAAA\nB\xC3\xA9" "A");
    EXPECT_DOUBLE_EQ(text_line_width_before(text, 3), 15);
    EXPECT_DOUBLE_EQ(text_line_width_before(text, 5), 0);
    EXPECT_DOUBLE_EQ(text_line_width_before(text, 6), 6);
    // 'é' has no glyph here and this font no replacement: it adds nothing.
    EXPECT_DOUBLE_EQ(text_line_width_before(text, 9), 11);
    EXPECT_DOUBLE_EQ(text_line_width_before(text, 100), 11);
}

// Font description files in a fresh folder.
struct FontFile : GraphicsTest {
    TempFolder temp;
    std::string folder = temp.path;
    std::string write(const std::string& name, const std::string& contents) {
        EXPECT_TRUE(write_text(temp / name, contents));
        return temp / name;
    }
    // Loads into a record filled with a pattern; true when the record kept the pattern.
    bool load_fails_untouched(const std::string& path) {
        Font font;
        memset((void*)&font, 0x5A, sizeof(font));
        Font before = font;
        bool loaded = font_load(to_str(path), &font);
        return !loaded && memcmp((void*)&font, (void*)&before, sizeof(font)) == 0;
    }
};

TEST_F(FontFile, ReadsPageGlyphsAndTheReplacementFallbackAndNumbersThatDoNotParseAsZero) {
    std::string path = write("font.txt",
                             "s 256 128\n"
                             "i " + PAGE_IMAGE + "\n"
                             "g 32 0 0 5 0 0 0 19\n"
                             "g 9 0 0 20 0 0 0 0\n"
                             "g 65 -1 -4 10 16 32 8 12\n"
                             "g 65533 0 2 12 64 0 10 14");  // no final newline
    Font font = {};
    ASSERT_TRUE(font_load(to_str(path), &font));
    EXPECT_DOUBLE_EQ(font.space_advance, 5.0 / 256);
    EXPECT_DOUBLE_EQ(font.tab_advance, 20.0 / 256);
    ASSERT_EQ(font.glyphs.count, 5);
    const Glyph& a = font.glyphs[glyph_lookup(&font, 65)];
    EXPECT_DOUBLE_EQ(a.x_offset, -1.0 / 256);
    EXPECT_DOUBLE_EQ(a.y_offset, -4.0 / 128);
    EXPECT_DOUBLE_EQ(a.u, 16.0 / 256);
    EXPECT_DOUBLE_EQ(a.v, 32.0 / 128);
    EXPECT_DOUBLE_EQ(a.height, 12.0 / 128);
    EXPECT_DOUBLE_EQ(font.glyphs[0].advance, 12.0 / 256);  // the last record was read
    bool mipmapped = false;
    headless_texture_info(font.page_texture, nullptr, nullptr, &mipmapped);
    EXPECT_TRUE(mipmapped);

    // Numbers that do not parse read as zero.
    Font words = {};
    ASSERT_TRUE(font_load(to_str(write("words.txt", "s 8 8\ng 65 x 0 4 0 0 four 4\n")), &words));
    const Glyph& w = words.glyphs[glyph_lookup(&words, 65)];
    EXPECT_EQ(w.x_offset, 0);
    EXPECT_EQ(w.width, 0);
    EXPECT_DOUBLE_EQ(w.advance, 0.5);

    // A page image named without a folder is found beside the font file.
    std::filesystem::copy_file(PAGE_IMAGE, folder + "/page.png");
    Font beside = {};
    ASSERT_TRUE(font_load(to_str(write("beside.txt", "s 8 8\ni page.png\n")), &beside));
    i32 width = 0;
    headless_texture_info(beside.page_texture, &width, nullptr, nullptr);
    EXPECT_EQ(width, 8);
}

TEST_F(FontFile, FailuresAreReportedMalformedLinesAreNotAndNeitherChangesTheFont) {
    testing::internal::CaptureStdout();
    EXPECT_TRUE(load_fails_untouched(folder + "/missing.txt"));
    EXPECT_TRUE(load_fails_untouched(write("image.txt", "s 8 8\ni nothing.png\n")));
    EXPECT_TRUE(load_fails_untouched(write("unknown.txt", "s 8 8\nx 1 2\n")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "failed to open " + folder + "/missing.txt\n"
              "failed to load font image: " + folder + "/nothing.png\n"
              "unknown x\n");

    // Malformed lines stop loading silently and release the page.
    i64 textures = headless_live_textures();
    testing::internal::CaptureStdout();
    const std::string head = "s 8 8\ni " + PAGE_IMAGE + "\ng 65 0 0 4 0 0 4 4\n";
    EXPECT_TRUE(load_fails_untouched(write("blank.txt", head + "\ng 66 0 0 4 0 0 4 4\n")));
    EXPECT_TRUE(load_fails_untouched(write("blank_end.txt", head + "\n")));
    EXPECT_TRUE(load_fails_untouched(write("nospace.txt", head + "g65 0 0 4 0 0 4 4\n")));
    // A page of no size, or numbers no font has, would reach the GPU as infinities.
    EXPECT_TRUE(load_fails_untouched(write("zero.txt", "s 0 0\ng 65 0 0 4 0 0 4 4\n")));
    EXPECT_TRUE(load_fails_untouched(
        write("huge.txt", head + "g 66 0 0 1" + std::string(40, '0') + " 0 0 4 4\n")));
    EXPECT_TRUE(load_fails_untouched(write("code.txt", head + "g -3 0 0 4 0 0 4 4\n")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(headless_live_textures(), textures);
}

TEST_F(FontFile, TheShippedFontCoversWhatTheInterfaceWrites) {
    Font font = {};
    ASSERT_TRUE(font_load(STR("textures/font_info.txt"), &font));
    for (u32 c = 32; c < 127; c += 1) EXPECT_NE(glyph_lookup(&font, c), 0u) << c;
    for (u32 c = 160; c < 256; c += 1) EXPECT_NE(glyph_lookup(&font, c), 0u) << c;
    const u32 symbols[] = {0x2192, 0x2190, 0x266D, 0x266F, 0x20AC, 0x2026, 0x9, 0xFFFD};
    for (u32 c : symbols) EXPECT_NE(glyph_lookup(&font, c), 0u) << c;
    // Interface text is drawn at one page pixel per screen pixel at the shipped text scale.
    i32 width = 0, height = 0;
    headless_texture_info(font.page_texture, &width, &height, nullptr);
    EXPECT_EQ(width, 256);
    EXPECT_EQ(height, 256);
    // A line holds every glyph: nothing the font draws is taller than its line.
    for (i64 i = 1; i < font.glyphs.count; i += 1)
        EXPECT_LE(font.glyphs[i].height - font.glyphs[i].y_offset, font.line_height + 1e-9);
}
