// The Scala reader and sorvane-keys: what the format allows (comments, blank lines, trailing
// text, spaces around "/", a period other than 2/1), a regression table of the parsing
// mistakes scale readers are known to make, cents turned into fractions, keyboard mappings,
// and the tool's round trip: import, export, import again gives the same ratios.
#include <sys/wait.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/keys.h"
#include "scala.h"
#include "model_support.h"

struct Scala : testing::Test {
    ScopedPools pools{64 << 20, 16 << 20};
    ScalaScale scale;
    ScalaError error;

    bool parse(const std::string& text) {
        Str copy = str_copy(POOL_MAIN, to_str(text));
        return scala_parse(copy, POOL_MAIN, &scale, &error);
    }
    std::vector<std::string> ratios() const {
        std::vector<std::string> out;
        for (i64 i = 0; i < scale.pitches.count; i += 1)
            out.push_back(std::to_string(scale.pitches[i].ratio.numerator) + "/" +
                          std::to_string(scale.pitches[i].ratio.denominator));
        return out;
    }
};

using Ratios = std::vector<std::string>;

TEST_F(Scala, ReadsEverythingTheFormatAllows) {
    ASSERT_TRUE(parse("! a comment first\r\n"
                      "! and another\r\n"
                      "Some scale: its description\r\n"
                      "  4   pitches follow\r\n"
                      "\r\n"
                      "! a comment between pitches\r\n"
                      "9/8 re, the rest is ignored\r\n"
                      "\t5 / 4\r\n"
                      "   \r\n"
                      "3/2\tsol\r\n"
                      "3\r\n"
                      "this line after the last pitch is not read: 0/0\r\n"))
        << error.line << " " << to_string(error.message);
    EXPECT_EQ(to_string(scale.description), "Some scale: its description");
    EXPECT_EQ(ratios(), (Ratios{"9/8", "5/4", "3/2", "3/1"}));
    EXPECT_EQ(to_string(scale.pitches[0].name), "re,");
    EXPECT_EQ(to_string(scale.pitches[2].name), "sol");
    EXPECT_EQ(scale.pitches[0].line, 7);
    EXPECT_EQ(scale.pitches[3].line, 11);
    // A blank description, no pitches at all.
    ASSERT_TRUE(parse("\n0\n"));
    EXPECT_EQ(scale.description.length, 0);
    EXPECT_EQ(scale.pitches.count, 0);
}

// Each row: the pitch line, then either the ratio it must give or the error it must raise.
struct Row {
    const char* line;
    const char* ratio;  // null when the line must be refused
};

TEST_F(Scala, RegressionTableOfKnownReaderMistakes) {
    const Row rows[] = {
        // Trailing text must not be spliced into the number.
        {"5/4 3", "5/4"},
        {"3/2fifth", "3/2"},
        {"3/2 5/4", "3/2"},
        {"701.955 7/4", "3/2"},  // cents: the fraction near 701.955 cents, not 7/4
        // Spaces around the slash belong to the ratio; a lone number is n/1.
        {"9 / 8", "9/8"},
        {"9 /8", "9/8"},
        {"9/ 8", "9/8"},
        {"9 8", "9/1"},
        // Integer cents: a number without a period is a ratio, with one it is cents.
        {"700", "700/1"},
        {"1200.", "2/1"},
        {"1200.000000000000000000001", "2/1"},
        {".0", "1/1"},
        {"-1200.0", "1/2"},
        {"+3/2", "3/2"},
        // Huge numerators: exact while they fit in 64 bits, refused beyond.
        {"9223372036854775807/9223372036854775806", "9223372036854775807/9223372036854775806"},
        {"9223372036854775808/1", nullptr},
        {"99999999999999999999/1", nullptr},
        {"1/99999999999999999999", nullptr},
        {"6/4", "3/2"},
        {"9999999/9223372036854775807", "9999999/9223372036854775807"},
        // Broken values.
        {"0/1", nullptr},
        {"3/0", nullptr},
        {"-3/2", nullptr},
        {"3/-2", nullptr},
        {"3/", nullptr},
        {"/2", nullptr},
        {"3/2/5", nullptr},
        {"1.5.2", nullptr},
        {"3/2.5", nullptr},
        {"fifth", nullptr},
        {"30000.0", nullptr},
        {"-", nullptr},
    };
    for (const Row& row : rows) {
        std::string text = std::string("table\n1\n") + row.line + "\n";
        bool parsed = parse(text);
        if (row.ratio) {
            ASSERT_TRUE(parsed) << row.line << ": " << to_string(error.message);
            EXPECT_EQ(ratios(), (Ratios{row.ratio})) << row.line;
        } else {
            EXPECT_FALSE(parsed) << row.line << " gave " << (parsed ? ratios()[0] : "");
            if (!parsed) {
                EXPECT_EQ(error.line, 3) << row.line;
                EXPECT_GT(error.message.length, 0) << row.line;
            }
        }
    }
}

