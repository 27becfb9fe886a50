#pragma once

#include <string>

#include "voikit/space/coordinate_space.h"

namespace voikit {

// A coordinate in millimetres to one decimal, as every text output writes it. A value that
// rounds to zero is "0.0": a centre at x = -0.04 is on the midline, not "-0.0".
std::string oneDecimal(double millimetres);

// "x y z" (or with another separator), each written as oneDecimal() writes it.
std::string pointText(const Point& point, const char* separator = " ");

}  // namespace voikit
