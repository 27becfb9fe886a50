// The toolbox and the host stand-in format their text with {fmt}. Their outputs were laid out
// with printf, and people and scripts read them: the formats they use must give the same bytes.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "voikit/io/width_in_bytes.h"

namespace {

using voikit::InBytes;

TEST(Formatting, WidthInBytesPadsAsPrintfDoes) {
    struct Case {
        const char* text;
        int width;
    };
    const Case cases[] = {
        {"", 3},
        {"A", 5},
        {"name", 25},
        {"Am\xC3\xADgdala", 10},                      // UTF-8, 9 bytes in 8 characters
        {"\xE6\x89\x81\xE6\xA1\x83\xE4\xBD\x93", 9},  // three CJK characters, 9 bytes
        {"\xE6\x89\x81\xE6\xA1\x83\xE4\xBD\x93", 12},
        {"Am\xEFgdala_\xE9", 25},  // Latin-1, not UTF-8
        {"longer than its column", 5},
        {"x", 0},
    };
    for (const Case& c : cases) {
        char left[64];
        char right[64];
        std::snprintf(left, sizeof left, "%-*s|", c.width, c.text);
        std::snprintf(right, sizeof right, "%*s|", c.width, c.text);
        EXPECT_EQ(
            fmt::format(fmt::runtime("{:<" + std::to_string(c.width) + "}|"), InBytes{c.text}),
            left)
            << c.text;
        EXPECT_EQ(
            fmt::format(fmt::runtime("{:>" + std::to_string(c.width) + "}|"), InBytes{c.text}),
            right)
            << c.text;
    }
    // What {fmt} alone would do: count the accented letter as one, and pad one blank more.
    EXPECT_EQ(fmt::format("[{:<10}]", InBytes{"Am\xC3\xADgdala"}), "[Am\xC3\xADgdala ]");
    EXPECT_EQ(fmt::format("[{:<10}]", "Am\xC3\xADgdala"), "[Am\xC3\xADgdala  ]");
    EXPECT_EQ(fmt::format("[{}]", InBytes{"as it is"}), "[as it is]");
    EXPECT_THROW((void)fmt::format(fmt::runtime("{:^9}"), InBytes{"centred"}), fmt::format_error);
}

TEST(Formatting, NumbersComeOutAsPrintfWroteThem) {
    struct Format {
        const char* fmt;
        const char* printf;
    };
    // Each format the toolbox and the host stand-in use for a double.
    const Format formats[] = {
        {"{:g}", "%g"}, {"{:.1f}", "%.1f"}, {"{:.0f}", "%.0f"}, {"{:.9g}", "%.9g"}, {"{:f}", "%f"}};
    const double values[] = {
        0.0, -0.0, 0.05, -0.04, 0.25, 0.35, 2.5, -2.5, 12.25, 99.95, 99.5, 0.005, 1e-7, 2.5e-5,
        123456.0, 1234567.0, 999999.5, 1e21, -1e-300, std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::max(),
        // MNI centres turned into TAL, and a voxel value as a float.
        10.533146520943, -20.850639124, static_cast<double>(static_cast<float>(-2.5e6f)),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (const Format& format : formats) {
        for (const double value : values) {
            char expected[512];
            std::snprintf(expected, sizeof expected, format.printf, value);
            EXPECT_EQ(fmt::format(fmt::runtime(format.fmt), value), expected)
                << format.printf << " of " << value;
        }
    }
}

}  // namespace
