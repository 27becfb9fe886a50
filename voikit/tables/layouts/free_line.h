#pragma once

#include <string>

#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// A line read without a header: the plug-in's own list line (x y z radius name r g b); else
// the peaks it writes in brackets or with axis names, "(-48, 28, 4)" or "x = -48, y = 28,
// z = 4", each named by the words before it, as results paragraphs have them; else its runs
// of numbers: the first three numbers of a run are x, y and z, named by the words before them
// (or after them). Several runs are several peaks when each is three numbers; otherwise the
// line is refused, since which numbers are coordinates cannot be told.
ReadLine readFreeLine(const std::string& line);

}  // namespace voikit
