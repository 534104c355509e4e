// Handles that follow their point, level or mirrored handles, and points held in order.
#include "model/curve.h"

// y moved as the point moved: by the same ratio on a logarithmic curve (when there is one
// to take), else by the same difference.
static Fraction follow_y(Fraction y, Fraction old_y, Fraction new_y, u8 logarithmic) {
    if (logarithmic && old_y.numerator != 0 && old_y.denominator != 0)
        return fraction_mul(y, fraction_div(new_y, old_y));
    return fraction_add(y, fraction_sub(new_y, old_y));
}

void curve_point_moved(CurvePoint* point, Fraction old_x, Fraction old_y, u8 logarithmic) {
    Fraction dx = fraction_sub(point->x, old_x);
    point->in_x = fraction_add(point->in_x, dx);
    point->out_x = fraction_add(point->out_x, dx);
    point->in_y = follow_y(point->in_y, old_y, point->y, logarithmic);
    point->out_y = follow_y(point->out_y, old_y, point->y, logarithmic);
}

void curve_point_flat(CurvePoint* point) {
    point->in_y = point->y;
    point->out_y = point->y;
}

void curve_handle_mirror(const CurvePoint* point, Fraction hx, Fraction hy, u8 logarithmic,
                         Fraction* x, Fraction* y) {
    *x = fraction_sub(point->x, fraction_sub(hx, point->x));
    if (logarithmic && hy.numerator != 0 && hy.denominator != 0)
        *y = fraction_div(fraction_mul(point->y, point->y), hy);
    else
        *y = fraction_sub(point->y, fraction_sub(hy, point->y));
}

void curve_point_continuous(CurvePoint* point, u8 logarithmic) {
    curve_handle_mirror(point, point->in_x, point->in_y, logarithmic, &point->out_x, &point->out_y);
}

void curve_point_keep_order(Curve* curve, i64 index) {
    if (index < 0 || index >= curve->points.count) return;
    CurvePoint* point = &curve->points.data[index];
    Fraction old_x = point->x;
    if (index > 0 && fraction_less(point->x, curve->points.data[index - 1].x))
        point->x = curve->points.data[index - 1].x;
    if (index + 1 < curve->points.count && fraction_less(curve->points.data[index + 1].x, point->x))
        point->x = curve->points.data[index + 1].x;
    if (!fraction_equal(old_x, point->x))
        curve_point_moved(point, old_x, point->y, curve->logarithmic);
}
