// Curve editing: picking a point or one of its handles with the mouse and dragging it,
// adding a point with v, deleting the picked point with key 79, and opening the "curve
// point" window; plus the operations of that window. Main thread, from the editor step.
//
// Points stay sorted by x: a dragged point is held between its neighbours (its x is
// clamped to theirs) rather than re-sorted, so a point keeps its index for as long as it
// is dragged and the window bound to that index stays on it.
#pragma once

#include "piece/piece.h"
#include "platform/system.h"

// Whose curve is edited, so that the "curve point" window can find it again by id.
struct CurveOwner {
    u8 object_kind;
    i64 object_id;
    u8 curve_index;  // as object_curve counts (object_panels.h)
};

// A step of one curve: with a key press, that press on the picked point; without, once a
// frame, the radii, the drag and the pick.
void curve_edit(Curve* curve, CurveOwner owner, const KeyPress* key);

// dx canvas units right of the curve's origin as time, rounded to thousandths.
Fraction curve_x_from_canvas(f64 dx);
// h canvas units above the curve's origin as a value of the curve, a multiple of
// 1 / resolution (a resolution below 1 counts as 1). An empty box height or range gives
// the minimum; so does a logarithmic range that does not lie above zero.
Fraction curve_y_from_canvas(const Curve* curve, f64 h, i64 resolution);

// Moves both handles along with a point whose position changed from (old_x, old_y): by
// the same difference, or in y by the same ratio on a logarithmic curve.
void curve_point_moved(CurvePoint* point, Fraction old_x, Fraction old_y, u8 logarithmic);
// Both handles level with the point.
void curve_point_flat(CurvePoint* point);
// The outgoing handle mirrors the incoming one through the point (in y by ratio on a
// logarithmic curve).
void curve_point_continuous(CurvePoint* point, u8 logarithmic);
// Holds the point's x between its neighbours' (they keep their places); handles move
// with the point when it is held back.
void curve_point_keep_order(Curve* curve, i64 index);
