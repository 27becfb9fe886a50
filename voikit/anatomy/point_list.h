#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "voikit/io/log.h"
#include "voikit/space/coordinate_space.h"

namespace voikit {

// A point as a user gives it, with the name it has in a list ("" for none).
struct NamedPoint {
    Point point{};
    std::string name;
    std::string source;  // "FILE line N", or the text given on the command line
};

// "X,Y,Z" or "X Y Z": three numbers, nothing else; none otherwise.
std::optional<Point> parsePoint(std::string_view text);

// A list of points, one a line: three numbers (separated by blanks, tabs, commas or
// semicolons) and an optional name before or after them. Empty lines and comments (# or //)
// are skipped, and so is a heading without numbers as the first line, with a note to `log`.
// Throws Error naming the line and its text for any other line that holds no point.
std::vector<NamedPoint> readPointList(const std::string& text, const std::string& source,
                                      const Log& log);

}  // namespace voikit
