#pragma once

#include <string>
#include <vector>

#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// Whether the lines are SPM's results table, as its window prints it or as its CSV export
// writes it: its level headings, its statistics' names or its title.
bool isSpmTable(const std::vector<std::string>& lines);

// Reads SPM's results table by its own rules: every row ends with the peak's x, y and z
// (mm); a row with cluster-level values starts a cluster, a row with only peak-level values
// is one of its further peaks (its leading cells blank); the lines above the rows head the
// table, the lines below (thresholds, FWHM, voxel size, ...) are its footer, not peaks.
TableReading readSpmTable(const std::vector<std::string>& lines);

}  // namespace voikit
