#include "voikit/space/name_side.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace voikit {
namespace {

// Letters, digits and the bytes of any character beyond ASCII, such as the é of "Région_L".
bool isWordCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || std::isalnum(byte) != 0;
}

std::string lowerCase(std::string_view word) {
    std::string lower(word);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

Side sideOfWord(std::string_view word) {
    // A single letter counts only in capitals: "l" and "r" are as often abbreviations.
    if (word == "L") return Side::kLeft;
    if (word == "R") return Side::kRight;
    const std::string lower = lowerCase(word);
    if (lower == "left" || lower == "lh") return Side::kLeft;
    if (lower == "right" || lower == "rh") return Side::kRight;
    return Side::kNone;
}

}  // namespace

Side sideInName(std::string_view name) {
    bool left = false;
    bool right = false;
    std::size_t start = 0;
    while (start < name.size()) {
        while (start < name.size() && !isWordCharacter(name[start])) ++start;
        std::size_t end = start;
        while (end < name.size() && isWordCharacter(name[end])) ++end;
        const Side side = sideOfWord(name.substr(start, end - start));
        left = left || side == Side::kLeft;
        right = right || side == Side::kRight;
        start = end;
    }
    if (left == right) return Side::kNone;
    return left ? Side::kLeft : Side::kRight;
}

const char* sideName(Side side) {
    switch (side) {
        case Side::kLeft:
            return "left";
        case Side::kRight:
            return "right";
        case Side::kNone:
            break;
    }
    return "no side";
}

std::string sideMismatch(std::string_view name, double talX, const char* what) {
    const Side named = sideInName(name);
    const Side found = sideOfX(talX, kMidlineMm);
    if (named == Side::kNone || found == Side::kNone || found == named) return "";
    char x[32];
    std::snprintf(x, sizeof x, "%.1f", talX);
    return std::string("its name says ") + sideName(named) + " but " + what + " lies " +
           sideName(found) + " of the midline (TAL x = " + x + ")";
}

Side sideOfX(double x, double midline) {
    if (x < -midline) return Side::kLeft;
    if (x > midline) return Side::kRight;
    return Side::kNone;
}

}  // namespace voikit
