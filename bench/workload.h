#pragma once

#include <string>

#include "voi/voi_set.h"

namespace bench {

constexpr int kLargestListLines = 1315;
constexpr float kLargestRadius = 20.0f;

// A coordinate list of `lines` valid lines with centres spread over the accepted box (one
// decimal, so cleaning keeps them as they are), every radius `radius`. Deterministic.
std::string makeCoordinateList(int lines, float radius);

// The VOIs of such a list, as the sphere run builds them.
glomera::VoiSet makeVoiSet(int lines, float radius, const std::string& fileName);

}  // namespace bench
