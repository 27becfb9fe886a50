#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// No head reaches this far from the origin on any axis: a point beyond it is a typing or
// unit mistake (metres, voxel indices of a huge grid, a stray exponent).
constexpr double kFarthestPoint = 300;

// Throws UsageError naming the point's source and axis when it lies more than
// kFarthestPoint mm from the origin on any axis.
void checkWithinReach(const NamedPoint& given);

}  // namespace voikit
