// Bitmap fonts and text: the font description reader ("s", "i" and "g" records), the
// code-point map, UTF-8 decoding, measuring and aligning text, and drawing it through the
// renderer, optionally clipped to a rectangle. Fonts are loaded at start-up and read-only
// afterwards; drawing is main-thread only.
//
// Glyph metrics are fractions of the font page (horizontal ones of its width, vertical ones
// of its height); `size` (256) turns them into drawing units, so at scale 1 a glyph is as
// large as it would be on a 256-pixel page. Vertically a line is measured from the bottom of
// its line box, not from the baseline, so that centring a line centres its box.
#pragma once

#include "base/hash_table.h"
#include "base/pool.h"

struct Glyph {
    f64 x_offset;  // the quad's left edge lies x_offset to the left of the pen
    f64 y_offset;  // the quad's bottom lies y_offset below the line box bottom
    f64 advance;
    f64 u, v;      // lower-left corner of the glyph's cell in the page texture
    f64 width, height;
};

// Code points to glyph indices, in the program's hash table; a code point defined again
// keeps its first glyph.
struct CodePointMap : HashTable<u32, u32> {
    // The glyphs of code points below 128 again, by code point: text is mostly ASCII and
    // every drawn or measured character is looked up. Code point 0 is only here.
    u32 ascii[128];
};

struct Font {
    f64 space_advance;
    f64 tab_advance;
    f64 line_height;  // the tallest glyph record
    f64 size;         // 256
    u32 page_texture;
    PoolArray<Glyph> glyphs;  // glyph 0 is the fallback: U+FFFD when the font has it
    CodePointMap map;
};

// Horizontal alignments and vertical alignments of text_measure and draw_string.
enum {
    TEXT_LEFT = 0, TEXT_CENTER = 2, TEXT_RIGHT = 3,
};
enum {
    TEXT_FIRST_LINE_ON_Y = 0, TEXT_LAST_LINE_ON_Y = 1, TEXT_CENTERED = 2, TEXT_HANGING = 4,
};

// Loads a font description file into the caller's record; on any failure the record is
// left exactly as it was (failures of the file and of the page image are reported).
bool font_load(Str path, Font* font);
// The records of a font description already in memory (read during the call only); `path`
// is where it came from, as the page image may lie beside it. As with font_load, the record
// changes only on success.
bool font_parse(Str path, Str text, Font* font);

// The glyph index of a code point, 0 when the font has none.
u32 glyph_lookup(const Font* font, u32 code_point);
// Adds a code point; part of loading, exposed for tests of the map.
bool code_point_map_insert(CodePointMap* map, u32 code_point, u32 glyph_index);

struct Utf8Char {
    u32 code_point;
    i64 length;  // bytes taken; may run past the end of a truncated text
};
// The code point at the start of the text. A sequence cut short by the end of the text
// and a stray continuation byte give U+FFFD; continuation bytes are not checked.
Utf8Char utf8_decode(Str text);

struct TextBlock {
    f64 x0, y0;  // where the pen starts, relative to the anchor, for the current alignment
    f64 width, height;
};
// Measures text with the current font (bind_font) and the mesh's alignments.
TextBlock text_measure(Str text, f64 scale_x, f64 scale_y);

// Draws text with its own draw call; returns the final pen x (relative to x).
f64 draw_string(Font* font, const f32* color, Str text, f32 x, f32 y, f32 scale_x, f32 scale_y,
                u8 horizontal_alignment, u8 vertical_alignment);
// Left-aligned and vertically centred on y, every glyph clipped to clip (x, y, w, h).
f64 draw_string_clipped(Font* font, const f32* color, const f32* clip, Str text, f32 x, f32 y,
                        f32 scale_x, f32 scale_y);

struct ClipResult {
    f32 u_offset, v_offset;  // where the kept part starts, as a fraction of the rectangle
    f32 u_scale, v_scale;    // the kept fraction; 0 or less when nothing is left
};
// Clips (x, y, w, h) in place against clip (x, y, w, h), one side per axis.
ClipResult clip_rect(f32* x, f32* y, f32* w, f32* h, const f32* clip);
// A tinted textured rectangle clipped to clip, with its uv rectangle narrowed to match.
void draw_rect_clipped(u32 texture, const f32* color, f32 x, f32 y, f32 w, f32 h,
                       const f32* clip, const f32* uv);
// The drawn width, with the theme's font and text scale, of the text from the start of the
// line that holds byte `position` up to that position.
f64 text_line_width_before(Str text, i64 position);
