#pragma once

#include <string>

#include "headless-host/voi_file_reader.h"
#include "headless-host/voi_statistics.h"

namespace headless {

// One row per VOI (name, colour, voxels, centre of mass, extent), then every pair of VOIs
// that share voxels with the number shared: plain text for people...
std::string reportText(const std::string& source, const VoiFileContents& contents,
                       const VoiStatistics& statistics);

// ... and the same as JSON for scripts.
std::string reportJson(const std::string& source, const VoiFileContents& contents,
                       const VoiStatistics& statistics);

}  // namespace headless
