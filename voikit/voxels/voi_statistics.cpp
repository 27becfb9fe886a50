#include "voikit/voxels/voi_statistics.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "voikit/io/error.h"
#include "voikit/voxels/voi_passes.h"
#include "voikit/voxels/voxel_columns.h"

namespace voikit {
namespace {

constexpr std::int32_t kNoLow = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kNoHigh = std::numeric_limits<std::int32_t>::min();

}  // namespace

FiguresPass::FiguresPass() {
    for (int axis = 0; axis < 3; ++axis) {
        statistics.low[axis] = kNoLow;
        statistics.high[axis] = kNoHigh;
    }
}

void FiguresPass::beginVoi(const glomera::VoiInfo&) {
    VoiStatistics::Voi voi;
    for (int axis = 0; axis < 3; ++axis) {
        voi.low[axis] = kNoLow;
        voi.high[axis] = kNoHigh;
        sum_[axis] = 0;
    }
    statistics.vois.push_back(voi);
}

void FiguresPass::runs(const VoxelRun* runs, std::size_t count) {
    VoiStatistics::Voi& voi = statistics.vois.back();
    for (const VoxelRun* run = runs; run != runs + count; ++run) {
        const auto length = static_cast<double>(run->length);
        voi.voxels += run->length;
        // Whole numbers all: the sums are exact in double, as voxel by voxel.
        sum_[0] += run->x * length;
        sum_[1] += run->y * length;
        sum_[2] += run->z * length + length * (length - 1) / 2;
        const std::int32_t top = run->z + (run->length - 1);
        voi.low[0] = std::min(voi.low[0], run->x);
        voi.high[0] = std::max(voi.high[0], run->x);
        voi.low[1] = std::min(voi.low[1], run->y);
        voi.high[1] = std::max(voi.high[1], run->y);
        voi.low[2] = std::min(voi.low[2], run->z);
        voi.high[2] = std::max(voi.high[2], top);
    }
}

void FiguresPass::endVoi() {
    VoiStatistics::Voi& voi = statistics.vois.back();
    for (int axis = 0; axis < 3; ++axis) {
        if (voi.voxels > 0) voi.centre[axis] = sum_[axis] / static_cast<double>(voi.voxels);
        statistics.low[axis] = std::min(statistics.low[axis], voi.low[axis]);
        statistics.high[axis] = std::max(statistics.high[axis], voi.high[axis]);
    }
}

VoxelExtent::VoxelExtent(const VoiStatistics& figures) {
    if (figures.empty()) return;
    cells = 1;
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = figures.low[axis];
        size[axis] = std::int64_t{figures.high[axis]} - figures.low[axis] + 1;
        // Saturated, so that the product cannot overflow.
        cells = size[axis] > kMaxGridCells ? kMaxGridCells + 1
                                           : std::min(cells * size[axis], kMaxGridCells + 1);
    }
}

void VoxelExtent::checkFits(const std::string& voiPath) const {
    if (cells > kMaxGridCells) {
        throw Error(voiPath,
                    fmt::format("the VOIs spread over more than {} cells of 1 mm", kMaxGridCells));
    }
}

namespace {

using Stretch = VoxelColumns::Stretch;

// Sorts one column's stretches by VOI and z and merges each VOI's overlapping ones, so that
// a voxel listed twice is counted once; returns the new end.
Stretch* mergeColumn(Stretch* begin, Stretch* end) {
    const auto before = [](const Stretch& a, const Stretch& b) {
        return a.voi != b.voi ? a.voi < b.voi : a.from < b.from;
    };
    if (!std::is_sorted(begin, end, before)) std::sort(begin, end, before);
    Stretch* out = begin;
    for (Stretch* s = begin + 1; s < end; ++s) {
        if (s->voi == out->voi && s->from <= out->to) {
            out->to = std::max(out->to, s->to);
        } else {
            *++out = *s;
        }
    }
    return begin == end ? end : out + 1;
}

}  // namespace

void countOverlaps(const VoxelColumns& columns, std::size_t voiCount, VoiStatistics& statistics,
                   std::int64_t denseOverlapLimit) {
    statistics.overlaps.clear();
    const auto vois = static_cast<std::int64_t>(voiCount);
    const bool dense = vois <= denseOverlapLimit;
    // Dense: a triangle, the row of the later VOI, the column of the earlier. A pair shares
    // at most the voxels of one VOI, which its count of voxels bounds to 32 bits: the small
    // table stays in the cache.
    const auto row = [](std::int64_t later) {
        return static_cast<std::size_t>(later * (later - 1) / 2);
    };
    std::vector<std::uint32_t> table(dense ? row(vois) : 0, 0);
    std::unordered_map<std::uint64_t, std::int64_t> sparse;
    std::vector<Stretch> column;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        column.assign(columns.begin(c), columns.end(c));
        Stretch* const begin = column.data();
        Stretch* const end = mergeColumn(begin, begin + column.size());
        // Bottom up: each stretch meets those that start below its top.
        std::sort(begin, end, [](const Stretch& a, const Stretch& b) { return a.from < b.from; });
        for (Stretch* a = begin; a < end; ++a) {
            for (Stretch* b = a + 1; b < end && b->from < a->to; ++b) {
                if (b->voi == a->voi) continue;
                const std::int64_t shared = std::min(a->to, b->to) - b->from;
                // Which of the two comes first is as good as random: chosen without a branch,
                // which the processor mispredicted for half of the pairs (most of the time
                // of the count). Indices are whole numbers from 0, so the difference fits.
                const std::int32_t apart = b->voi - a->voi;
                const std::int32_t swap = apart & (apart >> 31);  // apart when b is earlier
                const std::int32_t earlier = a->voi + swap;
                const std::int32_t later = b->voi - swap;
                if (dense) {
                    table[row(later) + static_cast<std::size_t>(earlier)] +=
                        static_cast<std::uint32_t>(shared);
                } else {
                    sparse[(std::uint64_t{static_cast<std::uint32_t>(earlier)} << 32) |
                           static_cast<std::uint32_t>(later)] += shared;
                }
            }
        }
    }
    if (dense) {
        for (std::int64_t a = 0; a < vois; ++a) {
            for (std::int64_t b = a + 1; b < vois; ++b) {
                const std::int64_t shared = table[row(b) + static_cast<std::size_t>(a)];
                if (shared > 0) {
                    statistics.overlaps.push_back(
                        {static_cast<int>(a), static_cast<int>(b), shared});
                }
            }
        }
        return;
    }
    for (const auto& [pair, shared] : sparse) {
        statistics.overlaps.push_back(
            {static_cast<int>(pair >> 32), static_cast<int>(pair & 0xFFFFFFFFu), shared});
    }
    std::sort(statistics.overlaps.begin(), statistics.overlaps.end(),
              [](const VoiStatistics::Overlap& a, const VoiStatistics::Overlap& b) {
                  return a.first != b.first ? a.first < b.first : a.second < b.second;
              });
}

VoiStatistics computeStatistics(const VoiRuns& runs, std::int64_t denseOverlapLimit) {
    FiguresPass figures;
    replay(runs, figures);
    countOverlaps(groupByColumn(runs, figures.statistics), runs.vois(), figures.statistics,
                  denseOverlapLimit);
    return figures.statistics;
}

VoiStatistics computeStatistics(const glomera::VoiFileContents& contents,
                                std::int64_t denseOverlapLimit) {
    return computeStatistics(runsOf(contents), denseOverlapLimit);
}

}  // namespace voikit
