// Cursor operations of the configuration text reader. None of them reports an error:
// malformed input reads as 0, or as the digits read so far.
#include "base/text.h"

Str text_read_until(TextCursor* cursor, u8 delimiter) {
    i64 start = cursor->position;
    if (start < 0 || start >= cursor->length) return Str{cursor->data + (start < 0 ? 0 : cursor->length), 0};
    i64 i = start;
    while (i < cursor->length && cursor->data[i] != delimiter) i += 1;
    cursor->position = i;
    return Str{cursor->data + start, i - start};
}

Str text_read_line(TextCursor* cursor) { return text_read_until(cursor, '\n'); }

static bool at_digit(const TextCursor* cursor) {
    return cursor->position < cursor->length && cursor->data[cursor->position] >= '0' &&
           cursor->data[cursor->position] <= '9';
}

i64 text_parse_integer(TextCursor* cursor) {
    if (cursor->position < 0 || cursor->position >= cursor->length) return 0;
    bool negative = false;
    if (cursor->data[cursor->position] == '-') {
        negative = true;
        cursor->position += 1;
        if (!at_digit(cursor)) return 0;
    }
    if (!at_digit(cursor)) return 0;
    u64 value = 0;  // unsigned, so overflow wraps instead of being undefined
    while (at_digit(cursor)) {
        value = value * 10u + (u64)(cursor->data[cursor->position] - '0');
        cursor->position += 1;
    }
    if (negative) value = (u64)0 - value;
    return (i64)value;
}

f64 text_parse_number(TextCursor* cursor) {
    if (cursor->position < 0) return 0.0;
    bool negative = false;
    if (cursor->position < cursor->length && cursor->data[cursor->position] == '-') {
        negative = true;
        cursor->position += 1;
    }
    f64 value = 0.0;
    i32 digits = 0;
    i32 integer_digits = -1;  // -1: no point seen, all digits are integer digits
    while (cursor->position < cursor->length) {
        u8 c = cursor->data[cursor->position];
        if (c == '.') {
            integer_digits = digits;
        } else if (c >= '0' && c <= '9') {
            if (digits == 64) break;  // a 65th digit is not read
            value = value * 10.0 + (c - '0');
            digits += 1;
        } else {
            break;
        }
        cursor->position += 1;
    }
    i32 fraction_digits = integer_digits < 0 ? 0 : digits - integer_digits;
    f64 scale = 1.0;
    for (i32 i = 0; i < fraction_digits; i += 1) scale *= 10.0;
    value /= scale;
    return negative ? -value : value;
}

Fraction text_parse_fraction(Str text) {
    TextCursor cursor = text_cursor(text);
    Fraction result;
    result.numerator = text_parse_integer(&cursor);
    result.denominator = 1;
    if (cursor.position < cursor.length && cursor.data[cursor.position] == '/') {
        cursor.position += 1;
        result.denominator = text_parse_integer(&cursor);
    }
    return result;
}
