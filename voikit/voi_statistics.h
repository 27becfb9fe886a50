#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "voi/voi_reader.h"

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

    // Throws Error when the extent passes kMaxGridCells cells.
    void checkFits() const;
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

// The first pass over a file: each VOI's figures and the file without its voxels (header,
// names, colours, counts), which is all the reports and tables need besides.
class FiguresPass : public glomera::VoiFileVisitor {
  public:
    FiguresPass();
    void header(const glomera::VoiFileHeader& h) override;
    void beginVoi(const glomera::VoiInfo& info) override;
    void voxels(const std::int32_t* xyz, std::size_t count) override;
    void endVoi() override;
    void end(std::int32_t vtcCount) override;

    VoiStatistics statistics;
    glomera::VoiFileContents skeleton;  // every VOI with its info, no voxels

  private:
    double sum_[3] = {};
};

// Counts exactly, for every pair of VOIs, the voxels they share, over the extent the first
// pass found, in two more passes: the first counts the VOIs on each cell, the second lists
// them cell by cell and counts each pair as its later VOI arrives. Throws Error when the
// extent passes kMaxGridCells cells.
class OverlapPass : public glomera::VoiFileVisitor {
  public:
    OverlapPass(const VoiStatistics& figures, std::int64_t denseOverlapLimit = kDenseOverlapLimit);
    void beginVoi(const glomera::VoiInfo& info) override;
    void voxels(const std::int32_t* xyz, std::size_t count) override;
    // Ends the counting; the file is then to be read again for the pairs.
    void startPairing();
    // Adds the overlaps to the statistics.
    void finish(VoiStatistics& statistics) const;

  private:
    VoxelExtent extent_;
    std::int64_t vois_ = 0;
    bool dense_ = true;
    bool pairing_ = false;
    std::int32_t voi_ = -1;
    std::vector<std::int32_t> lastSeen_;  // per cell: the VOI that last held it
    std::vector<std::uint32_t> counts_;   // per cell: VOIs holding it, then those listed so far
    std::vector<std::uint32_t> starts_;   // per cell: where its VOIs are listed
    std::vector<std::int32_t> holders_;
    std::vector<std::int64_t> table_;  // dense: row of the later VOI, column of the earlier
    std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> sparse_;
};

// All passes over VOIs held in memory.
VoiStatistics computeStatistics(const glomera::VoiFileContents& contents,
                                std::int64_t denseOverlapLimit = kDenseOverlapLimit);

}  // namespace voikit
