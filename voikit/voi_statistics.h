#pragma once

#include <cstdint>
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
};

// The most grid cells the analysis and the default label grid will hold (256 MB of labels).
constexpr std::int64_t kMaxGridCells = std::int64_t{1} << 26;

// The VOI count up to which pair counts are kept in a triangular table; beyond it, in a map.
constexpr std::int64_t kDenseOverlapLimit = 4096;

// Computes the figures and counts exactly, for every pair of VOIs, the voxels they share.
// Throws Error when the VOIs spread over more than kMaxGridCells cells.
VoiStatistics computeStatistics(const glomera::VoiFileContents& contents,
                                std::int64_t denseOverlapLimit = kDenseOverlapLimit);

}  // namespace voikit
