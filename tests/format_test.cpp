// The formatter: argument selection by letter and by running index, integers in any
// base with width and padding, floats with their digit rounding, and the builder.
#include "base/format.h"

#include "test_support.h"

static std::string formatted(const char* format, const FormatArg* args, i64 count) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    format_append(&builder, str_from_cstring(format), args, count);
    return to_string(str_builder_text(&builder));
}

static std::string integer_text(i64 value, NumberFormat options) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    print_integer(&builder, value, options);
    return to_string(str_builder_text(&builder));
}

static std::string float_text(f64 value, NumberFormat options = number_format_default()) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    print_float(&builder, value, options);
    return to_string(str_builder_text(&builder));
}

TEST(Format, LettersAndTheRunningIndexSelectArgumentsAlsoOnStandardOutput) {
    ScopedPools pools;
    FormatArg xy[] = {fa_str(STR("x")), fa_str(STR("y"))};
    EXPECT_EQ(formatted("%b%a", xy, 2), "yx");
    EXPECT_EQ(formatted("%B%A", xy, 2), "yx");
    EXPECT_EQ(formatted("%.%.", xy, 2), "xy");
    FormatArg three[] = {fa_i64(1), fa_i64(2), fa_i64(3)};
    EXPECT_EQ(formatted("%b%.", three, 3), "23");  // the index runs on from the letter
    EXPECT_EQ(formatted("100%% %.", three, 3), "100% 1");
    EXPECT_EQ(formatted("ends with %", three, 3), "ends with 1");
    EXPECT_EQ(formatted("%2 and %.", three, 3), "3 and ");  // explicit index, none after
    EXPECT_EQ(formatted("%z", three, 3), "");  // beyond the arguments: nothing, no crash
    FormatArg args[] = {fa_char('%'), fa_u64(18446744073709551615ull)};
    EXPECT_EQ(formatted("%.%.", args, 2), "%18446744073709551615");

    // Standard output carries the argument.
    FormatArg dash[] = {fa_str(STR("-x"))};
    testing::internal::CaptureStdout();
    format_print(STR("unknown argument: %a\n"), dash, 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "unknown argument: -x\n");
}

TEST(Format, IntegersWithBaseWidthAndPadding) {
    ScopedPools pools;
    NumberFormat plain = number_format_default();
    EXPECT_EQ(integer_text(-42, plain), "-42");
    EXPECT_EQ(integer_text(0, plain), "0");
    EXPECT_EQ(integer_text(INT64_MIN, plain), "-9223372036854775808");
    NumberFormat hex = plain;
    hex.base = 16;
    EXPECT_EQ(integer_text(255, hex), "ff");
    NumberFormat padded = plain;
    padded.pad = 1;
    padded.width = 5;
    EXPECT_EQ(integer_text(42, padded), "00042");
    padded.pad_char = ' ';
    EXPECT_EQ(integer_text(-42, padded), "-   42");
    NumberFormat narrow = plain;
    narrow.width = 2;
    EXPECT_EQ(integer_text(123, narrow), "23");  // only the last digits survive
    narrow.width = 0;
    EXPECT_EQ(integer_text(123, narrow), "");
    NumberFormat odd = plain;
    odd.base = 1;  // not a base: treated as decimal rather than looping
    EXPECT_EQ(integer_text(12, odd), "12");
}

TEST(Format, FloatsDropTrailingZerosRoundHalfUpAndKeepTheirPaddingAndWidth) {
    ScopedPools pools;
    const struct {
        f64 value;
        const char* text;
    } cases[] = {{2.5, "2.5"},     {3.0, "3"},           {0.0, "0"},          {-0.0, "0"},
                 {3.14159, "3.1416"}, {0.00004, "0"},    {0.125, "0.125"},    {-1.5, "-1.5"},
                 {9.99996, "10"},  {1e20, "100000000000000000000"},          {5e-324, "0"},
                 {__builtin_inf(), "infinity"}, {-__builtin_inf(), "-infinity"},
                 {__builtin_nan(""), "nan"}};
    for (const auto& c : cases) EXPECT_EQ(float_text(c.value), c.text) << c.value;
    EXPECT_EQ(float_text(1.7976931348623157e308).size(), 64u);  // the last 64 integer digits

    NumberFormat padded = number_format_default();
    padded.pad = 1;
    padded.width = 3;
    EXPECT_EQ(float_text(2.5, padded), "002.5000");
    NumberFormat narrow = number_format_default();
    narrow.width = 2;
    EXPECT_EQ(float_text(1234.5, narrow), "34.5");
    narrow.width = 1;
    EXPECT_EQ(float_text(9.99996, narrow), "0");  // no room for the digit the rounding carries
    NumberFormat two = number_format_default();
    two.precision = 2;
    EXPECT_EQ(float_text(0.005, two), "0.01");
    EXPECT_EQ(float_text(1.0 / 3.0, two), "0.33");
}

TEST(StrBuilder, RewritingBeforeTheEndKeepsTheLongestLengthAndAFullPoolDropsBytes) {
    ScopedPools pools(64, 16);
    StrBuilder builder;
    str_builder_init(&builder, POOL_MAIN);
    str_builder_append(&builder, STR("hello"));
    builder.position = 0;
    str_builder_put(&builder, 'j');
    EXPECT_EQ(to_string(str_builder_text(&builder)), "jello");

    testing::internal::CaptureStdout();
    str_builder_init(&builder, POOL_TMP);
    for (i32 i = 0; i < 100; i += 1) str_builder_put(&builder, 'z');
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(builder.length, 16);
    EXPECT_EQ(builder.capacity, 16);
}
