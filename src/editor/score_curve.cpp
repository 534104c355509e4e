// Curves on the canvas: the mapping of curve values into the curve's box, the Bezier
// evaluation, and the drawing of a curve with its points, handles, values and line.
// Main thread, inside the frame (the mapping is also read by the curve editor).
#include "editor/score_view.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "gfx/view.h"
#include "platform/system.h"

Vec2f curve_point_to_box(const Curve* curve, Fraction x, Fraction y) {
    f64 minimum = fraction_to_double(curve->minimum);
    f64 maximum = fraction_to_double(curve->maximum);
    f64 value = fraction_to_double(y);
    f64 height = curve->box_height;
    f64 box_y = 0.0;
    // An empty range (or, on the logarithmic scale, a range that does not lie above zero)
    // has no height to spread values over: they all sit on the box's floor.
    if (curve->logarithmic) {
        if (minimum > 0.0 && maximum > 0.0 && value > 0.0 && maximum != minimum)
            box_y = math_log(value / minimum) / math_log(maximum / minimum) * height;
    } else if (maximum != minimum) {
        box_y = (value - minimum) * height / (maximum - minimum);
    }
    return Vec2f{(f32)fraction_to_double(x), (f32)box_y};
}

Vec2f bezier_point(Vec2f p0, Vec2f p1, Vec2f p2, Vec2f p3, f32 t) {
    f32 t2 = t * t;
    f32 t3 = t2 * t;
    f32 a = 1.0f - 3.0f * t + 3.0f * t2 - t3;
    f32 b = 3.0f * t - 6.0f * t2 + 3.0f * t3;
    f32 c = 3.0f * t2 - 3.0f * t3;
    f32 d = t3;
    return Vec2f{a * p0.x + b * p1.x + c * p2.x + d * p3.x,
                 a * p0.y + b * p1.y + c * p2.y + d * p3.y};
}

// One polyline, every segment a quad half_width to either side, in one draw call.
static void draw_polyline(const Vec2f* points, i64 count, f32 half_width, const f32* color) {
    static const f32 ONE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    bind_texture(g_textures.ids[TEXTURE_WHITE]);
    for (i32 i = 0; i < 4; i += 1) g_mesh.current_color[i] = color[i];
    mesh_reset();
    for (i64 i = 0; i + 1 < count; i += 1) {
        Vec2f a = points[i], b = points[i + 1];
        f64 nx = (f64)b.y - (f64)a.y;
        f64 ny = (f64)a.x - (f64)b.x;
        f64 length = math_sqrt(nx * nx + ny * ny);
        if (length == 0.0) continue;
        f32 ox = (f32)(nx / length * half_width);
        f32 oy = (f32)(ny / length * half_width);
        mesh_push_quad(Vec3{a.x - ox, a.y - oy, 0}, Vec3{a.x + ox, a.y + oy, 0},
                       Vec3{b.x + ox, b.y + oy, 0}, Vec3{b.x - ox, b.y - oy, 0}, ONE, ONE, ONE, ONE,
                       UV_FULL);
    }
    if (g_mesh.indices.count > 0) mesh_flush();
}

static Vec2f on_canvas(const Curve* curve, Fraction x, Fraction y) {
    Vec2f box = curve_point_to_box(curve, x, y);
    return Vec2f{(f32)(curve->origin_x + box.x), (f32)(curve->origin_y + box.y)};
}

static void draw_marker(Vec2f at, f64 size, const f32* color) {
    draw_rect(g_textures.ids[TEXTURE_CIRCLE], color, at.x, at.y, (f32)(2.0 * size),
              (f32)(2.0 * size), (f32)size, (f32)size);
}

void curve_draw(Curve* curve, f64 origin_x, f64 origin_y, f64 width, const f32* color) {
    curve->origin_x = origin_x;
    curve->origin_y = origin_y;
    if (!curve->visible) return;
    draw_rect(g_textures.ids[TEXTURE_WHITE], g_theme.menu_background_color, (f32)origin_x,
              (f32)origin_y, (f32)width, (f32)curve->box_height, 0.0f, 0.0f);
    i64 count = curve->points.count;
    if (count <= 0) return;

    f64 text_scale = g_camera.zoom / 640.0 < 0.03125 ? g_camera.zoom / 640.0 : 0.03125;
    Font* font = font_default();
    for (i64 i = 0; i < count; i += 1) {
        const CurvePoint* point = &curve->points.data[i];
        Vec2f at = on_canvas(curve, point->x, point->y);
        f64 size = curve->point_size;
        if (i == curve->active_point && curve->active_point_size > 0.0)
            size = curve->active_point_size;
        score_text(font, g_theme.text_color, fraction_format_tmp(point->y), at.x, at.y + size,
                   text_scale, TEXT_CENTER, TEXT_FIRST_LINE_ON_Y);
        draw_marker(at, size, color);
        if (!curve->editable) continue;
        Vec2f in = on_canvas(curve, point->in_x, point->in_y);
        Vec2f out = on_canvas(curve, point->out_x, point->out_y);
        draw_marker(in, curve->point_size, color);
        draw_marker(out, curve->point_size, color);
        draw_line(g_textures.ids[TEXTURE_WHITE], color, at.x, at.y, in.x, in.y,
                  (f32)curve->line_width, UV_FULL);
        draw_line(g_textures.ids[TEXTURE_WHITE], color, at.x, at.y, out.x, out.y,
                  (f32)curve->line_width, UV_FULL);
    }

    // 24 samples per span, then the last point and its level carried to the box's end.
    const i64 SAMPLES = 24;
    i64 total = (count - 1) * SAMPLES + 2;
    Vec2f* line = (Vec2f*)pool_alloc(POOL_TMP, total * (i64)sizeof(Vec2f));
    if (!line) return;
    i64 n = 0;
    for (i64 i = 0; i + 1 < count; i += 1) {
        const CurvePoint* a = &curve->points.data[i];
        const CurvePoint* b = &curve->points.data[i + 1];
        Vec2f p0 = on_canvas(curve, a->x, a->y);
        Vec2f p1 = on_canvas(curve, a->out_x, a->out_y);
        Vec2f p2 = on_canvas(curve, b->in_x, b->in_y);
        Vec2f p3 = on_canvas(curve, b->x, b->y);
        for (i64 s = 0; s < SAMPLES; s += 1)
            line[n++] = bezier_point(p0, p1, p2, p3, (f32)s / (f32)SAMPLES);
    }
    const CurvePoint* last = &curve->points.data[count - 1];
    Vec2f end = on_canvas(curve, last->x, last->y);
    line[n++] = end;
    line[n++] = Vec2f{(f32)(origin_x + width), end.y};
    draw_polyline(line, n, (f32)curve->line_width, color);
}
