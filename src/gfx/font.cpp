// The font description reader, the code-point map and UTF-8 decoding; see font.h. Loading
// builds the whole font aside and copies it into the caller's record only at the end, so a
// font that fails halfway leaves the record untouched. Main thread at start-up.
#include "gfx/font.h"

#include "base/format.h"
#include "base/text.h"
#include "gfx/textures.h"
#include "platform/system.h"

// Page sizes and glyph numbers beyond this many pixels are not a font: they are refused
// before they can turn into infinities on the way to the GPU.
static const f64 FONT_PIXEL_LIMIT = 1048576.0;

// ---------------------------------------------------------------------------------------
// Code-point map
// ---------------------------------------------------------------------------------------
bool code_point_map_insert(CodePointMap* map, u32 code_point, u32 glyph_index) {
    if (glyph_index == 0) return false;
    if (code_point == 0) {  // 0 marks the table's free slots
        if (!map->ascii[0]) map->ascii[0] = glyph_index;
        return true;
    }
    i64 count = map->count;
    // A code point defined again keeps its first glyph: a second entry could never be found
    // before the first, and a run of them would only lengthen every probe.
    if (!hash_table_insert(map, code_point, glyph_index, HASH_KEEP_FIRST, HASH_PROBE_BOUNDED))
        return false;
    if (code_point < 128 && map->count > count) map->ascii[code_point] = glyph_index;
    return true;
}

u32 glyph_lookup(const Font* font, u32 code_point) {
    if (code_point < 128) return font->map.ascii[code_point];
    const u32* glyph = hash_table_find(&font->map, code_point);
    return glyph ? *glyph : 0;
}

// ---------------------------------------------------------------------------------------
// UTF-8
// ---------------------------------------------------------------------------------------
Utf8Char utf8_decode(Str text) {
    if (text.length <= 0) return Utf8Char{0xFFFD, 1};
    const u8* b = text.data;
    u32 first = b[0];
    if (first < 0x80) return Utf8Char{first, 1};
    if (first < 0xC0) return Utf8Char{0xFFFD, 1};
    i64 length = first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
    if (length > text.length) return Utf8Char{0xFFFD, length};
    u32 code = 0;
    if (length == 2) code = ((first & 0x1Fu) << 6) | (b[1] & 0x3Fu);
    if (length == 3) code = ((first & 0x0Fu) << 12) | ((b[1] & 0x3Fu) << 6) | (b[2] & 0x3Fu);
    if (length == 4)
        code = ((first & 0x07u) << 18) | ((b[1] & 0x3Fu) << 12) | ((b[2] & 0x3Fu) << 6) |
               (b[3] & 0x3Fu);
    return Utf8Char{code, length};
}

// ---------------------------------------------------------------------------------------
// Font description files
// ---------------------------------------------------------------------------------------
// The next word of a record (up to a space or the end), the space skipped.
static Str record_word(TextCursor* cursor) {
    Str word = text_read_until(cursor, ' ');
    if (cursor->position < cursor->length) cursor->position += 1;
    return word;
}

static f64 word_number(Str word) {
    TextCursor cursor = text_cursor(word);
    return text_parse_number(&cursor);
}

static bool pixels_in_range(f64 value) {
    return value >= -FONT_PIXEL_LIMIT && value <= FONT_PIXEL_LIMIT;
}

// "s width height": the page size that the glyph records after it are divided by.
static bool font_read_page_size(Str rest, f64* page_width, f64* page_height) {
    TextCursor cursor = text_cursor(rest);
    f64 width = word_number(record_word(&cursor));
    f64 height = word_number(record_word(&cursor));
    if (!(width >= 1.0 && width <= FONT_PIXEL_LIMIT && height >= 1.0 &&
          height <= FONT_PIXEL_LIMIT))
        return false;
    *page_width = width;
    *page_height = height;
    return true;
}

