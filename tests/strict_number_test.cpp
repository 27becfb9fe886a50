#include "common/strict_number.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(StrictNumber, TakesOnlyWholeFiniteNumbers) {
    struct Case {
        const char* text;
        bool taken;
        double value;
    } cases[] = {
        {"12", true, 12},
        {"-20.5", true, -20.5},
        {"+5", true, 5},
        {".5", true, 0.5},
        {"1e2", true, 100},
        {"-0", true, 0},
        {"\xe2\x88\x92"
         "22",
         false, 0},  // typographic minus
        {"abc", false, 0},
        {"22x", false, 0},
        {"", false, 0},
        {"1e400", false, 0},
        {"inf", false, 0},
        {"nan", false, 0},
        {" 5", false, 0},
        {"5 ", false, 0},
        {"1,5", false, 0},
        {"+-5", false, 0},
        {"-", false, 0},
        {"0x10", false, 0},
    };
    for (const Case& c : cases) {
        const auto value = glomera::parseFiniteNumber(c.text);
        EXPECT_EQ(value.has_value(), c.taken) << c.text;
        if (value && c.taken) {
            EXPECT_DOUBLE_EQ(*value, c.value) << c.text;
        }
    }
    // Finite as a double, too large for the plug-in's 32-bit floats.
    EXPECT_TRUE(glomera::parseFiniteNumber("1e39").has_value());
    EXPECT_FALSE(glomera::parseFiniteNumber("1e39", true).has_value());
}

TEST(StrictNumber, WholeNumbersWithinTheirRange) {
    EXPECT_EQ(glomera::parseWholeNumber("255", 0, 255), 255);
    EXPECT_EQ(glomera::parseWholeNumber("+7", 0, 255), 7);
    EXPECT_EQ(glomera::parseWholeNumber("-2147483648", INT32_MIN, INT32_MAX), INT32_MIN);
    for (const char* text : {"256", "-1", "1.0", "1e2", "", "99999999999999999999", "3 "}) {
        EXPECT_FALSE(glomera::parseWholeNumber(text, 0, 255).has_value()) << text;
    }
}

TEST(StrictNumber, SplitsAtEveryComma) {
    EXPECT_EQ(glomera::splitAtCommas("1,2,3"), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(glomera::splitAtCommas(""), (std::vector<std::string>{""}));
    EXPECT_EQ(glomera::splitAtCommas(",,,"), (std::vector<std::string>{"", "", "", ""}));
}

}  // namespace
