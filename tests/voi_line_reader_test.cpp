#include "tests/support/voi_line_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

// The caller's values before a read; a field the line does not set keeps them.
struct Read {
    bool found = false;
    float x = -1, y = -2, z = -3, radius = -4;
    std::string name;
    std::int32_t r = -5, g = -6, b = -7;
};

Read read(const std::string& text, std::int32_t index = 0) {
    Read out;
    char name[512];
    std::memset(name, '#', sizeof name);
    name[511] = '\0';
    out.found = glomera::readVoiLine(text.c_str(), index, &out.x, &out.y, &out.z, &out.radius, name,
                                     &out.r, &out.g, &out.b);
    out.name = name;
    return out;
}

TEST(ReadVoiLine, ReadsAllEightFieldsOfACleanedLine) {
    const Read v =
        read("   12.0   -20.5     5.0     8.0                Amygdala_L     255    0  128");
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.x, 12.0f);
    EXPECT_EQ(v.y, -20.5f);
    EXPECT_EQ(v.z, 5.0f);
    EXPECT_EQ(v.radius, 8.0f);
    EXPECT_EQ(v.name, "Amygdala_L");
    EXPECT_EQ(v.r, 255);
    EXPECT_EQ(v.g, 0);
    EXPECT_EQ(v.b, 128);
}

TEST(ReadVoiLine, CountsLinesAsLineInputDoes) {
    EXPECT_FALSE(read("", 0).found);
    EXPECT_TRUE(read("a\n\nb", 2).found);
    EXPECT_EQ(read("a\n\n1 2 3 4 B 5 6 7", 2).name, "B");
    EXPECT_TRUE(read("a\n", 0).found);
    EXPECT_FALSE(read("a\n", 1).found);
    EXPECT_FALSE(read("a\nb", -1).found);
    EXPECT_FALSE(read("a\nb", 2).found);
}

TEST(ReadVoiLine, MissingLineWritesNothing) {
    const Read v = read("1 2 3 4 n 5 6 7", 3);
    EXPECT_EQ(v.x, -1.0f);
    EXPECT_EQ(v.r, -5);
    EXPECT_EQ(v.name, std::string(511, '#'));
}

TEST(ReadVoiLine, DigitsOnlyLineAndExtraFields) {
    const Read v = read("1 2 3 4 5 6 7 8 ninth");
    EXPECT_EQ(v.x, 1.0f);
    EXPECT_EQ(v.radius, 4.0f);
    EXPECT_EQ(v.name, "5");
    EXPECT_EQ(v.b, 8);
}

TEST(ReadVoiLine, CarriageReturnNeverJoinsTheName) {
    const Read v = read("1 2 3 4 Name 5 6 7\r\n9 9 9 9 N 9 9 9", 0);
    EXPECT_EQ(v.b, 7);
    const Read cut = read("1 2 3 4 Name\r\n", 0);
    EXPECT_EQ(cut.name, "Name");
    EXPECT_EQ(cut.r, -5);
}

TEST(ReadVoiLine, EmptyLineSetsOnlyTheName) {
    const Read v = read("1 2 3 4 A 5 6 7\n   \n", 1);
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.x, -1.0f);
    EXPECT_EQ(v.b, -7);
    EXPECT_EQ(v.name, "");
}

TEST(ReadVoiLine, UncleanedCommaStopsTheLineAfterX) {
    const Read v = read("12,-20,5,8,V1,255,0,0");
    EXPECT_TRUE(v.found);
    EXPECT_EQ(v.x, 12.0f);
    EXPECT_EQ(v.y, -2.0f);
    EXPECT_EQ(v.radius, -4.0f);
    EXPECT_EQ(v.name, "");
    EXPECT_EQ(v.r, -5);
}

TEST(ReadVoiLine, ValuesComeBackUnchecked) {
    const Read v = read("500 0 0 0 V 999 -3 1000");
    EXPECT_EQ(v.x, 500.0f);
    EXPECT_EQ(v.radius, 0.0f);
    EXPECT_EQ(v.r, 999);
    EXPECT_EQ(v.g, -3);
}

TEST(ReadVoiLine, LongNameIsCutTo255Characters) {
    const std::string name(300, 'n');
    const Read v = read("1 2 3 4 " + name + " 5 6 7");
    EXPECT_EQ(v.name, std::string(255, 'n'));
    // The rest of the token does not spill into the colour fields.
    EXPECT_EQ(v.r, 5);
    EXPECT_EQ(v.b, 7);
}

// How each number form reads: the value of x (NaN: not stored) and whether the next field,
// y, could still be read from what follows.
struct NumberForm {
    const char* text;
    float x;
    bool yRead;
    float y;
};

TEST(ReadVoiLine, NumberFormsOfFormattedExtraction) {
    const float kept = std::numeric_limits<float>::quiet_NaN();
    const NumberForm forms[] = {
        {"12.5abc 7", 12.5f, false, 0},  // "abc" fails as y
        {"12.5 7", 12.5f, true, 7.0f},
        {".5 -.5", 0.5f, true, -0.5f},
        {"+3 4.", 3.0f, true, 4.0f},
        {"1e2 1E-1", 100.0f, true, 0.1f},
        {"0x10 1", 0.0f, false, 0},  // 0 read; "x10" fails as y
        {"1e 5", kept, false, 0},    // an exponent without digits fails
        {"1e39 5", kept, false, 0},  // beyond the float range fails
        {"-1e39 5", kept, false, 0},
        {"- 5", kept, false, 0},
        {"abc 5", kept, false, 0},
        {"12,5 7", 12.0f, false, 0},  // a decimal comma ends the number
        {"nan 1", kept, false, 0},
        {"inf 1", kept, false, 0},
        {"3.4e38 1", 3.4e38f, true, 1.0f},
        {"1e-50 2", 0.0f, true, 2.0f},  // underflow reads as zero
        {"7\r", 7.0f, false, 0},
    };
    for (const NumberForm& form : forms) {
        const Read v = read(form.text);
        if (std::isnan(form.x)) {
            EXPECT_EQ(v.x, -1.0f) << form.text;
        } else {
            EXPECT_EQ(v.x, form.x) << form.text;
        }
        EXPECT_EQ(v.y, form.yRead ? form.y : -2.0f) << form.text;
    }
}

TEST(ReadVoiLine, IntegerFormsAndRange) {
    EXPECT_EQ(read("0 0 0 0 n 2147483647 -2147483648 0").g, -2147483647 - 1);
    EXPECT_EQ(read("0 0 0 0 n 2147483648 1 1").r, -5);  // overflow stores nothing
    EXPECT_EQ(read("0 0 0 0 n 2147483648 1 1").g, -6);  // and stops the line
    EXPECT_EQ(read("0 0 0 0 n 12.7 1 1").r, 12);        // ".7" then fails as g
    EXPECT_EQ(read("0 0 0 0 n 12.7 1 1").g, -6);
    EXPECT_EQ(read("0 0 0 0 n 0x1F 1 1").r, 0);
    EXPECT_EQ(read("0 0 0 0 n +8 -0 1").g, 0);
}

}  // namespace
