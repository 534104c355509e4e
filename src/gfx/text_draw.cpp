// Text layout and drawing with bitmap fonts, and clipping of rectangles and glyphs to a
// rectangle; see font.h. Each text run is one draw call. Main thread only.
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/theme.h"
#include "platform/system.h"

static const Glyph NO_GLYPH = {};

static const Glyph* glyph_for(const Font* font, u32 code_point) {
    u32 index = glyph_lookup(font, code_point);
    if (index >= (u32)font->glyphs.count) return &NO_GLYPH;  // a font that never loaded
    return &font->glyphs.data[index];
}

TextBlock text_measure(Str text, f64 scale_x, f64 scale_y) {
    TextBlock block = {};
    const Font* font = g_mesh.font;
    if (!font) return block;
    f64 ax = scale_x * font->size;
    f64 ay = scale_y * font->size;
    f64 line_height = font->line_height * ay;
    f64 line = 0.0;
    block.height = line_height;
    for (i64 i = 0; i < text.length;) {
        Utf8Char c = utf8_decode(Str{text.data + i, text.length - i});
        i += c.length;
        if (c.code_point == ' ') {
            line += font->space_advance * ax;
        } else if (c.code_point == '\t') {
            line += font->tab_advance * ax;
        } else if (c.code_point == '\n') {
            if (line > block.width) block.width = line;
            line = 0.0;
            block.height += line_height;
        } else {
            line += glyph_for(font, c.code_point)->advance * ax;
        }
    }
    if (line > block.width) block.width = line;
    switch (g_mesh.horizontal_alignment) {
        case TEXT_CENTER: block.x0 = -block.width / 2.0; break;
        case TEXT_RIGHT: block.x0 = -block.width; break;
        default: block.x0 = 0.0; break;
    }
    switch (g_mesh.vertical_alignment) {
        case TEXT_LAST_LINE_ON_Y: block.y0 = block.height - line_height; break;
        case TEXT_CENTERED: block.y0 = block.height / 2.0 - line_height; break;
        case TEXT_HANGING: block.y0 = -line_height; break;
        default: block.y0 = 0.0; break;
    }
    return block;
}

static f64 snap(f64 value, f64 step) { return math_floor(value / step + 0.5) * step; }

// Whether a quad (x, y, width, height) lies wholly beyond the clip by more than `margin`.
static bool outside_clip(const f64* quad, const f32* clip, f64 margin) {
    return quad[0] > clip[0] + clip[2] + margin || quad[0] + quad[2] < clip[0] - margin ||
           quad[1] > clip[1] + clip[3] + margin || quad[1] + quad[3] < clip[1] - margin;
}

// Pushes every glyph of the text into the mesh (clipped when clip is set); the final pen x.
static f64 text_layout(Str text, f64 x, f64 y, f64 scale_x, f64 scale_y, const f32* clip) {
    const Font* font = g_mesh.font;
    if (!font) return 0.0;
    f64 ax = scale_x * font->size;
    f64 ay = scale_y * font->size;
    f64 step = g_mesh.pixel_snap;
    TextBlock block = text_measure(text, scale_x, scale_y);
    f64 pen_x = block.x0;
    f64 pen_y = block.y0;
    for (i64 i = 0; i < text.length;) {
        Utf8Char c = utf8_decode(Str{text.data + i, text.length - i});
        i += c.length;
        if (c.code_point == ' ') {
            pen_x += font->space_advance * ax;
            continue;
        }
        if (c.code_point == '\t') {
            pen_x += font->tab_advance * ax;
            continue;
        }
        if (c.code_point == '\n') {
            pen_x = block.x0;
            pen_y -= font->line_height * ay;
            continue;
        }
        const Glyph* glyph = glyph_for(font, c.code_point);
        f64 quad[4] = {x + pen_x - ax * glyph->x_offset, y + pen_y - ay * glyph->y_offset,
                       ax * glyph->width, ay * glyph->height};
        // A glyph far outside the clip is passed over before snapping and clipping, so a
        // long line costs little more than its visible part. Snapping moves an edge by at
        // most a step, hence the margin.
        if (clip && outside_clip(quad, clip, step + 1.0)) {
            pen_x += ax * glyph->advance;
            continue;
        }
        if (step != 0.0)
            for (i32 k = 0; k < 4; k += 1) quad[k] = snap(quad[k], step);
        pen_x += ax * glyph->advance;
        // A glyph without a picture (a code point the font lacks) draws nothing.
        if (quad[2] == 0.0 || quad[3] == 0.0) continue;
        f32 qx = (f32)quad[0], qy = (f32)quad[1], qw = (f32)quad[2], qh = (f32)quad[3];
        f32 uv[4] = {(f32)glyph->u, (f32)glyph->v, (f32)glyph->width, (f32)glyph->height};
        if (clip) {
            ClipResult kept = clip_rect(&qx, &qy, &qw, &qh, clip);
            if (!(kept.u_scale > 0.0f && kept.v_scale > 0.0f)) continue;
            uv[0] += kept.u_offset * uv[2];
            uv[1] += kept.v_offset * uv[3];
            uv[2] *= kept.u_scale;
            uv[3] *= kept.v_scale;
        }
        mesh_push_rect(qx, qy, qw, qh, 0.0f, 0.0f, uv);
    }
    return pen_x;
}

