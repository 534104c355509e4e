// Fractions: reduction, exact results where 64-bit products would overflow, the defined
// wrap of results that do not fit, ordering, octave reduction and the display form.
#include "base/fraction.h"

#include "test_support.h"

static Fraction f(i64 numerator, i64 denominator) { return Fraction{numerator, denominator}; }

#define EXPECT_FRACTION(value, n, d)                 \
    do {                                             \
        Fraction got_ = (value);                     \
        EXPECT_EQ(got_.numerator, (i64)(n));         \
        EXPECT_EQ(got_.denominator, (i64)(d));       \
    } while (0)

TEST(Fraction, NormalizeReducesButLeavesZeroDenominatorsAndSigns) {
    EXPECT_FRACTION(fraction_normalize(f(0, 5)), 0, 1);
    EXPECT_FRACTION(fraction_normalize(f(6, 4)), 3, 2);
    EXPECT_FRACTION(fraction_normalize(f(0, 0)), 0, 0);
    EXPECT_FRACTION(fraction_normalize(f(-6, 4)), -3, 2);
    EXPECT_FRACTION(fraction_normalize(f(6, -4)), 3, -2);  // the sign stays where it was
    EXPECT_FRACTION(fraction_normalize(f(4, 0)), 1, 0);
    EXPECT_DOUBLE_EQ(fraction_to_double(f(0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(fraction_to_double(f(3, 0)), 0.0);
    EXPECT_DOUBLE_EQ(fraction_to_double(f(-3, 4)), -0.75);
}

TEST(Fraction, ArithmeticIsReducedAndExact) {
    EXPECT_FRACTION(fraction_add(f(1, 4), f(1, 4)), 1, 2);
    EXPECT_FRACTION(fraction_sub(f(1, 4), f(3, 4)), -1, 2);
    EXPECT_FRACTION(fraction_mul(f(3, 2), f(4, 3)), 2, 1);
    EXPECT_FRACTION(fraction_div(f(3, 2), f(3, 4)), 2, 1);
    EXPECT_FRACTION(fraction_mul_int(f(5, 6), 3), 5, 2);
    EXPECT_FRACTION(fraction_div(f(3, 2), f(0, 1)), 1, 0);  // dividing by zero: denominator 0

    Fraction time = f(1, 3);
    fraction_add_to(&time, f(1, 6));
    EXPECT_FRACTION(time, 1, 2);
    fraction_mul_by(&time, f(4, 1));
    EXPECT_FRACTION(time, 2, 1);
    fraction_div_by(&time, f(8, 1));
    EXPECT_FRACTION(time, 1, 4);
    fraction_sub_from(&time, f(1, 4));
    EXPECT_FRACTION(time, 0, 1);
}

TEST(Fraction, ProductsBeyondSixtyFourBitsReduceToTheExactResultOrWrapWhenTheyDoNotFit) {
    const i64 big = (i64)1 << 62;
    // 2^62 * 3 and 3 * 2^61 overflow 64 bits; the reduced product is 2.
    EXPECT_FRACTION(fraction_mul(f(big, 3), f(3, big / 2)), 2, 1);
    // Denominators of 2^80 in the middle, 1/2^39 at the end.
    const i64 small = (i64)1 << 40;
    EXPECT_FRACTION(fraction_add(f(1, small), f(1, small)), 1, small / 2);
    EXPECT_FRACTION(fraction_sub(f(big, big - 1), f(1, big - 1)), 1, 1);
    // (2^62 - 1) / 2^62 divided by itself.
    EXPECT_FRACTION(fraction_div(f(big - 1, big), f(big - 1, big)), 1, 1);

    // Results that do not fit wrap in two's complement. These pin the documented wrap; built
    // with UBSan, any undefined overflow would abort.
    EXPECT_FRACTION(fraction_mul(f(big, 1), f(4, 1)), 0, 1);  // 2^64 keeps its low 64 bits
    EXPECT_FRACTION(fraction_mul_int(f(INT64_MIN, 1), -1), INT64_MIN, 1);  // 2^63 wraps
    // Both cross products are 2^126: their sum, 2^127, is past the signed 128-bit range
    // and wraps to -2^127; reduced by 2^126 that gives -2/1.
    EXPECT_FRACTION(fraction_add(f(INT64_MIN, INT64_MIN), f(INT64_MIN, INT64_MIN)), -2, 1);
    EXPECT_FRACTION(fraction_sub(f(INT64_MIN, 1), f(INT64_MAX, 1)), 1, 1);  // -2^64 + 1
    EXPECT_FRACTION(fraction_normalize(f(INT64_MIN, INT64_MIN)), -1, -1);
    EXPECT_FRACTION(fraction_mul(f(INT64_MIN, 1), f(-1, 1)), INT64_MIN, 1);
    EXPECT_FRACTION(fraction_div(f(INT64_MIN, 1), f(-1, 1)), INT64_MIN, -1);  // already reduced
}

TEST(Fraction, OrderingUsesExactCrossProducts) {
    EXPECT_TRUE(fraction_less(f(1, 3), f(1, 2)));
    EXPECT_FALSE(fraction_less(f(2, 4), f(1, 2)));
    EXPECT_TRUE(fraction_less_equal(f(2, 4), f(1, 2)));
    EXPECT_TRUE(fraction_equal(f(2, 4), f(1, 2)));
    EXPECT_FALSE(fraction_equal(f(2, 4), f(2, 3)));
    EXPECT_TRUE(fraction_less(f(-1, 2), f(0, 1)));
    // 1 + 1/(2^62 - 1) is larger than 1 + 1/2^62; 64-bit cross products would overflow.
    const i64 big = (i64)1 << 62;
    EXPECT_TRUE(fraction_less(f(big + 1, big), f(big, big - 1)));
    EXPECT_FALSE(fraction_less(f(big, big - 1), f(big + 1, big)));
    EXPECT_TRUE(fraction_less(f(INT64_MIN, 1), f(INT64_MAX, 1)));
}

TEST(Fraction, OctaveReductionReturnsTheFactorTakenOut) {
    // The value, what it becomes in [1, 2), and the factor taken out.
    const i64 cases[][6] = {{3, 1, 3, 2, 2, 1},  {1, 3, 4, 3, 1, 4},   {1, 1, 1, 1, 1, 1},
                            {2, 1, 1, 1, 2, 1},  {45, 8, 45, 32, 4, 1}};
    for (const auto& c : cases) {
        Fraction x = f(c[0], c[1]);
        EXPECT_FRACTION(fraction_octave_reduce(&x), c[4], c[5]);
        EXPECT_FRACTION(x, c[2], c[3]);
    }
    // Zero never reaches [1, 2); the loop stops after 64 doublings.
    Fraction x = f(0, 1);
    fraction_octave_reduce(&x);
    EXPECT_FRACTION(x, 0, 1);
}

TEST(Fraction, DisplayFormOmitsADenominatorOfOne) {
    ScopedPools pools;
    EXPECT_EQ(to_string(fraction_format_tmp(f(3, 1))), "3");
    EXPECT_EQ(to_string(fraction_format_tmp(f(3, 2))), "3/2");
    EXPECT_EQ(to_string(fraction_format_tmp(f(-1, 8))), "-1/8");
    EXPECT_EQ(to_string(fraction_format_tmp(f(2, 4))), "2/4");  // shown as stored
    EXPECT_EQ(to_string(fraction_format_tmp(f(0, 0))), "0/0");
    EXPECT_EQ(to_string(fraction_format_tmp(f(INT64_MIN, 1))), "-9223372036854775808");
}
