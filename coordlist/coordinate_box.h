#pragma once

#include <cstdint>

namespace glomera {

// The box a coordinate list's centres must lie in, in TAL millimetres, and the accepted range
// of the blue component; all bounds inclusive.
struct CoordinateBox {
    static constexpr float kXLow = -68.0f, kXHigh = 68.0f;
    static constexpr float kYLow = -103.0f, kYHigh = 69.0f;
    static constexpr float kZLow = -42.0f, kZHigh = 76.0f;
    static constexpr std::int32_t kBlueLow = 0, kBlueHigh = 500;
};

}  // namespace glomera
