// A curve point's handles when the point moves or is reshaped: the rules the canvas drag
// and the "curve point" window share. Plain operations on the piece's data, any thread.
#pragma once

#include "model/piece.h"

// Moves both handles along with a point whose position changed from (old_x, old_y): by
// the same difference, or in y by the same ratio on a logarithmic curve.
void curve_point_moved(CurvePoint* point, Fraction old_x, Fraction old_y, u8 logarithmic);
// Both handles level with the point.
void curve_point_flat(CurvePoint* point);
// The mirror image (x, y) of the handle (hx, hy) through the point: in y by ratio on a
// logarithmic curve.
void curve_handle_mirror(const CurvePoint* point, Fraction hx, Fraction hy, u8 logarithmic,
                         Fraction* x, Fraction* y);
// The outgoing handle mirrors the incoming one through the point (in y by ratio on a
// logarithmic curve).
void curve_point_continuous(CurvePoint* point, u8 logarithmic);
// Holds the point's x between its neighbours' (they keep their places); handles move
// with the point when it is held back.
void curve_point_keep_order(Curve* curve, i64 index);
