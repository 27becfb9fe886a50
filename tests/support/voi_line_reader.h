#pragma once

#include <cstdint>

namespace glomera {

// Reads line `index` (from 0) of a coordinate list as a VOI definition line: x, y, z,
// radius, name, r, g, b. Numeric fields that are not read keep the caller's values; `name`
// (at least 256 bytes) receives the name token, cut to 255 characters, or the empty string.
// Returns false, writing nothing, when the text has no line with that number.
bool readVoiLine(const char* text, std::int32_t index, float* x, float* y, float* z, float* radius,
                 char* name, std::int32_t* r, std::int32_t* g, std::int32_t* b);

}  // namespace glomera
