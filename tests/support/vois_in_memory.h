#pragma once

#include <string>

#include "voi/voi_reader.h"
#include "voikit/anatomy/anatomy.h"
#include "voikit/outputs/label_volume.h"
#include "voikit/voxels/voi_statistics.h"

namespace voikit {

// What the programs make of a .voi file as they read it, made of VOIs held in memory. Errors
// name `source`, standing for the file they would have come from.

// The VOIs labelled on a grid, as LabelPass labels them.
LabelVolume fillLabels(const glomera::VoiFileContents& contents, const LabelGrid& grid,
                       const std::string& source = "vois.voi");

// The VOIs' anatomy, as AnatomyLookup describes them.
Anatomy describeAnatomy(const glomera::VoiFileContents& contents, const VoiStatistics& statistics,
                        const AnatomySettings& settings);

}  // namespace voikit
