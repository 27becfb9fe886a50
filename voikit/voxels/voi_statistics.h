#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/voxels/voi_passes.h"
#include "voikit/voxels/voxel_runs.h"

namespace voikit {

// Per-VOI figures and the voxels that VOIs share, for the report and the label volume.
struct VoiStatistics {
    struct Voi {
        std::int64_t voxels = 0;
        double centre[3] = {};  // centre of mass, mm; 0 for an empty VOI
        std::int32_t low[3] = {};
        std::int32_t high[3] = {};  // extent, inclusive; low > high for an empty VOI
    };
    struct Overlap {
        int first;  // VOI indices from 0, first < second
        int second;
        std::int64_t sharedVoxels;
    };
    std::vector<Voi> vois;
    std::vector<Overlap> overlaps;  // sorted by first, then second
    std::int32_t low[3] = {};       // extent of all voxels; low > high when there are none
    std::int32_t high[3] = {};

    bool empty() const { return low[0] > high[0]; }
};

// The most grid cells the analysis and the default label grid will hold (256 MB of labels).
constexpr std::int64_t kMaxGridCells = std::int64_t{1} << 26;

// The 1 mm lattice over the extent of all VOI voxels, with z running fastest as a sphere's
// voxels come, so that a row of voxels stays in one stretch of memory.
struct VoxelExtent {
    std::int32_t low[3] = {};
    std::int64_t size[3] = {};
    std::int64_t cells = 0;  // 0 without voxels; kMaxGridCells + 1 for anything beyond it

    VoxelExtent() = default;
    explicit VoxelExtent(const VoiStatistics& figures);

    // Throws Error naming `voiPath`, where the VOIs come from, when the extent passes
    // kMaxGridCells cells.
    void checkFits(const std::string& voiPath) const;
    bool contains(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return x >= low[0] && x < low[0] + size[0] && y >= low[1] && y < low[1] + size[1] &&
               z >= low[2] && z < low[2] + size[2];
    }
    std::size_t index(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return static_cast<std::size_t>(((x - low[0]) * size[1] + (y - low[1])) * size[2] +
                                        (z - low[2]));
    }
};

// The VOI count up to which pair counts are kept in a triangular table; beyond it, in a map.
constexpr std::int64_t kDenseOverlapLimit = 4096;

// Each VOI's figures and the extent of them all.
class FiguresPass : public RunVisitor {
  public:
    FiguresPass();
    void beginVoi(const glomera::VoiInfo& info) override;
    void runs(const VoxelRun* runs, std::size_t count) override;
    void endVoi() override;

    VoiStatistics statistics;

  private:
    double sum_[3] = {};
};

struct VoxelColumns;

// Counts exactly, for every pair of `vois` VOIs, the voxels they share, column by column: a
// pair's share of a column is where their stretches of z meet, and a voxel a VOI lists twice
// counts once. Up to `denseOverlapLimit` VOIs the counts are kept in a table, beyond it by
// pair.
void countOverlaps(const VoxelColumns& columns, std::size_t vois, VoiStatistics& statistics,
                   std::int64_t denseOverlapLimit = kDenseOverlapLimit);

// Figures and overlaps together.
VoiStatistics computeStatistics(const VoiRuns& runs,
                                std::int64_t denseOverlapLimit = kDenseOverlapLimit);
VoiStatistics computeStatistics(const glomera::VoiFileContents& contents,
                                std::int64_t denseOverlapLimit = kDenseOverlapLimit);

}  // namespace voikit