TEST_F(Scala, BrokenFilesAreRefusedWithTheirLine) {
    EXPECT_FALSE(parse(""));
    EXPECT_EQ(error.line, 1);
    EXPECT_FALSE(parse("! only comments\n! here\n"));
    EXPECT_EQ(to_string(error.message), "no description line");
    EXPECT_FALSE(parse("description\n! no count\n"));
    EXPECT_EQ(to_string(error.message), "no number of pitches");
    EXPECT_FALSE(parse("description\ntwelve\n"));
    EXPECT_EQ(error.line, 2);
    EXPECT_FALSE(parse("description\n12.0\n"));
    EXPECT_EQ(error.line, 2);
    EXPECT_FALSE(parse("description\n99999\n"));
    EXPECT_EQ(to_string(error.message), "too many pitches");
    EXPECT_FALSE(parse("description\n3\n9/8\n\n5/4\n"));
    EXPECT_EQ(to_string(error.message), "fewer pitches than the file says");
    EXPECT_EQ(error.line, 6);
    EXPECT_FALSE(parse("d\n3\n9/8\n! fine\n5/4 x\n  x4/3\n"));
    EXPECT_EQ(error.line, 6);
}

TEST_F(Scala, CentsBecomeTheSimplestFractionWithinTheToleranceOrTheNearestBounded) {
    f64 err = 0;
    Fraction fifth = scala_cents_to_ratio(701.955, &err);
    EXPECT_EQ(fifth.numerator, 3);
    EXPECT_EQ(fifth.denominator, 2);
    EXPECT_LE(std::fabs(err), SCALA_TOLERANCE_CENTS);
    Fraction seventh = scala_cents_to_ratio(968.826, &err);
    EXPECT_EQ(seventh.numerator, 7);
    EXPECT_EQ(seventh.denominator, 4);
    // An equal-tempered semitone: 196/185 is the simplest fraction within 0.01 cents (no
    // smaller denominator comes as close).
    Fraction semitone = scala_cents_to_ratio(100.0, &err);
    EXPECT_EQ(semitone.numerator, 196);
    EXPECT_EQ(semitone.denominator, 185);
    EXPECT_NEAR(scala_ratio_cents(semitone) - 100.0, err, 1e-9);
    // One cent: nothing up to the bound comes within the tolerance, so the nearest is taken
    // and its error reported; nothing nearer exists with a denominator up to the bound.
    Fraction cent = scala_cents_to_ratio(1.0, &err);
    EXPECT_LE(cent.denominator, SCALA_MAX_DENOMINATOR);
    EXPECT_GT(std::fabs(err), SCALA_TOLERANCE_CENTS);
    EXPECT_NEAR(scala_ratio_cents(cent) - 1.0, err, 1e-9);
    f64 x = std::pow(2.0, 1.0 / 1200.0);
    for (i64 d = 1; d <= SCALA_MAX_DENOMINATOR; d += 1) {
        i64 n = (i64)std::floor(x * (f64)d + 0.5);
        EXPECT_GE(std::fabs(scala_ratio_cents(Fraction{n, d}) - 1.0), std::fabs(err) - 1e-9);
    }
    ASSERT_TRUE(parse("x\n2\n386.3137 a third\n100.0\n"));
    EXPECT_EQ(ratios()[0], "5/4");
    EXPECT_TRUE(scale.pitches[0].from_cents);
    EXPECT_NEAR(scale.pitches[0].cents, 386.3137, 1e-9);
}

TEST_F(Scala, AMappingGivesTheFrequencyOfTheOneOverOne) {
    ASSERT_TRUE(parse("just\n7\n9/8\n5/4\n4/3\n3/2\n5/3\n15/8\n2/1\n"));
    KbmMapping mapping;
    f64 frequency = 0;
    // The frequency of the 1/1 under the mapping; -2 when the mapping is refused, -1 when
    // the frequency is.
    auto unison = [&](const char* text) {
        if (!kbm_parse(str_copy(POOL_MAIN, str_from_cstring(text)), POOL_MAIN, &mapping, &error))
            return -2.0;
        return kbm_unison_frequency(&mapping, &scale, &frequency, &error) ? frequency : -1.0;
    };
    // Linear mapping, middle note 60, 69 at 440 Hz: key 69 is degree 9, the second degree
    // of the next period: 2 x 5/4.
    EXPECT_NEAR(unison("! linear\n0\n0\n127\n60\n69\n440.0\n7\n"), 440.0 / 2.5, 1e-9);
    // A twelve-key mapping whose key 9 plays degree 5 (5/3): C = 440 x 3/5 = 264 Hz.
    EXPECT_NEAR(unison("12\n0\n127\n60\n69\n440\n7\n0\nx\n1\nx\n2\n3\nx\n4\nx\n5\nx\n6\n"),
                264.0, 1e-9);
    // The reference on the middle note is the 1/1 itself; an unmapped reference is refused.
    EXPECT_DOUBLE_EQ(unison("0\n0\n127\n60\n60\n261.6\n7\n"), 261.6);
    EXPECT_EQ(unison("12\n0\n127\n60\n61\n440\n7\n0\nx\n"), -1.0);
    EXPECT_EQ(unison("0\n0\n127\n60\n69\n-440\n7\n"), -2.0);
    EXPECT_EQ(error.line, 6);
    // Numbers that would overflow the arithmetic are refused.
    EXPECT_EQ(unison("0\n0\n127\n-9223372036854775807\n9223372036854775807\n440\n7\n"), -2.0);
    EXPECT_EQ(unison("12\n0\n127\n60\n69\n440\n9223372036854775807\n"), -2.0);
}

