// The program's own formatter: "%a".."%z" pick an argument by letter, "%" followed by any
// other non-digit byte (the program writes "%.") takes the next argument, "%%" is a
// percent sign. The same code prints to standard output and appends to a StrBuilder, so
// numbers read the same everywhere. Main thread only.
#pragma once

#include "base/pool.h"

struct NumberFormat {
    i16 base;       // 2..36, lower-case letters above 9
    i16 width;      // integer digits: the minimum with pad, always the maximum
    i16 precision;  // fractional digits computed for floats
    u8 pad;         // fill to width, and print dropped trailing zeros as pad_char
    u8 pad_char;
};

inline NumberFormat number_format_default() { return NumberFormat{10, 64, 4, 0, '0'}; }

enum FormatKind : u8 {
    FORMAT_SIGNED,
    FORMAT_UNSIGNED,
    FORMAT_FLOAT,
    FORMAT_CHAR,
    FORMAT_STRING,
};

struct FormatArg {
    u8 kind;
    union {
        i64 signed_value;
        u64 unsigned_value;
        f64 float_value;
        u8 char_value;
        Str string_value;
    };
    NumberFormat options;
};

FormatArg fa_i64(i64 value);
FormatArg fa_u64(u64 value);
FormatArg fa_f64(f64 value);
FormatArg fa_char(u8 value);
FormatArg fa_str(Str value);

// Growable text in a pool; `length` is the highest write position reached.
struct StrBuilder {
    u8* data;
    i64 length;
    i64 capacity;
    u8 pool;
    i64 position;
};

void str_builder_init(StrBuilder* builder, u8 pool);
// When the pool refuses to grow the text, the byte is dropped (never written).
void str_builder_put(StrBuilder* builder, u8 byte);
void str_builder_append(StrBuilder* builder, Str text);
inline Str str_builder_text(const StrBuilder* builder) {
    return Str{builder->data, builder->length};
}

// builder null: standard output.
void format_append(StrBuilder* builder, Str format, const FormatArg* args, i64 count);
void format_print(Str format, const FormatArg* args, i64 count);
void print_integer(StrBuilder* builder, i64 value, NumberFormat options);
void print_unsigned(StrBuilder* builder, u64 value, NumberFormat options);
void print_float(StrBuilder* builder, f64 value, NumberFormat options);

// A new string in POOL_TMP, valid this frame.
Str format_tmp(Str format, const FormatArg* args, i64 count);

// Digits of a float as the printer produces them; exposed for tests of rounding.
// Returns the number of digits written (at most 64) and the integer-digit count in m.
i64 float_digits(f64 value, i32 base, i32 width, i32 precision, u8 digits[64], i32* m);
