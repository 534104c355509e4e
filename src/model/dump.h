// A readable, diff-friendly listing of a piece: one line per record in file order, each a
// word naming the record and then name=value fields in a fixed order. Fractions appear as
// stored (n/d, never reduced), floats through the program's formatter, strings quoted
// with \" \\ \n \t \r and \xHH for other control bytes. Used by `sorvane-render --dump`
// and by tests that compare pieces. Any thread (it only reads the piece).
#pragma once

#include "base/format.h"
#include "model/piece.h"

void piece_dump(StrBuilder* out, const Piece* piece);
// The quoted, escaped form of one string.
void dump_string(StrBuilder* out, Str text);
