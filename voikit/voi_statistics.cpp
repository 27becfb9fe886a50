#include "voikit/voi_statistics.h"

#include <algorithm>
#include <limits>

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

void FiguresPass::header(const glomera::VoiFileHeader& h) { skeleton.header = h; }

void FiguresPass::beginVoi(const glomera::VoiInfo& info) {
    skeleton.vois.push_back({info, {}});
    VoiStatistics::Voi voi;
    for (int axis = 0; axis < 3; ++axis) {
        voi.low[axis] = kNoLow;
        voi.high[axis] = kNoHigh;
        sum_[axis] = 0;
    }
    statistics.vois.push_back(voi);
}

void FiguresPass::voxels(const std::int32_t* xyz, std::size_t count) {
    VoiStatistics::Voi& voi = statistics.vois.back();
    voi.voxels += static_cast<std::int64_t>(count);
    for (const std::int32_t* end = xyz + 3 * count; xyz != end; xyz += 3) {
        for (int axis = 0; axis < 3; ++axis) {
            sum_[axis] += xyz[axis];
            voi.low[axis] = std::min(voi.low[axis], xyz[axis]);
            voi.high[axis] = std::max(voi.high[axis], xyz[axis]);
        }
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

void FiguresPass::end(std::int32_t vtcCount) { skeleton.header.vtcCount = vtcCount; }

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

OverlapPass::OverlapPass(const VoiStatistics& figures, std::int64_t denseOverlapLimit)
    : extent_(figures),
      vois_(static_cast<std::int64_t>(figures.vois.size())),
      dense_(vois_ <= denseOverlapLimit) {
    extent_.checkFits();
    lastSeen_.assign(static_cast<std::size_t>(extent_.cells), -1);
    counts_.assign(static_cast<std::size_t>(extent_.cells), 0);
}

void OverlapPass::beginVoi(const glomera::VoiInfo&) { ++voi_; }

void OverlapPass::voxels(const std::int32_t* xyz, std::size_t count) {
    for (const std::int32_t* end = xyz + 3 * count; xyz != end; xyz += 3) {
        const std::size_t at = extent_.index(xyz[0], xyz[1], xyz[2]);
        // A voxel a VOI lists twice counts once.
        if (lastSeen_[at] == voi_) continue;
        lastSeen_[at] = voi_;
        if (!pairing_) {
            ++counts_[at];
            continue;
        }
        std::int32_t* listed = holders_.data() + starts_[at];
        const std::uint32_t earlier = counts_[at];
        if (dense_) {
            // The later VOI's row of the table stays in the cache while its voxels come.
            std::int64_t* row = table_.data() + static_cast<std::ptrdiff_t>(voi_) * vois_;
            for (std::uint32_t k = 0; k < earlier; ++k) ++row[listed[k]];
        } else {
            for (std::uint32_t k = 0; k < earlier; ++k) ++sparse_[{listed[k], voi_}];
        }
        listed[earlier] = voi_;
        counts_[at] = earlier + 1;
    }
}

void OverlapPass::startPairing() {
    std::uint64_t total = 0;
    starts_.resize(counts_.size());
    for (std::size_t at = 0; at < counts_.size(); ++at) {
        starts_[at] = static_cast<std::uint32_t>(total);
        total += counts_[at];
        if (total > 0xFFFFFFFFu) throw Error("too many voxels to count the VOIs' overlaps");
        counts_[at] = 0;
    }
    holders_.assign(static_cast<std::size_t>(total), 0);
    std::fill(lastSeen_.begin(), lastSeen_.end(), -1);
    if (dense_) table_.assign(static_cast<std::size_t>(vois_ * vois_), 0);
    pairing_ = true;
    voi_ = -1;
}

void OverlapPass::finish(VoiStatistics& statistics) const {
    statistics.overlaps.clear();
    if (dense_) {
        for (std::int64_t a = 0; a < vois_ && !table_.empty(); ++a) {
            for (std::int64_t b = a + 1; b < vois_; ++b) {
                const std::int64_t shared = table_[static_cast<std::size_t>(b * vois_ + a)];
                if (shared > 0) {
                    statistics.overlaps.push_back(
                        {static_cast<int>(a), static_cast<int>(b), shared});
                }
            }
        }
    } else {
        for (const auto& [pair, count] : sparse_) {
            statistics.overlaps.push_back({pair.first, pair.second, count});
        }
    }
}

VoiStatistics computeStatistics(const glomera::VoiFileContents& contents,
                                std::int64_t denseOverlapLimit) {
    FiguresPass figures;
    replay(contents, figures);
    OverlapPass overlaps(figures.statistics, denseOverlapLimit);
    replay(contents, overlaps);
    overlaps.startPairing();
    replay(contents, overlaps);
    overlaps.finish(figures.statistics);
    return figures.statistics;
}

}  // namespace voikit
