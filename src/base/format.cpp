// Formatter and number printing. Digits are produced in fixed 64-digit buffers on the
// stack; the only memory touched is the destination builder's pool.
#include "base/format.h"

#include <stdio.h>

FormatArg fa_i64(i64 value) {
    FormatArg arg;
    arg.kind = FORMAT_SIGNED;
    arg.signed_value = value;
    arg.options = number_format_default();
    return arg;
}

FormatArg fa_u64(u64 value) {
    FormatArg arg;
    arg.kind = FORMAT_UNSIGNED;
    arg.unsigned_value = value;
    arg.options = number_format_default();
    return arg;
}

FormatArg fa_f64(f64 value) {
    FormatArg arg;
    arg.kind = FORMAT_FLOAT;
    arg.float_value = value;
    arg.options = number_format_default();
    return arg;
}

FormatArg fa_char(u8 value) {
    FormatArg arg;
    arg.kind = FORMAT_CHAR;
    arg.char_value = value;
    arg.options = number_format_default();
    return arg;
}

FormatArg fa_str(Str value) {
    FormatArg arg;
    arg.kind = FORMAT_STRING;
    arg.string_value = value;
    arg.options = number_format_default();
    return arg;
}

void str_builder_init(StrBuilder* builder, u8 pool) {
    builder->data = 0;
    builder->length = 0;
    builder->capacity = 0;
    builder->pool = pool;
    builder->position = 0;
}

void str_builder_put(StrBuilder* builder, u8 byte) {
    if (builder->capacity == 0) {
        u8* block = (u8*)pool_alloc(builder->pool, 1);
        if (!block) return;
        builder->data = block;
        builder->capacity = 1;
    } else if (builder->position >= builder->capacity) {
        u8* block = (u8*)pool_realloc(builder->pool, builder->data, builder->capacity,
                                      builder->capacity * 2);
        if (!block) return;
        builder->data = block;
        builder->capacity *= 2;
    }
    builder->data[builder->position] = byte;
    builder->position += 1;
    if (builder->position > builder->length) builder->length = builder->position;
}

void str_builder_append(StrBuilder* builder, Str text) {
    for (i64 i = 0; i < text.length; i += 1) str_builder_put(builder, text.data[i]);
}

// One output byte to either sink.
static void emit(StrBuilder* builder, u8 byte) {
    if (builder)
        str_builder_put(builder, byte);
    else
        putc(byte, stdout);
}

static void emit_text(StrBuilder* builder, Str text) {
    if (builder)
        str_builder_append(builder, text);
    else if (text.length > 0)
        fwrite(text.data, 1, (size_t)text.length, stdout);
}

static i32 clamp_base(i32 base) { return base < 2 || base > 36 ? 10 : base; }

static u8 digit_char(i32 digit) { return (u8)(digit < 10 ? '0' + digit : 'a' + digit - 10); }

static void print_magnitude(StrBuilder* builder, u64 magnitude, NumberFormat options) {
    i32 base = clamp_base(options.base);
    u8 digits[64];
    for (i32 i = 0; i < 64; i += 1) digits[i] = 0;
    i32 index = 63;
    while (magnitude > 0 && index >= 0) {
        digits[index] = (u8)(magnitude % (u64)base);
        magnitude /= (u64)base;
        index -= 1;
    }
    i32 first = 0;
    while (first < 63 && digits[first] == 0) first += 1;
    i32 significant = 64 - first;
    i32 width = options.width < 0 ? 0 : options.width;
    if (width < significant) {
        for (i32 i = 64 - width; i < 64; i += 1) emit(builder, digit_char(digits[i]));
        return;
    }
    if (options.pad && width > significant)
        for (i32 i = 0; i < width - significant; i += 1) emit(builder, options.pad_char);
    for (i32 i = first; i < 64; i += 1) emit(builder, digit_char(digits[i]));
}

void print_integer(StrBuilder* builder, i64 value, NumberFormat options) {
    u64 magnitude = (u64)value;
    if (value < 0) {
        emit(builder, '-');
        magnitude = (u64)0 - magnitude;  // exact for the most negative value too
    }
    print_magnitude(builder, magnitude, options);
}

void print_unsigned(StrBuilder* builder, u64 value, NumberFormat options) {
    print_magnitude(builder, value, options);
}

