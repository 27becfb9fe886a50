#include "coordlist/clean_up_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/host_operations.h"
#include "tests/support/voi_line_reader.h"

namespace {

using glomera::host::kTextCapacity;

struct Cleaned {
    std::string text;
    std::int32_t count;
    bool cut;
};

Cleaned clean(const std::string& input) {
    std::vector<char> buffer(kTextCapacity, '\0');
    std::copy(input.begin(), input.begin() + std::min(input.size(), buffer.size() - 1),
              buffer.begin());
    glomera::CleanUpOutcome outcome;
    const std::int32_t count = glomera::cleanUpText(buffer.data(), &outcome);
    EXPECT_EQ(count, outcome.lines);
    return {buffer.data(), count, outcome.cut};
}

std::int32_t keptLines(const std::string& input) { return clean(input).count; }

TEST(CleanUpText, WorkedExampleByteForByte) {
    const Cleaned c = clean(
        "x y z radius name r g b\n"
        "12,-20.46,5,8,'Amygdala_L',300,-4,128\n"
        "\n"
        "Left hemisphere:\n"
        "-40.5; -60.04; 70; 25; V1; 0; 255; 255\n"
        "80 0 0 5 FarRight 255 0 0\n"
        "10 10 10 5 NoBlue 255 0");
    EXPECT_EQ(c.count, 2);
    EXPECT_EQ(c.text,
              "   12.0   -20.5     5.0     8.0                Amygdala_L     255    0  128\n"
              "  -40.5   -60.0    70.0    20.0                        V1       0  255  255");
    EXPECT_FALSE(c.cut);
}

TEST(CleanUpText, EmptyInputs) {
    EXPECT_EQ(clean("").text, "");
    EXPECT_EQ(clean("").count, 0);
    EXPECT_EQ(clean("\n\n\n").text, "");
    EXPECT_EQ(clean("\n\n\n").count, 0);
}

TEST(CleanUpText, BoxBoundsAreInclusive) {
    const char* kept[] = {"68 0 0 1 n 0 0 0",  "-68 0 0 1 n 0 0 0", "0 -103 0 1 n 0 0 0",
                          "0 69 0 1 n 0 0 0",  "0 0 -42 1 n 0 0 0", "0 0 76 1 n 0 0 0",
                          "0 0 0 1 n 0 0 500", "0 0 0 1 n 0 0 0"};
    for (const char* line : kept) EXPECT_EQ(keptLines(line), 1) << line;
    const char* dropped[] = {"68.5 0 0 1 n 0 0 0",   "-68.5 0 0 1 n 0 0 0", "0 69.5 0 1 n 0 0 0",
                             "0 -103.5 0 1 n 0 0 0", "0 0 -42.5 1 n 0 0 0", "0 0 76.5 1 n 0 0 0",
                             "0 0 0 1 n 0 0 501",    "0 0 0 1 n 0 0 -1"};
    for (const char* line : dropped) EXPECT_EQ(keptLines(line), 0) << line;
}

TEST(CleanUpText, ClampsRadiusAndColours) {
    EXPECT_EQ(clean("0 0 0 0 n -1 900 500").text,
              "    0.0     0.0     0.0     0.5                         n       0  255  255");
    EXPECT_EQ(clean("0 0 0 -3 n 0 0 0").text.substr(24, 7), "    0.5");
    EXPECT_EQ(clean("0 0 0 25 n 0 0 0").text.substr(24, 7), "   20.0");
    EXPECT_EQ(clean("0 0 0 0.54 n 0 0 0").text.substr(24, 7), "    0.5");
    // r and g play no part in whether a line is kept.
    EXPECT_EQ(keptLines("0 0 0 1 n -1000 99999 3"), 1);
}

TEST(CleanUpText, RoundsToOneDecimal) {
    EXPECT_EQ(clean("-60.04 -0.04 0.05 1 n 0 0 0").text.substr(0, 23), "  -60.0    -0.0     0.1");
}

TEST(CleanUpText, DelimitersAndShiftedFields) {
    EXPECT_EQ(keptLines("1;2:3,4 \"n\" '5' 6 7"), 1);
    // A decimal comma splits x into two fields; everything after shifts by one place.
    const Cleaned shifted = clean("12,5 -20 3 4 n 0 0 0");
    EXPECT_EQ(shifted.count, 0);  // the name field now holds "4"... and r reads "n": dropped
    EXPECT_EQ(keptLines("12,5 -20 3 4 5 6 7 8"), 1);
    // Quoted names with a blank become two tokens, the second read as r.
    EXPECT_EQ(keptLines("1 2 3 4 \"Left Amygdala\" 5 6 7"), 0);
}

TEST(CleanUpText, NameLengths) {
    for (std::size_t length : {25u, 26u, 255u}) {
        const std::string name(length, 'a');
        const Cleaned c = clean("1 2 3 4 " + name + " 5 6 7");
        ASSERT_EQ(c.count, 1) << length;
        EXPECT_EQ(c.text.size(), length <= 25 ? 75u : 50u + length);
        EXPECT_NE(c.text.find(" " + name + " "), std::string::npos);
    }
    // 256 characters do not fit a name: the line is no valid definition.
    EXPECT_EQ(keptLines("1 2 3 4 " + std::string(256, 'a') + " 5 6 7"), 0);
}

TEST(CleanUpText, NinthFieldAndLineEnds) {
    EXPECT_EQ(clean("1 2 3 4 n 5 6 7 extra\r\n1 2 3 4 m 5 6 7\r\n").text,
              "    1.0     2.0     3.0     4.0                         n       5    6    7\n"
              "    1.0     2.0     3.0     4.0                         m       5    6    7");
}

TEST(CleanUpText, FullTextIsCutAfterTheLastWholeLine) {
    // 1,400 valid lines of 76 characters would need 106,399; 1,315 lines fit in 99,999.
    std::string input;
    for (int i = 0; i < 1400; ++i) input += "1 2 3 4 n 5 6 7\n";
    const Cleaned c = clean(input);
    EXPECT_EQ(c.count, 1315);
    EXPECT_TRUE(c.cut);
    EXPECT_EQ(c.text.size(), 1315u * 76 - 1);
    EXPECT_EQ(c.text.back(), '7');
}

// A random line of a messy coordinate table: numbers in and out of the box, delimiters,
// words, missing and extra fields.
std::string randomLine(std::mt19937& random) {
    static const char* const pieces[] = {
        "12",  "-20.46", "5",          "8",   "70",  "-103",  "69.5", "0.04", "25", "-3",
        "1e2", "0x1",    "Amygdala_L", "V1",  "'q'", "\"x\"", ",",    ";",    ":",  " ",
        "\t",  "255",    "500",        "501", "-1",  "abc",   "12,5", ".5",   "-",  "\r"};
    std::uniform_int_distribution<int> pick(0, sizeof pieces / sizeof *pieces - 1);
    std::uniform_int_distribution<int> fields(0, 11);
    std::string line;
    const int n = fields(random);
    for (int i = 0; i < n; ++i) line += std::string(pieces[pick(random)]) + " ";
    return line;
}

TEST(CleanUpText, CleaningIsIdempotentAndEveryLineReadsBack) {
    std::mt19937 random(7);
    for (int list = 0; list < 300; ++list) {
        std::string input;
        const int lines = 1 + list % 40;
        for (int i = 0; i < lines; ++i) {
            // Half the lines are well formed, so that many survive.
            input += i % 2 ? randomLine(random)
                           : "10 -20.46 5 8 Name_" + std::to_string(i) + " 300 -4 " +
                                 std::to_string(i * 20);
            input += "\n";
        }
        const Cleaned once = clean(input);
        const Cleaned twice = clean(once.text);
        ASSERT_EQ(twice.text, once.text) << input;
        ASSERT_EQ(twice.count, once.count);
        const std::int32_t newlines =
            static_cast<std::int32_t>(std::count(once.text.begin(), once.text.end(), '\n'));
        ASSERT_EQ(once.count, once.text.empty() ? 0 : newlines + 1);
        for (std::int32_t i = 0; i < once.count; ++i) {
            float x = 1000, y = 1000, z = 1000, r = 1000;
            std::int32_t red = 1000, green = 1000, blue = 1000;
            char name[512] = "";
            ASSERT_TRUE(glomera::readVoiLine(once.text.c_str(), i, &x, &y, &z, &r, name, &red,
                                             &green, &blue));
            EXPECT_NE(blue, 1000) << "line " << i << " of " << once.text;
            EXPECT_GE(r, 0.5f);
            EXPECT_LE(r, 20.0f);
            EXPECT_NE(name[0], '\0');
        }
    }
}

}  // namespace
