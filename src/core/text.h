// The configuration text reader: whole files read into a pool, then walked with a cursor
// that yields lines, words, integers, decimal numbers and fractions as views into the
// same block. Every text file of the program is read with these few operations.
#pragma once

#include "core/pool.h"

struct TextCursor {
    u8* data;
    i64 length;    // bytes the operations may read
    i64 end;       // the length callers loop to
    i64 position;  // next byte to read
};

inline TextCursor text_cursor(Str text) { return TextCursor{text.data, text.length, text.length, 0}; }

// The file's bytes in a block of the pool, or the empty string (missing, empty or too
// large for the pool). A missing file takes no pool space.
Str read_entire_file(Str path, u8 pool);

// Up to (not including) the delimiter or the end; the position is left on the delimiter.
Str text_read_until(TextCursor* cursor, u8 delimiter);
Str text_read_line(TextCursor* cursor);
// Optional '-', decimal digits; no '+', no spaces. Values beyond 64 bits wrap modulo 2^64.
i64 text_parse_integer(TextCursor* cursor);
// Optional '-', digits and '.', at most 64 digits (reading stops at the 65th).
f64 text_parse_number(TextCursor* cursor);
// n or n/d; a slash with nothing after it gives denominator 0.
Fraction text_parse_fraction(Str text);