i64 float_digits(f64 value, i32 base, i32 width, i32 precision, u8 digits[64], i32* m_out) {
    base = clamp_base(base);
    if (width < 0) width = 0;
    if (precision < 0) precision = 0;
    i64 budget = (i64)width + precision + 1;
    if (budget > 64) budget = 64;
    for (i32 i = 0; i < 64; i += 1) digits[i] = 0;

    i32 m = 1;
    f64 place = 1.0;
    if (value >= base) {
        // Count the integer digits; the comparison stops at infinity, never loops forever.
        while (value >= place * base && place * base > place) {
            place *= base;
            m += 1;
        }
    }
    i64 count = 0;
    while (count < budget) {
        f64 quotient = value / place;
        i32 digit = quotient >= base ? base - 1 : quotient < 1.0 ? 0 : (i32)quotient;
        value -= digit * place;
        place /= base;
        digits[count] = (u8)digit;
        if (m > width)
            m -= 1;  // only the last `width` integer digits survive
        else
            count += 1;
    }

    // Round half up at the first digit past the precision, carrying leftward.
    i64 round_at = (i64)m + precision;
    i32 r = round_at < 64 ? digits[round_at] : 0;
    if (r >= (base + 1) / 2 && round_at >= 1) {
        i64 position = round_at - 1;
        bool carry = true;
        while (carry && position >= 0) {
            if (digits[position] == base - 1) {
                digits[position] = 0;
                position -= 1;
            } else {
                digits[position] += 1;
                carry = false;
            }
        }
        if (carry && m < width) {
            digits[0] = 1;
            m += 1;
            if (round_at < 64) digits[round_at] = 0;  // now a printed position
        }
    }
    *m_out = m;
    return count;
}

void print_float(StrBuilder* builder, f64 value, NumberFormat options) {
    if (value != value) {
        emit_text(builder, STR("nan"));
        return;
    }
    if (value > 1.7976931348623157e308) {
        emit_text(builder, STR("infinity"));
        return;
    }
    if (value < -1.7976931348623157e308) {
        emit_text(builder, STR("-infinity"));
        return;
    }
    if (value < 0) {
        emit(builder, '-');
        value = -value;
    }
    i32 width = options.width < 0 ? 0 : options.width;
    i32 precision = options.precision < 0 ? 0 : options.precision;
    u8 digits[64];
    i32 m = 0;
    float_digits(value, options.base, width, precision, digits, &m);

    i32 k = 0;  // position after the last non-zero fractional digit
    for (i32 i = 1; i <= precision; i += 1)
        if (m + i - 1 < 64 && digits[m + i - 1] != 0) k = i;
    i32 t = m + k;

    if (options.pad && width > m)
        for (i32 i = 0; i < width - m; i += 1) emit(builder, options.pad_char);
    for (i32 position = 0; position < m + precision; position += 1) {
        if (position >= t && !options.pad) break;
        if (position == m) emit(builder, '.');
        if (position < t)
            emit(builder, position < 64 ? digit_char(digits[position]) : '0');
        else
            emit(builder, options.pad_char);
    }
}

static void format_one(StrBuilder* builder, const FormatArg* arg) {
    switch (arg->kind) {
    case FORMAT_SIGNED: print_integer(builder, arg->signed_value, arg->options); break;
    case FORMAT_UNSIGNED: print_unsigned(builder, arg->unsigned_value, arg->options); break;
    case FORMAT_FLOAT: print_float(builder, arg->float_value, arg->options); break;
    case FORMAT_CHAR: emit(builder, arg->char_value); break;
    case FORMAT_STRING: emit_text(builder, arg->string_value); break;
    default: break;
    }
}

static bool is_letter(u8 c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
static bool is_digit(u8 c) { return c >= '0' && c <= '9'; }

static void format_run(StrBuilder* builder, Str format, const FormatArg* args, i64 count) {
    i64 running = 0;
    i64 i = 0;
    while (i < format.length) {
        u8 c = format.data[i];
        if (c != '%') {
            emit(builder, c);
            i += 1;
            continue;
        }
        i64 selected = running;
        if (i + 1 >= format.length) {
            i += 1;  // a trailing '%' takes the next argument
        } else {
            u8 next = format.data[i + 1];
            if (next == '%') {
                emit(builder, '%');
                i += 2;
                continue;
            }
            if (is_letter(next)) {
                selected = (next | 0x20) - 'a';
                i += 2;
            } else if (is_digit(next)) {
                // "%12" names argument 12 explicitly; the digits are consumed.
                selected = 0;
                i += 1;
                while (i < format.length && is_digit(format.data[i]) && selected < 1000000) {
                    selected = selected * 10 + (format.data[i] - '0');
                    i += 1;
                }
            } else {
                i += 2;
            }
        }
        if (selected >= 0 && selected < count) format_one(builder, &args[selected]);
        running = selected + 1;
    }
}

void format_append(StrBuilder* builder, Str format, const FormatArg* args, i64 count) {
    if (!builder) return;
    format_run(builder, format, args, count);
}

void format_print(Str format, const FormatArg* args, i64 count) {
    format_run(0, format, args, count);
    fflush(stdout);
}

Str format_tmp(Str format, const FormatArg* args, i64 count) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    format_append(&builder, format, args, count);
    return str_builder_text(&builder);
}
