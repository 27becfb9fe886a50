#pragma once

#include <string>
#include <string_view>

namespace voikit {

// The hemisphere a name says, by a word part of its own: "L" or "R", "Left" or "Right",
// "lh" or "rh" (Amygdala_L, Left-Insula, lh.insula, ctx-rh-precuneus). Word parts are what
// lies between characters that are neither letters nor digits. A name that says both, or
// neither, says none.
enum class Side { kNone, kLeft, kRight };
Side sideInName(std::string_view name);

// "left", "right" or "no side".
const char* sideName(Side side);

// The side of x = 0 a position lies on, once more than `midline` mm from it; kNone within.
Side sideOfX(double x, double midline);

// How far from x = 0 a position or a region's centre must lie before it counts as on a side.
constexpr double kMidlineMm = 2.0;

// "its name says left but `what` lies right of the midline (TAL x = 24.0)" for a name that
// says one side and a TAL x on the other, more than kMidlineMm from x = 0; "" otherwise.
std::string sideMismatch(std::string_view name, double talX, const char* what);

}  // namespace voikit
