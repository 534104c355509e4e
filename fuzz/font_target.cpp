// Fuzz target of the font description reader: any text through font_parse as if read from
// "font.txt" in the private folder (whose "page.png" an "i" record may name), on the
// headless graphics. Besides the sanitizers it checks that a failed load leaves the
// caller's record byte for byte as it was and no texture behind; that a loaded font's
// code-point map is a power of two at most half full whose entries all point at glyphs and
// are found again; that the line height is the tallest glyph; and that glyph 0 is the
// replacement glyph's copy when the font has U+FFFD. Every text is also measured and
// decoded with the font, which reads its glyphs.
#include <stdlib.h>
#include <string.h>

#include "fuzz_support.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/textures.h"
#include "platform/headless.h"

static const i64 FONT_IMAGE_BYTES = 16 << 20;
static void* font_image_memory;
static i64 font_main_mark, font_tmp_mark;
static u8 font_path_bytes[4096];
static Str font_path;

bool font_fuzz_setup() {
    if (!fuzz_folder_enter()) return false;
    Str folder = fuzz_folder();
    static const char name[] = "/font.txt";
    if (folder.length + (i64)sizeof(name) > (i64)sizeof(font_path_bytes)) return false;
    memcpy(font_path_bytes, folder.data, (size_t)folder.length);
    memcpy(font_path_bytes + folder.length, name, sizeof(name) - 1);
    font_path = Str{font_path_bytes, folder.length + (i64)sizeof(name) - 1};
    font_image_memory = malloc((size_t)FONT_IMAGE_BYTES);
    if (!font_image_memory) return false;
    image_set_buffer(FONT_IMAGE_BYTES, font_image_memory);
    image_set_flip(true);
    font_main_mark = fuzz_pool_mark(POOL_MAIN);
    font_tmp_mark = fuzz_pool_mark(POOL_TMP);
    return true;
}

void font_fuzz_teardown() {
    image_set_buffer(0, 0);
    free(font_image_memory);
    font_image_memory = 0;
    fuzz_folder_leave();
    headless_reset();
}

static const char* font_check(const Font* font) {
    const CodePointMap* map = &font->map;
    if (font->size != 256.0 || font->glyphs.count < 1)
        return "a loaded font lacks its fallback glyph";
    if (map->capacity != 0) {
        if (map->capacity < 8 || (map->capacity & (map->capacity - 1)) != 0)
            return "the code-point map's capacity is not a power of two";
        if (map->count > map->capacity / 2 + 1) return "the code-point map is more than half full";
    }
    i64 entries = 0;
    for (i64 i = 0; i < map->capacity; i += 1) {
        const HashSlot<u32, u32>* entry = &map->slots[i];
        if (entry->key == 0) continue;
        entries += 1;
        if (entry->value == 0 || (i64)entry->value >= font->glyphs.count)
            return "a map entry points past the glyphs";
        if (glyph_lookup(font, entry->key) != entry->value)
            return "a code point in the map is not found again";
    }
    if (entries != map->count) return "the code-point map miscounts its entries";
    f64 tallest = 0.0;
    for (i64 g = 1; g < font->glyphs.count; g += 1)
        if (font->glyphs[g].height > tallest) tallest = font->glyphs[g].height;
    if (font->line_height != tallest) return "the line height is not the tallest glyph";
    u32 replacement = glyph_lookup(font, 0xFFFD);
    if (replacement && memcmp(&font->glyphs[0], &font->glyphs[replacement], sizeof(Glyph)) != 0)
        return "glyph 0 is not the replacement glyph";
    if (!replacement) {
        Glyph zero = {};
        if (memcmp(&font->glyphs[0], &zero, sizeof(Glyph)) != 0) return "glyph 0 is not empty";
    }
    return 0;
}

const char* font_fuzz_one(const u8* data, size_t size) {
    if (!fuzz_paths_confined(data, size)) return FUZZ_SKIPPED;
    fuzz_pool_rewind(POOL_MAIN, font_main_mark);
    fuzz_pool_rewind(POOL_TMP, font_tmp_mark);
    headless_reset();
    Str text = fuzz_copy(POOL_MAIN, data, size);

    Font font, before;  // byte copies: the comparison below covers the padding too
    memset(&font, 0x5A, sizeof(font));
    memcpy(&before, &font, sizeof(Font));
    if (!font_parse(font_path, text, &font)) {
        if (memcmp(&font, &before, sizeof(Font)) != 0) return "a failed load changed the record";
        if (headless_live_textures() != 0) return "a failed load left a texture behind";
        return 0;
    }
    const char* failure = font_check(&font);
    if (failure) return failure;

    // The text itself, measured and decoded with the font as the interface would.
    g_mesh.font = &font;  // what bind_font makes current, without a shader to bind
    for (u8 align = 0; align < 5; align += 1) {
        g_mesh.horizontal_alignment = align;
        g_mesh.vertical_alignment = align;
        TextBlock block = text_measure(text, 1.0, 1.0);
        if (!(block.height >= 0.0)) return "a measured block has no height";
    }
    g_mesh.font = 0;  // the record lives on this stack
    for (i64 at = 0; at < text.length;) {
        Utf8Char c = utf8_decode(Str{text.data + at, text.length - at});
        if (c.length < 1 || c.length > 4) return "a decoded character has no length";
        (void)glyph_lookup(&font, c.code_point);
        at += c.length;
    }
    texture_release(font.page_texture);
    if (headless_live_textures() != 0) return "the page texture was not the only one made";
    return 0;
}
