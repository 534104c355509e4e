// Bakes a TrueType font into sorvane's bitmap font: one page image (white, coverage in
// alpha) and a description file of "s", "i" and "g" records. Build-time tool; it uses
// FreeType and stb_image_write, which the program itself never touches.
//
//   sorvane-fontbake FONT.ttf PIXEL_SIZE PAGE_SIZE OUT_INFO.txt OUT_PAGE.png
//
// Glyph numbers are page pixels. Vertically every glyph is placed relative to the bottom of
// the line box (the descender line), not the baseline, so that a program centring a line
// centres its box. The reader takes the line height from the tallest record; the space,
// which is never drawn, carries the line box height (ascender + descender), so lines are
// spaced by the font's own metrics. The page is stored top row first and loaded flipped,
// so v counts from the bottom of the page.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

typedef unsigned char u8;
typedef int i32;
typedef unsigned int u32;

// Beyond printable ASCII and Latin-1: the punctuation, arrows and symbols the interface and
// the usual key and pitch names use, and U+FFFD, which stands in for every missing glyph.
static const u32 EXTRA_CODE_POINTS[] = {
    0x0152, 0x0153, 0x0160, 0x0161, 0x0178, 0x017D, 0x017E, 0x0192, 0x02C6, 0x02DC,
    0x2013, 0x2014, 0x2018, 0x2019, 0x201A, 0x201C, 0x201D, 0x201E, 0x2020, 0x2021,
    0x2022, 0x2026, 0x2030, 0x2039, 0x203A, 0x20AC, 0x2122,
    0x2190, 0x2191, 0x2192, 0x2193, 0x2194, 0x2195, 0x21BA, 0x21BB,
    0x2212, 0x221E, 0x2248, 0x2260, 0x2264, 0x2265,
    0x25A0, 0x25B2, 0x25B6, 0x25BC,
    0x2669, 0x266A, 0x266B, 0x266D, 0x266E, 0x266F,
    0x2713, 0x2717, 0xFFFD,
};

// Empty pixels between neighbouring glyphs, so that the smaller mipmap levels blend each
// glyph with a little transparent border rather than with its neighbour.
static const i32 GAP = 3;

// The program blends in linear light, which lets light text on a dark ground spread into
// its anti-aliased edge and look heavier than the font is. Storing coverage raised to this
// power gives edges about the weight that blending display values would give.
static const double COVERAGE_EXPONENT = 1.8;

struct BakedGlyph {
    u32 code;
    i32 left, top;      // bitmap offsets from the pen on the baseline (top is upward)
    i32 width, rows;
    i32 advance;        // whole pixels
    u8* coverage;       // width x rows, top row first
    i32 x, y;           // place on the page, from its top-left corner
};

static void fail(const char* what, const char* detail) {
    fprintf(stderr, "fontbake: %s%s\n", what, detail ? detail : "");
    exit(1);
}

static i32 compare_by_height(const void* a, const void* b) {
    const BakedGlyph* ga = *(const BakedGlyph* const*)a;
    const BakedGlyph* gb = *(const BakedGlyph* const*)b;
    if (ga->rows != gb->rows) return gb->rows - ga->rows;
    return (i32)ga->code - (i32)gb->code;
}

// Shelves from the top of the page, tallest glyphs first; false when the page is too small.
static bool pack(BakedGlyph* glyphs, i32 count, i32 page) {
    BakedGlyph** order = (BakedGlyph**)malloc(sizeof(BakedGlyph*) * (size_t)count);
    for (i32 i = 0; i < count; i += 1) order[i] = &glyphs[i];
    qsort(order, (size_t)count, sizeof(BakedGlyph*), compare_by_height);
    i32 x = GAP, y = GAP, shelf = 0;
    bool fits = true;
    for (i32 i = 0; i < count && fits; i += 1) {
        BakedGlyph* glyph = order[i];
        if (glyph->width == 0 || glyph->rows == 0) continue;
        if (x + glyph->width + GAP > page) {
            x = GAP;
            y += shelf + GAP;
            shelf = 0;
        }
        if (y + glyph->rows + GAP > page || glyph->width + 2 * GAP > page) fits = false;
        glyph->x = x;
        glyph->y = y;
        x += glyph->width + GAP;
        if (glyph->rows > shelf) shelf = glyph->rows;
    }
    free(order);
    return fits;
}

