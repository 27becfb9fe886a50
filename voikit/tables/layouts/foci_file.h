#pragma once

#include <string>
#include <vector>

#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// Whether the lines are a GingerALE/Sleuth foci file: a "// Reference=" or "// Subjects="
// line.
bool isFociFile(const std::vector<std::string>& lines);

// Reads a foci file by its own rules: blank lines separate experiments; in each, "//" lines
// name it and give its "// Subjects=N", and every other line is one focus, x y z. A
// "// Reference=MNI" or "// Reference=Talairach" line gives the space of the foci after it.
// The foci of an experiment are named after it.
TableReading readFociFile(const std::vector<std::string>& lines);

}  // namespace voikit
