// Exact rational arithmetic for every time, length and pitch of a piece. Pure functions
// on values, safe on any thread. Products and cross products are formed in 128 bits, the
// result is reduced there, and only then narrowed to 64 bits; a reduced value that still
// does not fit wraps in two's complement (defined, never undefined behaviour).
#pragma once

#include "base/format.h"

inline Fraction fraction_make(i64 numerator, i64 denominator) {
    return Fraction{numerator, denominator};
}

// Divides both terms by their greatest common divisor when it is 2 or more; 0/5 becomes
// 0/1, 0/0 and n/1 stay as they are. The sign of the denominator is left alone.
Fraction fraction_normalize(Fraction a);

Fraction fraction_add(Fraction a, Fraction b);
Fraction fraction_sub(Fraction a, Fraction b);
Fraction fraction_mul(Fraction a, Fraction b);
Fraction fraction_div(Fraction a, Fraction b);  // by 0/n gives a denominator of 0
Fraction fraction_mul_int(Fraction a, i64 k);
// In-place forms: the first operand takes the result.
inline void fraction_add_to(Fraction* a, Fraction b) { *a = fraction_add(*a, b); }
inline void fraction_sub_from(Fraction* a, Fraction b) { *a = fraction_sub(*a, b); }
inline void fraction_mul_by(Fraction* a, Fraction b) { *a = fraction_mul(*a, b); }
inline void fraction_div_by(Fraction* a, Fraction b) { *a = fraction_div(*a, b); }

// Ordering by cross products (exact, 128-bit); assumes positive denominators.
bool fraction_less(Fraction a, Fraction b);
bool fraction_less_equal(Fraction a, Fraction b);
// Same value (2/4 equals 1/2).
bool fraction_equal(Fraction a, Fraction b);

// numerator / denominator; 0.0 when the denominator is 0.
f64 fraction_to_double(Fraction a);

// Brings x into [1, 2) by doubling or halving (at most 64 of each) and returns the factor
// taken out, so that the x passed in equals the reduced x times the factor.
Fraction fraction_octave_reduce(Fraction* x);

// Display form: "3" for 3/1, "3/2" otherwise.
void fraction_format(StrBuilder* builder, Fraction a);
Str fraction_format_tmp(Fraction a);  // new string in POOL_TMP, valid this frame
