#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "voikit/voxels/voi_statistics.h"
#include "voikit/voxels/voxel_runs.h"

namespace voikit {

// The runs of a file regrouped by column (x, y): what lies up each column, for work that
// goes column by column, once for all VOIs, rather than VOI by VOI.
struct VoxelColumns {
    // A run as a stretch of z, the end excluded, with its VOI.
    struct Stretch {
        std::int32_t voi;
        std::int64_t from;
        std::int64_t to;
    };
    struct Column {
        std::int32_t x;
        std::int32_t y;
        std::size_t begin;  // its first stretch; the next column's begin ends it
    };
    std::vector<Stretch> stretches;  // column by column, in VOI and file order within each
    std::vector<Column> columns;     // x, then y ascending; one more at the end, begin only

    std::size_t size() const { return columns.empty() ? 0 : columns.size() - 1; }
    const Stretch* begin(std::size_t column) const {
        return stretches.data() + columns[column].begin;
    }
    const Stretch* end(std::size_t column) const {
        return stretches.data() + columns[column + 1].begin;
    }
};

// Groups the runs by column; the figures give the extent of the VOIs.
VoxelColumns groupByColumn(const VoiRuns& runs, const VoiStatistics& figures);

}  // namespace voikit