// ---------------------------------------------------------------------------
// The tool
// ---------------------------------------------------------------------------
struct KeysTool : testing::Test {
    TempFolder folder;
    ScopedPools pools{64 << 20, 16 << 20};

    void write(const std::string& name, const std::string& text) { file_put(folder / name, text); }
    std::string read(const std::string& name) { return file_text(folder / name); }
    // Runs the tool in the folder; its standard output in `out`, the exit status returned.
    int run(const std::string& arguments, std::string* out) {
        std::string command = "cd '" + folder.path + "' && " + SORVANE_KEYS_TOOL + " " + arguments +
                              " >out.txt 2>err.txt";
        int status = system(command.c_str());
        *out = read("out.txt") + read("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The ratios of a key in the folder's keys.txt, as the program reads them.
    std::vector<std::string> key_ratios(const char* name) {
        keys_parse(str_copy(POOL_MAIN, to_str(read("keys.txt"))));
        std::vector<std::string> out;
        const KeyDefinition* key = key_by_name(str_from_cstring(name));
        if (!key) return out;
        for (i64 i = 0; i < key->pitches.count; i += 1)
            out.push_back(std::to_string(key->pitches[i].numerator) + "/" +
                          std::to_string(key->pitches[i].denominator));
        return out;
    }
};

TEST_F(KeysTool, ImportExportImportKeepsTheRatiosAndRefusalsChangeNothing) {
    write("keys.txt", "# my keys\nkey key\nclass c 1 1 1 1\npitch do 1/1 0");  // no final newline
    write("mixed.scl", "! mixed.scl\nA mixed scale\n 5\n!\n 9/8 re\n 386.3137 mi\n 3 / 2\n"
                       " 1.0 one cent\n 2/1\n");
    std::string out;
    ASSERT_EQ(run("import mixed.scl keys.txt", &out), 0) << out;
    // The cents lines are listed with what they became and how far off.
    EXPECT_NE(out.find("line 6: 386.313700 cents approximated as 5/4"), std::string::npos) << out;
    EXPECT_NE(out.find("line 8: 1.000000 cents approximated as"), std::string::npos) << out;
    EXPECT_NE(out.find("beyond the 0.01 cent tolerance"), std::string::npos) << out;
    Ratios first = key_ratios("mixed");
    ASSERT_EQ(first.size(), 5u);
    EXPECT_EQ(Ratios(first.begin(), first.end() - 1), (Ratios{"1/1", "9/8", "5/4", "3/2"}));
    // The key that was there is untouched and still first.
    EXPECT_EQ(key_ratios("key"), (Ratios{"1/1"}));
    EXPECT_EQ(read("keys.txt").rfind("# my keys\nkey key\n", 0), 0u);

    ASSERT_EQ(run("export keys.txt mixed back.scl", &out), 0) << out;
    ASSERT_EQ(run("import back.scl keys.txt again", &out), 0) << out;
    EXPECT_EQ(key_ratios("again"), first);
    EXPECT_EQ(out.find("approximated"), std::string::npos);  // all ratios now

    // A name taken already, or a broken scale, is refused and keys.txt is left alone.
    std::string before = read("keys.txt");
    EXPECT_EQ(run("import back.scl keys.txt mixed", &out), 1);
    EXPECT_NE(out.find("has a key named mixed already"), std::string::npos) << out;
    write("bad.scl", "bad\n2\n3/2\n99999999999999999999/1\n");
    EXPECT_EQ(run("import bad.scl keys.txt", &out), 1);
    EXPECT_NE(out.find("bad.scl, line 4: a number too large"), std::string::npos) << out;
    EXPECT_EQ(read("keys.txt"), before);
    EXPECT_EQ(run("export keys.txt nothere x.scl", &out), 1);
    EXPECT_EQ(run("fly", &out), 2);
    EXPECT_NE(out.find("usage"), std::string::npos);
}

TEST_F(KeysTool, AMappingPrintsTheFrequencyRowAndAnotherPeriodIsSaid) {
    write("keys.txt", "");
    write("bp.scl", "Bohlen-Pierce\n3\n25/21\n9/7\n3/1\n");
    write("a.kbm", "! A above middle C\n0\n0\n127\n60\n61\n440.0\n3\n");
    std::string out;
    ASSERT_EQ(run("import bp.scl keys.txt a.kbm", &out), 0) << out;
    EXPECT_NE(out.find("frequency 369.600000"), std::string::npos) << out;  // 440 x 21/25
    EXPECT_NE(out.find("the period is 3/1"), std::string::npos) << out;
    EXPECT_EQ(key_ratios("bp"), (Ratios{"1/1", "25/21", "9/7", "3/1"}));
    ASSERT_EQ(run("frequency bp.scl a.kbm", &out), 0);
    EXPECT_EQ(out, "frequency 369.600000\n");
}
