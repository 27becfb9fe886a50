#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glomera {

// Numbers typed by a user, taken only when the whole text is one: an optional sign, digits,
// an optional fraction and exponent, always with the full stop as decimal point whatever
// the locale. No blanks, no trailing text, no infinities or NaN, nothing out of range.

// A finite number that also fits a 32-bit float when `asFloat` is set.
std::optional<double> parseFiniteNumber(std::string_view text, bool asFloat = false);

// A whole number within [low, high].
std::optional<std::int64_t> parseWholeNumber(std::string_view text, std::int64_t low,
                                             std::int64_t high);

// "R,G,B": three whole numbers from 0 to 255.
std::optional<std::array<int, 3>> parseRgb(std::string_view text);

// Splits "a,b,c" at every comma; "" gives one empty part.
std::vector<std::string> splitAtCommas(std::string_view text);

}  // namespace glomera
