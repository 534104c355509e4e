// Curve editing: picking a point or one of its handles with the mouse and dragging it,
// adding a point with v, deleting the picked point with key 79, and opening the "curve
// point" window; plus the operations of that window. Main thread, from the editor step.
//
// Points stay sorted by x: a dragged point is held between its neighbours (its x is
// clamped to theirs) rather than re-sorted, so a point keeps its index for as long as it
// is dragged and the window bound to that index stays on it.
#pragma once

#include "model/curve.h"
#include "model/piece.h"
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
