#pragma once

#include <optional>
#include <string>
#include <vector>

#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// NiMARE's dataset JSON read by its schema: studies, each with contrasts, each with "coords"
// ("space" and lists "x", "y", "z" of one length) and "metadata" ("sample_sizes"). One peak
// per focus, in its contrast's space, named study_contrast_n; one experiment per contrast,
// its subjects the sum of its sample sizes. Each contrast's foci stand on the line of its
// "coords". Nothing when the lines are no such JSON.
std::optional<TableReading> readNimareDataset(const std::vector<std::string>& lines);

}  // namespace voikit
