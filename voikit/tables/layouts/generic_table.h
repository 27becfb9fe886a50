#pragma once

#include <string>
#include <vector>

#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// Reads a table in no program's own layout, as papers print them: header rows (with group
// headings above them, such as "MNI" and "Talairach") and the rows under each, matched
// column by column; lines before any header are read one by one (see readFreeLine).
TableReading readGenericTable(const std::vector<std::string>& lines);

}  // namespace voikit