static f64 draw_text_run(Font* font, const f32* color, Str text, f32 x, f32 y, f32 scale_x,
                         f32 scale_y, u8 horizontal_alignment, u8 vertical_alignment,
                         const f32* clip) {
    bind_font(font);
    g_mesh.horizontal_alignment = horizontal_alignment;
    g_mesh.vertical_alignment = vertical_alignment;
    mesh_reset();
    for (i32 i = 0; i < 4; i += 1) g_mesh.current_color[i] = color[i];
    f64 pen_x = text_layout(text, x, y, scale_x, scale_y, clip);
    if (g_mesh.indices.count > 0) mesh_flush();
    return pen_x;
}

f64 draw_string(Font* font, const f32* color, Str text, f32 x, f32 y, f32 scale_x, f32 scale_y,
                u8 horizontal_alignment, u8 vertical_alignment) {
    return draw_text_run(font, color, text, x, y, scale_x, scale_y, horizontal_alignment,
                         vertical_alignment, 0);
}

f64 draw_string_clipped(Font* font, const f32* color, const f32* clip, Str text, f32 x, f32 y,
                        f32 scale_x, f32 scale_y) {
    return draw_text_run(font, color, text, x, y, scale_x, scale_y, TEXT_LEFT, TEXT_CENTERED,
                         clip);
}

// One axis of clip_rect: cuts the far side when it sticks out, else the near side.
static void clip_axis(f32* position, f32* size, f32 clip_start, f32 clip_size, f32* offset,
                      f32* scale) {
    f32 before = *size;
    *offset = 0.0f;
    *scale = 1.0f;
    if (*position + *size > clip_start + clip_size) {
        f32 over = *position + *size - clip_start - clip_size;
        *size -= over;
        *scale = before > 0.0f ? 1.0f - over / before : 0.0f;
    } else if (clip_start > *position) {
        f32 cut = clip_start - *position;
        *position = clip_start;
        *offset = before > 0.0f ? cut / before : 0.0f;
        *scale = before > 0.0f ? 1.0f - *offset : 0.0f;
        *size -= cut;
    } else if (before <= 0.0f) {
        *scale = 0.0f;  // nothing to draw, and nothing to divide by
    }
}

ClipResult clip_rect(f32* x, f32* y, f32* w, f32* h, const f32* clip) {
    ClipResult result;
    clip_axis(x, w, clip[0], clip[2], &result.u_offset, &result.u_scale);
    clip_axis(y, h, clip[1], clip[3], &result.v_offset, &result.v_scale);
    return result;
}

void draw_rect_clipped(u32 texture, const f32* color, f32 x, f32 y, f32 w, f32 h,
                       const f32* clip, const f32* uv) {
    bind_texture(texture);
    for (i32 i = 0; i < 4; i += 1) g_mesh.current_color[i] = color[i];
    mesh_reset();
    ClipResult kept = clip_rect(&x, &y, &w, &h, clip);
    if (kept.u_scale > 0.0f && kept.v_scale > 0.0f) {
        const f32 narrowed[4] = {uv[0] + kept.u_offset * uv[2], uv[1] + kept.v_offset * uv[3],
                                 kept.u_scale * uv[2], kept.v_scale * uv[3]};
        mesh_push_rect(x, y, w, h, 0.0f, 0.0f, narrowed);
    }
    if (g_mesh.indices.count > 0) mesh_flush();
}

f64 text_line_width_before(Str text, i64 position) {
    const Font* font = g_theme.font ? g_theme.font : font_default();
    if (!font) return 0.0;
    if (position > text.length) position = text.length;
    if (position < 0) position = 0;
    i64 start = position;
    while (start > 0 && text.data[start - 1] != '\n') start -= 1;
    f64 scale = (f64)g_theme.text_scale * font->size;
    f64 width = 0.0;
    for (i64 i = start; i < position;) {
        Utf8Char c = utf8_decode(Str{text.data + i, text.length - i});
        i += c.length;
        width += glyph_for(font, c.code_point)->advance * scale;
    }
    return width;
}
