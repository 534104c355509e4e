// The configuration text reader: a file's bytes, read whole into a pool, walked with a cursor
// that yields lines, words, integers, decimal numbers and fractions as views into the
// same block. Every text file of the program is read with these few operations.
#pragma once

#include "base/pool.h"

struct TextCursor {
    u8* data;
    i64 length;    // bytes the operations may read
    i64 end;       // the length callers loop to
    i64 position;  // next byte to read
};

inline TextCursor text_cursor(Str text) { return TextCursor{text.data, text.length, text.length, 0}; }

// Up to (not including) the delimiter or the end; the position is left on the delimiter.
Str text_read_until(TextCursor* cursor, u8 delimiter);
Str text_read_line(TextCursor* cursor);
// Optional '-', decimal digits; no '+', no spaces. Values beyond 64 bits wrap modulo 2^64.
i64 text_parse_integer(TextCursor* cursor);
// Optional '-', digits and '.', at most 64 digits (reading stops at the 65th).
f64 text_parse_number(TextCursor* cursor);
// n or n/d; a slash with nothing after it gives denominator 0.
Fraction text_parse_fraction(Str text);
