// The resource registry: named textures and fonts from "resources.txt", and the default
// font. Names are copied into POOL_MAIN and mapped to list positions. Written at start-up
// on the main thread, read-only afterwards.
#include "gfx/resources.h"

#include "base/name_map.h"
#include "base/pool.h"
#include "base/text.h"
#include "gfx/font.h"
#include "gfx/textures.h"
#include "model/files.h"
#include "platform/system.h"

struct ResourceRegistry {
    NameMap texture_names;
    PoolArray<u32> textures;
    NameMap font_names;
    PoolArray<Font> fonts;
};

static ResourceRegistry registry;
static Font default_font = {0, 0, 0, 256.0, 0, {}, {}};

static Font font_empty() {
    Font font = {};
    font.size = 256.0;
    return font;
}

void font_default_load(Str path) {
    default_font = font_empty();
    font_load(path, &default_font);
}

Font* font_default() { return &default_font; }

// One "texture" or "font" line after its keyword: the name up to a space, then the path
// (the rest of the line).
static void resources_line(TextCursor* line) {
    Str keyword = text_read_until(line, ' ');
    line->position += 1;
    bool is_texture = str_equal(keyword, STR("texture"));
    bool is_font = str_equal(keyword, STR("font"));
    if (!is_texture && !is_font) return;
    Str name = text_read_until(line, ' ');
    line->position += 1;
    Str path = text_read_until(line, '\n');
    Str copy = str_copy(POOL_MAIN, name);
    if (is_texture) {
        u32 texture =
            texture_load(path, GPU_WRAP_CLAMP, GPU_WRAP_CLAMP, GPU_FILTER_LINEAR, GPU_FILTER_LINEAR);
        i64 index = registry.textures.count;
        if (!array_push(&registry.textures, texture)) {
            texture_release(texture);
            return;
        }
        name_map_insert(&registry.texture_names, copy, index);
    } else {
        Font font = font_empty();
        font_load(path, &font);
        i64 index = registry.fonts.count;
        if (!array_push(&registry.fonts, font)) {
            texture_release(font.page_texture);
            return;
        }
        name_map_insert(&registry.font_names, copy, index);
    }
}

void resources_load() { resources_parse(read_entire_file(STR("resources.txt"), POOL_MAIN)); }

void resources_parse(Str text) {
    name_map_init(&registry.texture_names, POOL_MAIN);
    name_map_init(&registry.font_names, POOL_MAIN);
    array_init(&registry.textures, POOL_MAIN);
    array_init(&registry.fonts, POOL_MAIN);
    TextCursor cursor = text_cursor(text);
    while (cursor.position < cursor.end) {
        Str line = text_read_line(&cursor);
        cursor.position += 1;
        TextCursor line_cursor = text_cursor(line);
        resources_line(&line_cursor);
    }
}

u32 texture_by_name(Str name) {
    i64 index = name_map_find(&registry.texture_names, name);
    if (index < 0 || index >= registry.textures.count) return g_textures.ids[TEXTURE_WHITE];
    return registry.textures.data[index];
}

Font* font_by_name(Str name) {
    i64 index = name_map_find(&registry.font_names, name);
    if (index < 0 || index >= registry.fonts.count) return &default_font;
    return &registry.fonts.data[index];
}

void resources_destroy() {
    for (i64 i = 0; i < registry.textures.count; i += 1) texture_release(registry.textures[i]);
    for (i64 i = 0; i < registry.fonts.count; i += 1)
        texture_release(registry.fonts[i].page_texture);
    texture_release(default_font.page_texture);
    // The lists and names live in POOL_MAIN, which is freed after this.
    registry = ResourceRegistry{};
    default_font = font_empty();
}
