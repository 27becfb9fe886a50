#include "voikit/voi_statistics.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "voikit/error.h"
#include "voikit/voi_passes.h"

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

void VoxelExtent::checkFits() const {
    if (cells > kMaxGridCells) {
        throw Error("the VOIs spread over more than " + std::to_string(kMaxGridCells) +
                    " cells of 1 mm");
    }
}

namespace {

// A run as the overlap count sees it: its VOI and its stretch of z, the end excluded.
struct Stretch {
    std::int32_t voi;
    std::int64_t from;
    std::int64_t to;
};

// Every run's stretch, grouped by column (x, y) in VOI order, and where each column begins.
// Columns are counted into place where the VOIs' extent is not much larger than the runs;
// else sorted.
void groupByColumn(const VoiRuns& all, const VoxelExtent& extent, std::vector<Stretch>& stretches,
                   std::vector<std::size_t>& columnStarts) {
    stretches.clear();
    columnStarts.clear();
    stretches.reserve(all.runs.size());
    const std::int64_t columns = extent.size[0] * extent.size[1];
    const auto count = static_cast<std::int64_t>(all.runs.size());
    if (extent.cells <= kMaxGridCells && columns <= std::max<std::int64_t>(count * 4, 1 << 20)) {
        const auto column = [&](const VoxelRun& run) {
            return static_cast<std::size_t>((std::int64_t{run.x} - extent.low[0]) * extent.size[1] +
                                            (std::int64_t{run.y} - extent.low[1]));
        };
        std::vector<std::size_t> starts(static_cast<std::size_t>(columns) + 1, 0);
        for (const VoxelRun& run : all.runs) ++starts[column(run) + 1];
        for (std::size_t c = 1; c < starts.size(); ++c) starts[c] += starts[c - 1];
        std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
        stretches.resize(all.runs.size());
        for (std::size_t voi = 0; voi < all.vois(); ++voi) {
            for (const VoxelRun* run = all.begin(voi); run != all.begin(voi) + all.count(voi);
                 ++run) {
                stretches[next[column(*run)]++] = {static_cast<std::int32_t>(voi), run->z,
                                                   std::int64_t{run->z} + run->length};
            }
        }
        for (std::size_t c = 0; c < static_cast<std::size_t>(columns); ++c) {
            if (starts[c] != starts[c + 1]) columnStarts.push_back(starts[c]);
        }
    } else {
        struct Keyed {
            std::int32_t x, y;
            Stretch stretch;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(all.runs.size());
        for (std::size_t voi = 0; voi < all.vois(); ++voi) {
            for (const VoxelRun* run = all.begin(voi); run != all.begin(voi) + all.count(voi);
                 ++run) {
                keyed.push_back(
                    {run->x,
                     run->y,
                     {static_cast<std::int32_t>(voi), run->z, std::int64_t{run->z} + run->length}});
            }
        }
        std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
            return a.x != b.x ? a.x < b.x : a.y < b.y;
        });
        for (std::size_t i = 0; i < keyed.size(); ++i) {
            if (i == 0 || keyed[i].x != keyed[i - 1].x || keyed[i].y != keyed[i - 1].y) {
                columnStarts.push_back(i);
            }
            stretches.push_back(keyed[i].stretch);
        }
    }
    columnStarts.push_back(stretches.size());
}

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

void countOverlaps(const VoiRuns& runs, VoiStatistics& statistics, std::int64_t denseOverlapLimit) {
    statistics.overlaps.clear();
    const VoxelExtent extent(statistics);
    if (extent.cells == 0) return;
    std::vector<Stretch> stretches;
    std::vector<std::size_t> columnStarts;
    groupByColumn(runs, extent, stretches, columnStarts);

    const auto vois = static_cast<std::int64_t>(runs.vois());
    const bool dense = vois <= denseOverlapLimit;
    // Dense: the row of the later VOI, the column of the earlier.
    std::vector<std::int64_t> table(dense ? static_cast<std::size_t>(vois * vois) : 0, 0);
    std::unordered_map<std::uint64_t, std::int64_t> sparse;
    for (std::size_t c = 0; c + 1 < columnStarts.size(); ++c) {
        Stretch* const begin = stretches.data() + columnStarts[c];
        Stretch* const end = mergeColumn(begin, stretches.data() + columnStarts[c + 1]);
        for (Stretch* a = begin; a < end; ++a) {
            for (Stretch* b = a + 1; b < end; ++b) {
                if (b->voi == a->voi) continue;
                const std::int64_t shared = std::min(a->to, b->to) - std::max(a->from, b->from);
                if (shared <= 0) continue;
                if (dense) {
                    table[static_cast<std::size_t>(std::int64_t{b->voi} * vois + a->voi)] += shared;
                } else {
                    sparse[(std::uint64_t{static_cast<std::uint32_t>(a->voi)} << 32) |
                           static_cast<std::uint32_t>(b->voi)] += shared;
                }
            }
        }
    }
    if (dense) {
        for (std::int64_t a = 0; a < vois; ++a) {
            for (std::int64_t b = a + 1; b < vois; ++b) {
                const std::int64_t shared = table[static_cast<std::size_t>(b * vois + a)];
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
    countOverlaps(runs, figures.statistics, denseOverlapLimit);
    return figures.statistics;
}

VoiStatistics computeStatistics(const glomera::VoiFileContents& contents,
                                std::int64_t denseOverlapLimit) {
    return computeStatistics(runsOf(contents), denseOverlapLimit);
}

}  // namespace voikit
