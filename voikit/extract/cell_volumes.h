#pragma once

#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/extract/regions.h"
#include "voikit/outputs/label_volume.h"

namespace voikit {

// The VOIs' cells as a label volume on their grid: i for the i-th VOI, the later VOI taking
// a shared cell, with the counts the label tables show. Throws Error for more VOIs than
// 16-bit labels tell apart.
LabelVolume labelsOfCells(const VoiCells& cells, const LabelGrid& grid);

// The VOIs as the volumes of one 4D NIfTI-1 file, volume v the mask of VOI v + 1 (8-bit: 1
// in its cells, 0 elsewhere), so that every VOI keeps its cells where VOIs overlap; beside it
// PATH.tsv: volume (from 0), index, name, r, g, b, cells, outside. What made them, when
// given, goes into the file's NIfTI comment extension. Whole or not at all; throws Error on
// failure or when the masks would pass 2 GB.
void writeVoiMasks(const std::string& path, const std::vector<glomera::VoiInfo>& vois,
                   const VoiCells& cells, const LabelGrid& grid,
                   const Provenance* provenance = nullptr);

}  // namespace voikit
