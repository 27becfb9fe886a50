#pragma once

#include <string>
#include <vector>

#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// Whether the lines are a table of FSL's cluster: its header names a "Cluster Index".
bool isFslClusterTable(const std::vector<std::string>& lines);

// Reads FSL cluster's table by its own rules: one row per cluster with the peak in its MAX
// X, Y, Z columns (the first such group, the statistic's own, before COPE-MAX), or its
// local-maxima file with x, y, z. Millimetres only: without --mm cluster writes voxel
// indices ("MAX X (vox)"), and those rows are refused with that explanation.
TableReading readFslClusterTable(const std::vector<std::string>& lines);

}  // namespace voikit
