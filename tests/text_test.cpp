// The configuration text reader: words and lines as views, integers and numbers with
// their stopping rules, fractions, overlong input, and whole-file reading.
#include "base/text.h"
#include "model/files.h"

#include "model_support.h"

static std::string next_word(TextCursor* cursor) {
    Str word = text_read_until(cursor, ' ');
    cursor->position += 1;
    return to_string(word);
}

TEST(TextReader, WordsAreSplitAtSingleSpacesAndEveryLineIsReadEvenWithoutAFinalNewline) {
    TextCursor cursor = text_cursor(STR("color 1 0.5 0 1"));
    const char* expected[] = {"color", "1", "0.5", "0", "1"};
    for (const char* word : expected) EXPECT_EQ(next_word(&cursor), word);
    EXPECT_GE(cursor.position, cursor.end);

    TextCursor doubled = text_cursor(STR("color  1"));
    EXPECT_EQ(next_word(&doubled), "color");
    EXPECT_EQ(next_word(&doubled), "");  // two spaces: an empty word between them
    EXPECT_EQ(next_word(&doubled), "1");
    // Reading stops on the delimiter without moving past it.
    TextCursor leading = text_cursor(STR(" x"));
    EXPECT_EQ(text_read_until(&leading, ' ').length, 0);
    EXPECT_EQ(leading.position, 0);

    // Every line is read, even without a final newline.
    TextCursor text = text_cursor(STR("first\r\n\nthird"));
    std::string lines[3];
    i32 count = 0;
    while (text.position < text.end && count < 3) {
        lines[count++] = to_string(text_read_line(&text));
        text.position += 1;
    }
    EXPECT_EQ(count, 3);
    EXPECT_EQ(lines[0], "first\r");  // a carriage return stays in the line
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "third");
}

TEST(TextReader, IntegersStopAtTheFirstOtherByteAndWrapBeyondSixtyFourBits) {
    struct Case {
        const char* text;
        i64 value, stop;
    } cases[] = {
        {"-x", 0, 1},  // the minus stays consumed
        {"12ab", 12, 2}, {"ab", 0, 0}, {"+5", 0, 0}, {"", 0, 0},
        {"-9223372036854775808", INT64_MIN, 20},
    };
    for (const Case& c : cases) {
        TextCursor cursor = text_cursor(str_from_cstring(c.text));
        EXPECT_EQ(text_parse_integer(&cursor), c.value) << c.text;
        EXPECT_EQ(cursor.position, c.stop) << c.text;
    }

    // Integers beyond sixty-four bits wrap instead of overflowing.
    TextCursor wrapped = text_cursor(STR("18446744073709551617"));  // 2^64 + 1
    EXPECT_EQ(text_parse_integer(&wrapped), 1);
    std::string long_digits(500, '9');
    TextCursor many = text_cursor(to_str(long_digits));
    text_parse_integer(&many);  // any value, but defined and bounded
    EXPECT_EQ(many.position, 500);
}

TEST(TextReader, NumbersWithPointsAndSignsStopStoringAtSixtyFourDigits) {
    struct Case {
        const char* text;
        f64 value;
        i64 stop;
    } cases[] = {
        {"3.25", 3.25, 4}, {"12.5", 12.5, 4}, {".5", 0.5, 2},   {"7.", 7.0, 2},
        {"1.2.3", 12.3, 5}, {"-0.75", -0.75, 5}, {"1e3", 1.0, 1}, {"x", 0.0, 0},
    };
    for (const Case& c : cases) {
        TextCursor cursor = text_cursor(str_from_cstring(c.text));
        EXPECT_DOUBLE_EQ(text_parse_number(&cursor), c.value) << c.text;
        EXPECT_EQ(cursor.position, c.stop) << c.text;
    }
    TextCursor minus = text_cursor(STR("-"));
    f64 negative_zero = text_parse_number(&minus);
    EXPECT_EQ(negative_zero, 0.0);
    EXPECT_TRUE(__builtin_signbit(negative_zero));

    // Numbers stop storing at sixty-four digits.
    std::string digits = "0." + std::string(100, '1');
    TextCursor long_number = text_cursor(to_str(digits));
    EXPECT_NEAR(text_parse_number(&long_number), 0.111111111111, 1e-9);
    EXPECT_EQ(long_number.position, 1 + 64);  // the 65th digit is left unread
}

TEST(TextReader, Fractions) {
    struct Case {
        const char* text;
        i64 numerator, denominator;  // a broken denominator reads as 0
    } cases[] = {{"3", 3, 1}, {"3/4", 3, 4}, {"-1/8", -1, 8}, {"3/", 3, 0}, {"5/x", 5, 0}};
    for (const Case& c : cases) {
        Fraction got = text_parse_fraction(str_from_cstring(c.text));
        EXPECT_EQ(got.numerator, c.numerator) << c.text;
        EXPECT_EQ(got.denominator, c.denominator) << c.text;
    }
    Fraction empty = text_parse_fraction(Str{0, 0});
    EXPECT_EQ(empty.numerator, 0);
    EXPECT_EQ(empty.denominator, 1);
}

TEST(TextReader, WholeFilesMissingFilesAndFilesLargerThanThePool) {
    ScopedPools pools(1 << 20, 1000);
    TempFolder folder;
    file_put(folder / "small.txt", "key value\nlast line");
    i64 used_before = g_pools[POOL_TMP].used;
    Str contents = read_entire_file(to_str(folder / "small.txt"), POOL_TMP);
    EXPECT_EQ(to_string(contents), "key value\nlast line");
    EXPECT_GT(g_pools[POOL_TMP].used, used_before);

    used_before = g_pools[POOL_TMP].used;
    Str missing = read_entire_file(to_str(folder / "missing.txt"), POOL_TMP);
    EXPECT_EQ(missing.length, 0);
    EXPECT_EQ(missing.data, nullptr);
    EXPECT_EQ(g_pools[POOL_TMP].used, used_before);  // a missing file takes no space

    file_put(folder / "big.txt", std::string(4000, 'x'));
    testing::internal::CaptureStdout();
    Str big = read_entire_file(to_str(folder / "big.txt"), POOL_TMP);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(big.length, 0);
}
