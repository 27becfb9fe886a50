#include "voikit/voi_statistics.h"

#include <algorithm>
#include <limits>
#include <map>

#include "voikit/error.h"

namespace voikit {

VoiStatistics computeStatistics(const glomera::VoiFileContents& contents,
                                std::int64_t denseOverlapLimit) {
    VoiStatistics statistics;
    for (int axis = 0; axis < 3; ++axis) {
        statistics.low[axis] = std::numeric_limits<std::int32_t>::max();
        statistics.high[axis] = std::numeric_limits<std::int32_t>::min();
    }
    for (const auto& source : contents.vois) {
        VoiStatistics::Voi voi;
        double sum[3] = {};
        for (int axis = 0; axis < 3; ++axis) {
            voi.low[axis] = std::numeric_limits<std::int32_t>::max();
            voi.high[axis] = std::numeric_limits<std::int32_t>::min();
        }
        const auto& v = source.voxels;
        voi.voxels = static_cast<std::int64_t>(v.size() / 3);
        for (std::size_t i = 0; i < v.size(); i += 3) {
            for (int axis = 0; axis < 3; ++axis) {
                sum[axis] += v[i + axis];
                voi.low[axis] = std::min(voi.low[axis], v[i + axis]);
                voi.high[axis] = std::max(voi.high[axis], v[i + axis]);
            }
        }
        for (int axis = 0; axis < 3; ++axis) {
            if (voi.voxels > 0) voi.centre[axis] = sum[axis] / static_cast<double>(voi.voxels);
            statistics.low[axis] = std::min(statistics.low[axis], voi.low[axis]);
            statistics.high[axis] = std::max(statistics.high[axis], voi.high[axis]);
        }
        statistics.vois.push_back(voi);
    }
    if (statistics.low[0] > statistics.high[0]) return statistics;  // no voxels at all

    std::int64_t size[3];
    std::int64_t cells = 1;
    for (int axis = 0; axis < 3; ++axis) {
        size[axis] = std::int64_t{statistics.high[axis]} - statistics.low[axis] + 1;
        cells = size[axis] > kMaxGridCells ? kMaxGridCells + 1 : cells * size[axis];
        if (cells > kMaxGridCells) {
            throw Error("the VOIs spread over more than " + std::to_string(kMaxGridCells) +
                        " cells of 1 mm");
        }
    }
    // Each cell remembers the first VOI that holds it; the later holders of a cell are
    // chained from it through `later`, so that every pair among them is counted once.
    struct LaterHolder {
        std::int32_t voi;
        std::int32_t next;
    };
    std::vector<std::int32_t> first(static_cast<std::size_t>(cells), -1);
    std::vector<std::int32_t> laterHead(static_cast<std::size_t>(cells), -1);
    std::vector<LaterHolder> later;
    std::vector<std::int32_t> sharedCells;
    for (std::size_t index = 0; index < contents.vois.size(); ++index) {
        const auto voi = static_cast<std::int32_t>(index);
        const auto& v = contents.vois[index].voxels;
        for (std::size_t i = 0; i < v.size(); i += 3) {
            const auto cell =
                static_cast<std::size_t>(((std::int64_t{v[i]} - statistics.low[0]) * size[1] +
                                          (v[i + 1] - statistics.low[1])) *
                                             size[2] +
                                         (v[i + 2] - statistics.low[2]));
            if (first[cell] < 0) {
                first[cell] = voi;
                continue;
            }
            const std::int32_t head = laterHead[cell];
            // A voxel a VOI lists twice counts once.
            if (first[cell] == voi || (head >= 0 && later[head].voi == voi)) continue;
            if (head < 0) sharedCells.push_back(static_cast<std::int32_t>(cell));
            later.push_back({voi, head});
            laterHead[cell] = static_cast<std::int32_t>(later.size() - 1);
        }
    }
    // Pair counts: a triangular table for the usual number of VOIs, a map beyond.
    const std::int64_t n = static_cast<std::int64_t>(contents.vois.size());
    const bool dense = n <= denseOverlapLimit;
    std::vector<std::int64_t> table(dense ? static_cast<std::size_t>(n * n) : 0, 0);
    std::map<std::pair<int, int>, std::int64_t> sparse;
    std::vector<std::int32_t> holders;
    for (std::int32_t cell : sharedCells) {
        holders.assign(1, first[static_cast<std::size_t>(cell)]);
        for (std::int32_t at = laterHead[static_cast<std::size_t>(cell)]; at >= 0;
             at = later[at].next) {
            holders.push_back(later[at].voi);
        }
        for (std::size_t a = 0; a < holders.size(); ++a) {
            for (std::size_t b = a + 1; b < holders.size(); ++b) {
                const int low = std::min(holders[a], holders[b]);
                const int high = std::max(holders[a], holders[b]);
                if (dense) {
                    ++table[static_cast<std::size_t>(low * n + high)];
                } else {
                    ++sparse[{low, high}];
                }
            }
        }
    }
    if (dense) {
        for (int a = 0; a < n; ++a) {
            for (int b = a + 1; b < n; ++b) {
                const std::int64_t shared = table[static_cast<std::size_t>(a * n + b)];
                if (shared > 0) statistics.overlaps.push_back({a, b, shared});
            }
        }
    } else {
        for (const auto& [pair, count] : sparse) {
            statistics.overlaps.push_back({pair.first, pair.second, count});
        }
    }
    return statistics;
}

}  // namespace voikit
