#pragma once

#include <string>

#include "voi/voi_reader.h"
#include "voikit/anatomy/anatomy.h"
#include "voikit/provenance/methods.h"
#include "voikit/provenance/provenance.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/voxels/voi_statistics.h"

namespace voikit {

// One row per VOI (name, colour, voxels, centre of mass in TAL and, by `transform`, in MNI,
// extent), then every pair of VOIs that share voxels with the number shared, then, when
// `anatomy` is given, what each atlas's names say of sides and where each VOI lies: the
// atlas regions at its centre and those its voxels fall in, whether it sits in the brain,
// and any warning; then, when given, what made the report and the methods paragraph with its
// references. Plain text for people...
std::string reportText(const std::string& source, const glomera::VoiFileContents& contents,
                       const VoiStatistics& statistics, MniToTal transform,
                       const Anatomy* anatomy = nullptr, const Provenance* provenance = nullptr,
                       const Methods* methods = nullptr);

// ... and the same as JSON for scripts. Names that are not UTF-8 are read as Windows-1252.
std::string reportJson(const std::string& source, const glomera::VoiFileContents& contents,
                       const VoiStatistics& statistics, MniToTal transform,
                       const Anatomy* anatomy = nullptr, const Provenance* provenance = nullptr,
                       const Methods* methods = nullptr);

}  // namespace voikit
