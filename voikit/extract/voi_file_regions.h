#pragma once

#include <string>
#include <vector>

#include "voikit/extract/regions.h"
#include "voikit/voxels/voi_statistics.h"
#include "voikit/voxels/voxel_runs.h"

namespace voikit {

// The VOIs of a .voi file, read strictly once, on any grid by the rule of the label volume:
// a cell belongs to a VOI when the lattice voxel nearest to its centre (taken to TAL) is
// one of the VOI's voxels.
class VoiFileRegions : public Regions {
  public:
    // Throws Error naming the file when it cannot be read or breaks the format.
    explicit VoiFileRegions(const std::string& path);
    explicit VoiFileRegions(VoiRuns runs);

    const std::vector<std::string>& names() const override { return names_; }
    VoiCells cellsOn(const LabelGrid& grid) const override;
    const char* outsideUnit() const override { return "voxel"; }

    const VoiRuns& runs() const { return runs_; }
    // Each VOI's voxels, centre of mass and extent on the 1 mm TAL lattice.
    const VoiStatistics& figures() const { return figures_; }

  private:
    VoiRuns runs_;
    VoiStatistics figures_;
    std::vector<std::string> names_;
};

}  // namespace voikit
