// Fraction arithmetic. Every product is formed in 128 bits, where two 64-bit factors
// cannot overflow; sums of two products are added as unsigned 128-bit values, so even the
// one sum that exceeds the signed range (two products of 2^126) wraps instead of being
// undefined. The value is reduced at full width and then narrowed to 64 bits by keeping
// the low 64 bits (two's-complement wrap), which is exact whenever the reduced value fits.
#include "base/fraction.h"


typedef __int128 i128;
typedef unsigned __int128 u128;

static u128 magnitude(i128 value) { return value < 0 ? (u128)0 - (u128)value : (u128)value; }

static u128 greatest_common_divisor(u128 a, u128 b) {
    while (b != 0) {
        u128 rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

static i128 divide_exact(i128 value, u128 divisor) {
    u128 quotient = magnitude(value) / divisor;
    return value < 0 ? (i128)((u128)0 - quotient) : (i128)quotient;
}

static i64 narrow(i128 value) { return (i64)(u64)(u128)value; }

// The magnitude of the divisor is what Euclid's algorithm gives for the signed terms too;
// a zero numerator divides by the denominator, so 0/5 becomes 0/1 and 0/0 stays.
static Fraction reduce_wide(i128 numerator, i128 denominator) {
    u128 divisor = numerator == 0 ? magnitude(denominator)
                                  : greatest_common_divisor(magnitude(numerator),
                                                            magnitude(denominator));
    if (divisor >= 2) {
        numerator = divide_exact(numerator, divisor);
        denominator = divide_exact(denominator, divisor);
    }
    return Fraction{narrow(numerator), narrow(denominator)};
}

static i128 product(i64 a, i64 b) { return (i128)a * (i128)b; }

static i128 wrapping_sum(i128 a, i128 b) { return (i128)((u128)a + (u128)b); }

Fraction fraction_normalize(Fraction a) { return reduce_wide(a.numerator, a.denominator); }

Fraction fraction_add(Fraction a, Fraction b) {
    return reduce_wide(wrapping_sum(product(a.numerator, b.denominator),
                                    product(b.numerator, a.denominator)),
                       product(a.denominator, b.denominator));
}

Fraction fraction_sub(Fraction a, Fraction b) {
    return reduce_wide(wrapping_sum(product(a.numerator, b.denominator),
                                    (i128)((u128)0 - (u128)product(b.numerator, a.denominator))),
                       product(a.denominator, b.denominator));
}

Fraction fraction_mul(Fraction a, Fraction b) {
    return reduce_wide(product(a.numerator, b.numerator), product(a.denominator, b.denominator));
}

Fraction fraction_div(Fraction a, Fraction b) {
    return reduce_wide(product(a.numerator, b.denominator), product(a.denominator, b.numerator));
}

Fraction fraction_mul_int(Fraction a, i64 k) {
    return reduce_wide(product(a.numerator, k), a.denominator);
}

bool fraction_less(Fraction a, Fraction b) {
    return product(a.numerator, b.denominator) < product(b.numerator, a.denominator);
}

bool fraction_less_equal(Fraction a, Fraction b) {
    return product(a.numerator, b.denominator) <= product(b.numerator, a.denominator);
}

bool fraction_equal(Fraction a, Fraction b) {
    return product(a.numerator, b.denominator) == product(b.numerator, a.denominator);
}

f64 fraction_to_double(Fraction a) {
    if (a.denominator == 0) return 0.0;
    return (f64)a.numerator / (f64)a.denominator;
}

Fraction fraction_octave_reduce(Fraction* x) {
    const Fraction one = {1, 1}, two = {2, 1}, half = {1, 2};
    Fraction factor = one;
    for (i32 i = 0; i < 64 && fraction_less(*x, one); i += 1) {
        *x = fraction_mul(*x, two);
        factor = fraction_mul(factor, half);
    }
    for (i32 i = 0; i < 64 && !fraction_less(*x, two); i += 1) {
        *x = fraction_mul(*x, half);
        factor = fraction_mul(factor, two);
    }
    return factor;
}

void fraction_format(StrBuilder* builder, Fraction a) {
    print_integer(builder, a.numerator, number_format_default());
    if (a.denominator == 1) return;
    str_builder_put(builder, '/');
    print_integer(builder, a.denominator, number_format_default());
}

Str fraction_format_tmp(Fraction a) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    fraction_format(&builder, a);
    return str_builder_text(&builder);
}
