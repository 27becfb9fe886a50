#include "voikit/space/point_text.h"

#include <fmt/format.h>

namespace voikit {

std::string oneDecimal(double millimetres) {
    std::string text = fmt::format("{:.1f}", millimetres);
    if (text == "-0.0") text.erase(0, 1);
    return text;
}

std::string pointText(const Point& point, const char* separator) {
    return oneDecimal(point[0]) + separator + oneDecimal(point[1]) + separator +
           oneDecimal(point[2]);
}

}  // namespace voikit
