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

TEST(Format, LettersAndTheRunningIndexSelectArguments) {
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
}

// Options: base, width (integer digits: the minimum with padding, always the maximum),
// precision, padding on, and the padding character.
static const NumberFormat PLAIN = number_format_default();

TEST(Format, IntegersWithBaseWidthAndPadding) {
    ScopedPools pools;
    // A narrow width keeps only the last digits; a base of one is no base and is taken as
    // decimal rather than looping.
    const struct {
        i64 value;
        NumberFormat options;
        const char* text;
    } cases[] = {{-42, PLAIN, "-42"}, {0, PLAIN, "0"}, {INT64_MIN, PLAIN, "-9223372036854775808"},
                 {255, {16, 64, 4, 0, '0'}, "ff"},     {42, {10, 5, 4, 1, '0'}, "00042"},
                 {-42, {10, 5, 4, 1, ' '}, "-   42"},  {123, {10, 2, 4, 0, '0'}, "23"},
                 {123, {10, 0, 4, 0, '0'}, ""},        {12, {1, 64, 4, 0, '0'}, "12"}};
    for (const auto& c : cases) EXPECT_EQ(integer_text(c.value, c.options), c.text) << c.value;
}

TEST(Format, FloatsDropTrailingZerosRoundHalfUpAndKeepTheirPaddingAndWidth) {
    ScopedPools pools;
    // With a width of one there is no room for the digit that rounding 9.99996 carries.
    const struct {
        f64 value;
        NumberFormat options;
        const char* text;
    } cases[] = {{2.5, PLAIN, "2.5"},      {3.0, PLAIN, "3"},         {0.0, PLAIN, "0"},
                 {-0.0, PLAIN, "0"},       {3.14159, PLAIN, "3.1416"}, {0.00004, PLAIN, "0"},
                 {0.125, PLAIN, "0.125"},  {-1.5, PLAIN, "-1.5"},      {9.99996, PLAIN, "10"},
                 {5e-324, PLAIN, "0"},     {1e20, PLAIN, "100000000000000000000"},
                 {__builtin_inf(), PLAIN, "infinity"}, {-__builtin_inf(), PLAIN, "-infinity"},
                 {__builtin_nan(""), PLAIN, "nan"},    {2.5, {10, 3, 4, 1, '0'}, "002.5000"},
                 {1234.5, {10, 2, 4, 0, '0'}, "34.5"}, {9.99996, {10, 1, 4, 0, '0'}, "0"},
                 {0.005, {10, 64, 2, 0, '0'}, "0.01"}, {1.0 / 3.0, {10, 64, 2, 0, '0'}, "0.33"}};
    for (const auto& c : cases) EXPECT_EQ(float_text(c.value, c.options), c.text) << c.value;
    EXPECT_EQ(float_text(1.7976931348623157e308).size(), 64u);  // the last 64 integer digits
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