int main(int argc, char** argv) {
    if (argc != 6)
        fail("usage: sorvane-fontbake FONT.ttf PIXEL_SIZE PAGE_SIZE INFO.txt PAGE.png", 0);
    const char* font_path = argv[1];
    i32 pixel_size = atoi(argv[2]);
    i32 page = atoi(argv[3]);
    const char* info_path = argv[4];
    const char* page_path = argv[5];
    if (pixel_size < 4 || pixel_size > 256 || page < 16 || page > 8192)
        fail("pixel size or page size out of range", 0);

    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library)) fail("cannot start FreeType", 0);
    if (FT_New_Face(library, font_path, 0, &face)) fail("cannot read ", font_path);
    if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)pixel_size)) fail("cannot set the size", 0);
    i32 ascender = (i32)((face->size->metrics.ascender + 63) >> 6);
    i32 descender = (i32)((-face->size->metrics.descender + 63) >> 6);

    u32 codes[512];
    i32 code_count = 0;
    for (u32 c = 32; c <= 126; c += 1) codes[code_count++] = c;
    for (u32 c = 160; c <= 255; c += 1) codes[code_count++] = c;
    for (size_t i = 0; i < sizeof(EXTRA_CODE_POINTS) / sizeof(EXTRA_CODE_POINTS[0]); i += 1)
        codes[code_count++] = EXTRA_CODE_POINTS[i];

    BakedGlyph* glyphs = (BakedGlyph*)calloc((size_t)code_count, sizeof(BakedGlyph));
    for (i32 i = 0; i < code_count; i += 1) {
        BakedGlyph* glyph = &glyphs[i];
        glyph->code = codes[i];
        if (FT_Get_Char_Index(face, codes[i]) == 0) {
            char hex[16];
            snprintf(hex, sizeof(hex), "U+%04X", codes[i]);
            fail("the font has no glyph for ", hex);
        }
        // Light hinting keeps the designed shapes and snaps only vertically, which keeps
        // stems and the baseline crisp at one page pixel per screen pixel.
        if (FT_Load_Char(face, codes[i], FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT))
            fail("cannot render a glyph", 0);
        FT_GlyphSlot slot = face->glyph;
        FT_Bitmap* bitmap = &slot->bitmap;
        if (bitmap->pixel_mode != FT_PIXEL_MODE_GRAY && bitmap->rows > 0)
            fail("unexpected bitmap mode", 0);
        glyph->left = slot->bitmap_left;
        glyph->top = slot->bitmap_top;
        glyph->width = (i32)bitmap->width;
        glyph->rows = (i32)bitmap->rows;
        glyph->advance = (i32)((slot->advance.x + 32) >> 6);
        size_t bytes = (size_t)glyph->width * (size_t)glyph->rows;
        glyph->coverage = (u8*)malloc(bytes ? bytes : 1);
        for (i32 row = 0; row < glyph->rows; row += 1)
            memcpy(glyph->coverage + row * glyph->width, bitmap->buffer + row * bitmap->pitch,
                   (size_t)glyph->width);
    }
    if (!pack(glyphs, code_count, page)) fail("the glyphs do not fit the page", 0);

    // White everywhere, coverage in alpha: filtering and mipmaps then never darken edges.
    u8* pixels = (u8*)malloc((size_t)page * (size_t)page * 4);
    for (i32 i = 0; i < page * page; i += 1) {
        pixels[i * 4 + 0] = pixels[i * 4 + 1] = pixels[i * 4 + 2] = 255;
        pixels[i * 4 + 3] = 0;
    }
    u8 weight[256];
    for (i32 i = 0; i < 256; i += 1)
        weight[i] = (u8)(pow(i / 255.0, COVERAGE_EXPONENT) * 255.0 + 0.5);
    for (i32 i = 0; i < code_count; i += 1) {
        const BakedGlyph* glyph = &glyphs[i];
        for (i32 row = 0; row < glyph->rows; row += 1)
            for (i32 column = 0; column < glyph->width; column += 1)
                pixels[((glyph->y + row) * page + glyph->x + column) * 4 + 3] =
                    weight[glyph->coverage[row * glyph->width + column]];
    }
    if (!stbi_write_png(page_path, page, page, 4, pixels, page * 4))
        fail("cannot write ", page_path);

    FILE* info = fopen(info_path, "wb");
    if (!info) fail("cannot write ", info_path);
    const char* page_name = strrchr(page_path, '/');
    page_name = page_name ? page_name + 1 : page_path;
    fprintf(info, "s %d %d\n", page, page);
    fprintf(info, "i %s\n", page_name);
    i32 space_advance = 0;
    for (i32 i = 0; i < code_count; i += 1) {
        const BakedGlyph* glyph = &glyphs[i];
        if (glyph->code == 32) space_advance = glyph->advance;
        if (glyph->rows == 0 || glyph->width == 0) {
            i32 height = glyph->code == 32 ? ascender + descender : 0;
            fprintf(info, "g %u 0 0 %d 0 0 0 %d\n", glyph->code, glyph->advance, height);
            continue;
        }
        i32 x_offset = -glyph->left;
        i32 y_offset = glyph->rows - glyph->top - descender;
        i32 v = page - (glyph->y + glyph->rows);
        fprintf(info, "g %u %d %d %d %d %d %d %d\n", glyph->code, x_offset, y_offset,
                glyph->advance, glyph->x, v, glyph->width, glyph->rows);
    }
    // A tab is four spaces wide and has no picture.
    fprintf(info, "g 9 0 0 %d 0 0 0 0\n", 4 * space_advance);
    if (fclose(info) != 0) fail("cannot finish ", info_path);

    for (i32 i = 0; i < code_count; i += 1) free(glyphs[i].coverage);
    free(glyphs);
    free(pixels);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return 0;
}
