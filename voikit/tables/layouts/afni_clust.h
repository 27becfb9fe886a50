#pragma once

#include <string>
#include <vector>

#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// Whether the lines are a report of AFNI's 3dclust: its "#Coordinates Order" line, its
// "#Cluster report" line or its "#Volume  CM RL ..." column heading.
bool isAfniClustTable(const std::vector<std::string>& lines);

// Reads 3dclust's report by its own rules: one row per cluster, the peak in the MI (maximum
// intensity) columns, else the CM (centre of mass) ones with a note. 3dclust writes RAI
// coordinates unless told otherwise (x growing to the left, y to the back): the
// "#Coordinates Order" line, else the column headings ("MI RL", "MI LR"), say which, and the
// coordinates are turned to x right, y front, z up.
TableReading readAfniClustTable(const std::vector<std::string>& lines);

}  // namespace voikit
