#include "headless-host/voi_statistics.h"

#include <algorithm>
#include <limits>
#include <map>

namespace headless {

bool computeStatistics(const VoiFileContents& contents, VoiStatistics& statistics,
                       std::string& error) {
    statistics = VoiStatistics();
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
    if (statistics.low[0] > statistics.high[0]) return true;  // no voxels at all

    std::int64_t size[3];
    std::int64_t cells = 1;
    for (int axis = 0; axis < 3; ++axis) {
        size[axis] = std::int64_t{statistics.high[axis]} - statistics.low[axis] + 1;
        cells = size[axis] > kMaxGridCells ? kMaxGridCells + 1 : cells * size[axis];
        if (cells > kMaxGridCells) {
            error = "the VOIs spread over more than " + std::to_string(kMaxGridCells) +
                    " cells of 1 mm";
            return false;
        }
    }
    // Each cell remembers the first VOI that holds it; cells that more VOIs hold keep the
    // others aside, so that every pair among them is counted once.
    std::vector<std::int32_t> owner(static_cast<std::size_t>(cells), -1);
    std::map<std::int64_t, std::vector<int>> shared;
    for (std::size_t index = 0; index < contents.vois.size(); ++index) {
        const auto& v = contents.vois[index].voxels;
        for (std::size_t i = 0; i < v.size(); i += 3) {
            const std::int64_t cell = ((std::int64_t{v[i]} - statistics.low[0]) * size[1] +
                                       (v[i + 1] - statistics.low[1])) *
                                          size[2] +
                                      (v[i + 2] - statistics.low[2]);
            std::int32_t& first = owner[static_cast<std::size_t>(cell)];
            if (first < 0) {
                first = static_cast<std::int32_t>(index);
            } else if (first != static_cast<std::int32_t>(index)) {
                auto& others = shared[cell];
                if (others.empty() || others.back() != static_cast<int>(index)) {
                    others.push_back(static_cast<int>(index));
                }
            }
        }
    }
    std::map<std::pair<int, int>, std::int64_t> pairs;
    for (const auto& [cell, others] : shared) {
        std::vector<int> holders = others;
        holders.push_back(owner[static_cast<std::size_t>(cell)]);
        std::sort(holders.begin(), holders.end());
        holders.erase(std::unique(holders.begin(), holders.end()), holders.end());
        for (std::size_t a = 0; a < holders.size(); ++a) {
            for (std::size_t b = a + 1; b < holders.size(); ++b) ++pairs[{holders[a], holders[b]}];
        }
    }
    for (const auto& [pair, count] : pairs) {
        statistics.overlaps.push_back({pair.first, pair.second, count});
    }
    return true;
}

}  // namespace headless