// "i file": the page image, beside the font file when it is not found as given.
static bool font_read_page_image(Str font_path, Str file, Font* font) {
    Str chosen = file;
    if (!file_exists(file)) {
        i64 folder = font_path.length;
        while (folder > 0 && font_path.data[folder - 1] != '/') folder -= 1;
        if (folder > 0) {
            u8* joined = (u8*)pool_alloc(POOL_TMP, folder + file.length);
            if (joined) {
                memcpy(joined, font_path.data, (size_t)folder);
                if (file.length > 0) memcpy(joined + folder, file.data, (size_t)file.length);
                chosen = Str{joined, folder + file.length};
            }
        }
    }
    // Mipmapped, so that text stays readable at the canvas's small scales. Glyphs are always
    // scaled alike in both directions, where anisotropic filtering buys nothing, and some
    // drivers blur a texture drawn one texel per pixel when it is on.
    u32 page = texture_load_or_zero(chosen, GPU_WRAP_CLAMP, GPU_WRAP_CLAMP,
                                     GPU_FILTER_LINEAR_MIPMAP_LINEAR, GPU_FILTER_LINEAR, 1.0f);
    if (!page) {
        const FormatArg args[] = {fa_str(chosen)};
        format_print(STR("failed to load font image: %a\n"), args, ARRAY_COUNT(args));
        return false;
    }
    texture_release(font->page_texture);
    font->page_texture = page;
    return true;
}

// "g code x-offset y-offset advance u v width height", all in page pixels.
static bool font_read_glyph(Str rest, f64 page_width, f64 page_height, Font* font) {
    TextCursor cursor = text_cursor(rest);
    TextCursor code_cursor = text_cursor(record_word(&cursor));
    i64 code = text_parse_integer(&code_cursor);
    if (code < 0 || code > 0x10FFFF) return false;
    f64 values[7];
    for (i32 i = 0; i < 7; i += 1) {
        values[i] = word_number(record_word(&cursor));
        if (!pixels_in_range(values[i])) return false;
    }
    Glyph glyph;
    glyph.x_offset = values[0] / page_width;
    glyph.y_offset = values[1] / page_height;
    glyph.advance = values[2] / page_width;
    glyph.u = values[3] / page_width;
    glyph.v = values[4] / page_height;
    glyph.width = values[5] / page_width;
    glyph.height = values[6] / page_height;
    if (!array_push(&font->glyphs, glyph)) return false;
    u32 index = (u32)(font->glyphs.count - 1);
    if (code == 32) font->space_advance = glyph.advance;
    if (code == 9) font->tab_advance = glyph.advance;
    if (glyph.height > font->line_height) font->line_height = glyph.height;
    return code_point_map_insert(&font->map, (u32)code, index);
}

static bool font_read_records(Str path, Str text, Font* font) {
    f64 page_width = 1.0, page_height = 1.0;
    TextCursor cursor = text_cursor(text);
    while (cursor.position < cursor.end) {
        Str line = text_read_line(&cursor);
        cursor.position += 1;
        // A record type is one character and a space; anything else (an empty line too)
        // ends loading without a word.
        if (line.length < 2 || line.data[1] != ' ') return false;
        Str rest = Str{line.data + 2, line.length - 2};
        bool ok = false;
        switch (line.data[0]) {
            case 's': ok = font_read_page_size(rest, &page_width, &page_height); break;
            case 'i': ok = font_read_page_image(path, rest, font); break;
            case 'g': ok = font_read_glyph(rest, page_width, page_height, font); break;
            default: {
                const FormatArg args[] = {fa_char(line.data[0])};
                format_print(STR("unknown %a\n"), args, ARRAY_COUNT(args));
                break;
            }
        }
        if (!ok) return false;
    }
    return true;
}

bool font_load(Str path, Font* font) {
    FileHandle file = file_open(path, FILE_READ);
    i64 size = file_failed(file) ? -1 : file_size(file);
    u8* data = size > 0 ? (u8*)pool_alloc(POOL_MAIN, size) : 0;
    i64 got = data ? file_read(file, size, data) : 0;
    file_close(file);
    if (size < 0 || (size > 0 && got != size)) {
        const FormatArg args[] = {fa_str(path)};
        format_print(STR("failed to open %a\n"), args, ARRAY_COUNT(args));
        return false;
    }
    return font_parse(path, Str{data, got}, font);
}

bool font_parse(Str path, Str text, Font* font) {
    Font built = {};
    built.size = 256.0;
    array_init(&built.glyphs, POOL_MAIN);
    built.map.pool = POOL_MAIN;
    if (!array_push_zero(&built.glyphs)) return false;
    if (!font_read_records(path, text, &built)) {
        texture_release(built.page_texture);
        return false;
    }
    // Every code point the font lacks then draws as the replacement glyph.
    u32 replacement = glyph_lookup(&built, 0xFFFD);
    if (replacement) built.glyphs[0] = built.glyphs[replacement];
    *font = built;
    return true;
}
