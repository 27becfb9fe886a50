#include "voikit/voxels/voxel_columns.h"

#include <algorithm>

namespace voikit {
namespace {

using Stretch = VoxelColumns::Stretch;

Stretch stretchOf(std::size_t voi, const VoxelRun& run) {
    return {static_cast<std::int32_t>(voi), run.z, std::int64_t{run.z} + run.length};
}

// Counts the runs into place, column by column, over the VOIs' extent.
void countIntoPlace(const VoiRuns& all, const VoxelExtent& extent, VoxelColumns& grouped) {
    const auto columnOf = [&](const VoxelRun& run) {
        return static_cast<std::size_t>((std::int64_t{run.x} - extent.low[0]) * extent.size[1] +
                                        (std::int64_t{run.y} - extent.low[1]));
    };
    const auto columns = static_cast<std::size_t>(extent.size[0] * extent.size[1]);
    std::vector<std::size_t> starts(columns + 1, 0);
    for (const VoxelRun& run : all.runs) ++starts[columnOf(run) + 1];
    for (std::size_t c = 1; c < starts.size(); ++c) starts[c] += starts[c - 1];
    std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
    grouped.stretches.resize(all.runs.size());
    for (std::size_t voi = 0; voi < all.vois(); ++voi) {
        for (const VoxelRun* run = all.begin(voi); run != all.begin(voi) + all.count(voi); ++run) {
            grouped.stretches[next[columnOf(*run)]++] = stretchOf(voi, *run);
        }
    }
    for (std::size_t c = 0; c < columns; ++c) {
        if (starts[c] == starts[c + 1]) continue;
        const auto x = static_cast<std::int32_t>(extent.low[0] +
                                                 static_cast<std::int64_t>(c) / extent.size[1]);
        const auto y = static_cast<std::int32_t>(extent.low[1] +
                                                 static_cast<std::int64_t>(c) % extent.size[1]);
        grouped.columns.push_back({x, y, starts[c]});
    }
}

// Sorts the runs by column, for VOIs spread far beyond their number of runs.
void sortIntoPlace(const VoiRuns& all, VoxelColumns& grouped) {
    struct Keyed {
        std::int32_t x, y;
        Stretch stretch;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(all.runs.size());
    for (std::size_t voi = 0; voi < all.vois(); ++voi) {
        for (const VoxelRun* run = all.begin(voi); run != all.begin(voi) + all.count(voi); ++run) {
            keyed.push_back({run->x, run->y, stretchOf(voi, *run)});
        }
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return a.x != b.x ? a.x < b.x : a.y < b.y;
    });
    grouped.stretches.reserve(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        if (i == 0 || keyed[i].x != keyed[i - 1].x || keyed[i].y != keyed[i - 1].y) {
            grouped.columns.push_back({keyed[i].x, keyed[i].y, i});
        }
        grouped.stretches.push_back(keyed[i].stretch);
    }
}

}  // namespace

VoxelColumns groupByColumn(const VoiRuns& runs, const VoiStatistics& figures) {
    VoxelColumns grouped;
    const VoxelExtent extent(figures);
    if (extent.cells == 0) return grouped;
    const std::int64_t columns = extent.size[0] * extent.size[1];
    const auto count = static_cast<std::int64_t>(runs.runs.size());
    if (extent.cells <= kMaxGridCells && columns <= std::max<std::int64_t>(4 * count, 1 << 20)) {
        countIntoPlace(runs, extent, grouped);
    } else {
        sortIntoPlace(runs, grouped);
    }
    grouped.columns.push_back({0, 0, grouped.stretches.size()});
    return grouped;
}

}  // namespace voikit
