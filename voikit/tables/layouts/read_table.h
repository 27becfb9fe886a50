#pragma once

#include <string>
#include <vector>

#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// Reads the plain lines of a table (see plainLine) by the rules of the layout they are in:
// a GingerALE/Sleuth foci file, an AFNI 3dclust report, an FSL cluster table, an SPM
// results table, or else a table as papers print them.
TableReading readTable(const std::vector<std::string>& lines);

}  // namespace voikit
