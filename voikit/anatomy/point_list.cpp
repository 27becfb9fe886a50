#include "voikit/anatomy/point_list.h"

#include <fmt/format.h>

#include <cmath>

#include "common/strict_number.h"
#include "voikit/io/error.h"

namespace voikit {
namespace {

// The fields of a line, split at blanks, tabs, commas and semicolons.
std::vector<std::string> fieldsOf(std::string_view line) {
    std::vector<std::string> fields;
    std::string field;
    for (const char c : line) {
        if (c == ' ' || c == '\t' || c == ',' || c == ';') {
            if (!field.empty()) fields.push_back(std::move(field));
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty()) fields.push_back(std::move(field));
    return fields;
}

// Typographic minus signs as pasted from papers, a byte-order mark and CR line ends go.
std::string plain(std::string text) {
    if (text.compare(0, 3, "\xef\xbb\xbf") == 0) text.erase(0, 3);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, "\xe2\x88\x92") == 0) {
            out += '-';
            i += 2;
        } else if (text[i] != '\r') {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::optional<Point> parsePoint(std::string_view text) {
    const std::vector<std::string> fields = fieldsOf(plain(std::string(text)));
    if (fields.size() != 3) return std::nullopt;
    Point point{};
    for (int axis = 0; axis < 3; ++axis) {
        const auto value = glomera::parseFiniteNumber(fields[static_cast<std::size_t>(axis)]);
        if (!value) return std::nullopt;
        point[static_cast<std::size_t>(axis)] = *value;
    }
    return point;
}

void checkWithinReach(const NamedPoint& given) {
    for (std::size_t axis = 0; axis < 3; ++axis) {
        if (std::fabs(given.point[axis]) <= kFarthestPoint) continue;
        throw UsageError(fmt::format(
            "where: {}: {} = {:g} mm is more than {:g} mm from the origin, outside any head; "
            "give millimetres",
            given.source, "xyz"[axis], given.point[axis], kFarthestPoint));
    }
}

}  // namespace voikit
