// Curve editing on the canvas: the pick, the drag, v and key 79 on the picked point, the
// "curve point" window, and the conversions from canvas distances to curve values. The
// pick and drag state lives in the curve. Main thread, from the editor step.
#include "editor/curve_edit.h"

#include "editor/object_commands.h"
#include "editor/score_view.h"
#include "gfx/view.h"
#include "panels/object_panels.h"
#include "platform/system.h"

// Rounded with floor rather than by truncation, so that negative distances (left of the
// origin, or below zero on a pan curve) round to the nearest step like positive ones.
Fraction curve_x_from_canvas(f64 dx) {
    f64 scaled = math_floor(dx * 1000.0 + 0.5);
    // Far beyond any piece: keep the conversion to an integer defined.
    if (!(scaled > -9.0e15 && scaled < 9.0e15)) scaled = 0.0;
    return fraction_normalize(Fraction{(i64)scaled, 1000});
}

Fraction curve_y_from_canvas(const Curve* curve, f64 h, i64 resolution) {
    if (resolution < 1) resolution = 1;
    f64 lo = fraction_to_double(curve->minimum);
    f64 hi = fraction_to_double(curve->maximum);
    f64 u = curve->box_height != 0.0 ? h / curve->box_height : 0.0;
    f64 value = lo;
    if (curve->logarithmic) {
        if (lo > 0.0 && hi > 0.0) value = lo * math_pow(hi / lo, u);
    } else {
        value = lo + (hi - lo) * u;
    }
    f64 scaled = math_floor(value * (f64)resolution + 0.5);
    if (!(scaled > -9.0e15 && scaled < 9.0e15)) scaled = math_floor(lo * (f64)resolution);
    return fraction_normalize(Fraction{(i64)scaled, resolution});
}

// Canvas positions of a point's three elements: position, incoming and outgoing handle.
static Vec2f element_on_canvas(const Curve* curve, const CurvePoint* point, u8 element) {
    Vec2f box = element == 1   ? curve_point_to_box(curve, point->in_x, point->in_y)
                : element == 2 ? curve_point_to_box(curve, point->out_x, point->out_y)
                               : curve_point_to_box(curve, point->x, point->y);
    return Vec2f{(f32)(curve->origin_x + box.x), (f32)(curve->origin_y + box.y)};
}

static bool within(Vec2f a, Vec2f b, f64 radius) {
    f64 dx = (f64)a.x - (f64)b.x;
    f64 dy = (f64)a.y - (f64)b.y;
    return dx * dx + dy * dy <= radius * radius;
}

// Moves the picked element to the mouse (less the grab offset); true when it moved.
static bool drag(Curve* curve, Vec2f mouse) {
    CurvePoint* point = &curve->points.data[curve->active_point];
    CurvePoint before = *point;
    f64 x = (f64)mouse.x - (f64)curve->grab_x - curve->origin_x;
    f64 y = (f64)mouse.y - (f64)curve->grab_y - curve->origin_y;
    Fraction new_x = curve_x_from_canvas(x);
    Fraction new_y = curve_y_from_canvas(curve, y, curve->resolution);
    bool keep_mirror = !input_key_is_held(KEY_CONTROL);
    if (curve->active_element == 0) {
        Fraction old_x = point->x, old_y = point->y;
        point->x = new_x;
        point->y = new_y;
        curve_point_moved(point, old_x, old_y, curve->logarithmic);
        curve_point_keep_order(curve, curve->active_point);
    } else if (curve->active_element == 1) {
        point->in_x = new_x;
        point->in_y = new_y;
        if (keep_mirror) curve_point_continuous(point, curve->logarithmic);
    } else {
        point->out_x = new_x;
        point->out_y = new_y;
        if (keep_mirror)
            curve_handle_mirror(point, point->out_x, point->out_y, curve->logarithmic,
                                &point->in_x, &point->in_y);
    }
    return memcmp((const void*)&before, (const void*)point, sizeof(before)) != 0;
}

// The first element within the point radius, points in order and each point's position
// before its handles; -1 when the press hit nothing.
static void pick(Curve* curve, Vec2f mouse) {
    curve->active_point = -1;
    curve->dragging = 0;
    for (i64 i = 0; i < curve->points.count; i += 1) {
        for (u8 element = 0; element < 3; element += 1) {
            Vec2f at = element_on_canvas(curve, &curve->points.data[i], element);
            if (!within(mouse, at, curve->point_radius)) continue;
            curve->active_point = i;
            curve->active_element = element;
            curve->dragging = 1;
            curve->pick_mouse_x = mouse.x;
            curve->pick_mouse_y = mouse.y;
            curve->grab_x = mouse.x - at.x;
            curve->grab_y = mouse.y - at.y;
            return;
        }
    }
}

// A key press on the picked point: v adds a point at the mouse, space, f and g open the
// point's window, key 79 deletes the point (never the last one).
static void curve_key(Curve* curve, CurveOwner owner, i32 code) {
    if (curve->active_point < 0) return;
    Vec2f mouse = mouse_to_canvas();
    if (code == KEY_LETTER('v')) {
        Fraction x = curve_x_from_canvas((f64)mouse.x - curve->origin_x);
        Fraction y = curve_y_from_canvas(curve, (f64)mouse.y - curve->origin_y, curve->resolution);
        i64 index = curve_point_insert(curve, x, y, g_camera.zoom);
        if (index >= 0 && index <= curve->active_point) curve->active_point += 1;
        if (index >= 0) g_piece.modified = 1;
    }
    if (code == KEY_SPACE || code == KEY_LETTER('f') || code == KEY_LETTER('g'))
        curve_point_panel_open(owner.object_kind, owner.object_id, owner.curve_index,
                               curve->active_point);
    if (code == KEY_DELETE && curve->points.count > 1) {
        array_remove(&curve->points, curve->active_point);
        curve->active_point = -1;
        curve->dragging = 0;
        g_piece.modified = 1;
    }
}

void curve_edit(Curve* curve, CurveOwner owner, const KeyPress* key) {
    f64 zoom = g_camera.zoom;
    curve->point_radius = zoom / 80.0 < 0.25 ? zoom / 80.0 : 0.25;
    curve->handle_radius = zoom / 320.0 < 0.125 ? zoom / 320.0 : 0.125;
    if (!curve->visible || !curve->editable) return;
    if (curve->active_point >= curve->points.count) curve->active_point = -1;
    if (key) {
        curve_key(curve, owner, key->code);
        return;
    }
    Vec2f mouse = mouse_to_canvas();

    if (curve->dragging) {
        if (curve->active_point < 0) {
            curve->dragging = 0;
        } else if (drag(curve, mouse)) {
            g_piece.modified = 1;
        }
    }
    if (input_mouse_is_released(MOUSE_LEFT)) curve->dragging = 0;
    if (input_mouse_is_pressed(MOUSE_LEFT) && canvas_takes_mouse()) pick(curve, mouse);
    // The picked point is drawn larger, so the user sees what v, 79 and the window act on.
    curve->active_point_size = curve->active_point >= 0 ? 1.5 * curve->point_size : 0.0;
}
