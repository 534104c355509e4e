// Fuzz target of the resource list reader: any text through resources_parse, in the private
// folder (its "page.png" and "font.txt" are files the text may name), on the headless
// graphics. Besides the sanitizers it checks that every named texture is the white texture
// or a live texture of the image's size, that every named font is registered (a failed one
// stays empty), that an unknown name gives the white texture and the default font, and that
// resources_destroy releases every texture the text made.
#include <stdlib.h>

#include "base/text.h"
#include "fuzz_support.h"
#include "gfx/font.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "platform/headless.h"

static const i64 RESOURCES_IMAGE_BYTES = 16 << 20;
static void* resources_image_memory;
static i64 resources_main_mark, resources_tmp_mark;

bool resources_fuzz_setup() {
    if (!fuzz_folder_enter()) return false;
    resources_image_memory = malloc((size_t)RESOURCES_IMAGE_BYTES);
    if (!resources_image_memory) return false;
    image_set_buffer(RESOURCES_IMAGE_BYTES, resources_image_memory);
    image_set_flip(true);
    resources_main_mark = fuzz_pool_mark(POOL_MAIN);
    resources_tmp_mark = fuzz_pool_mark(POOL_TMP);
    return true;
}

void resources_fuzz_teardown() {
    resources_destroy();
    image_set_buffer(0, 0);
    free(resources_image_memory);
    resources_image_memory = 0;
    fuzz_folder_leave();
    headless_reset();
}

// A texture id a name may give: the white one (0 here: no texture table is loaded) or a
// live texture with a size.
static bool texture_sound(u32 texture) {
    if (texture == 0) return true;
    i32 width = 0, height = 0;
    headless_texture_info(texture, &width, &height, 0);
    return width > 0 && height > 0;
}

const char* resources_fuzz_one(const u8* data, size_t size) {
    if (!fuzz_paths_confined(data, size)) return FUZZ_SKIPPED;
    fuzz_pool_rewind(POOL_MAIN, resources_main_mark);
    fuzz_pool_rewind(POOL_TMP, resources_tmp_mark);
    headless_reset();  // fresh texture ids, none live
    Str text = fuzz_copy(POOL_MAIN, data, size);
    resources_parse(text);

    if (texture_by_name(STR("\x01 no such name")) != 0) return "an unknown name gave a texture";
    if (font_by_name(STR("\x01 no such name")) != font_default())
        return "an unknown name gave a font";
    TextCursor cursor = text_cursor(text);
    while (cursor.position < cursor.length) {
        TextCursor line = text_cursor(text_read_line(&cursor));
        cursor.position += 1;
        Str keyword = text_read_until(&line, ' ');
        line.position += 1;
        Str name = text_read_until(&line, ' ');
        if (name.length == 0) continue;  // an empty name is never registered
        if (str_equal(keyword, STR("texture")) && !texture_sound(texture_by_name(name)))
            return "a named texture is neither white nor a live image";
        if (str_equal(keyword, STR("font"))) {
            const Font* font = font_by_name(name);
            if (font == font_default()) return "a font line left no font under its name";
            if (font->size != 256.0 || !texture_sound(font->page_texture))
                return "a named font is broken";
            if (font->glyphs.count == 0 && (font->page_texture != 0 || font->map.count != 0))
                return "a font that failed to load kept part of itself";
        }
    }
    resources_destroy();
    if (headless_live_textures() != 0) return "textures outlived resources_destroy";
    return 0;
}
