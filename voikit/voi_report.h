#pragma once

#include <string>

#include "voi/voi_reader.h"
#include "voikit/voi_statistics.h"

namespace voikit {

// One row per VOI (name, colour, voxels, centre of mass, extent), then every pair of VOIs
// that share voxels with the number shared: plain text for people...
std::string reportText(const std::string& source, const glomera::VoiFileContents& contents,
                       const VoiStatistics& statistics);

// ... and the same as JSON for scripts. Names that are not UTF-8 are read as Windows-1252.
std::string reportJson(const std::string& source, const glomera::VoiFileContents& contents,
                       const VoiStatistics& statistics);

}  // namespace voikit
