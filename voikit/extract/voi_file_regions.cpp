#include "voikit/extract/voi_file_regions.h"

#include <utility>

#include "voikit/voxels/voi_passes.h"

namespace voikit {

VoiFileRegions::VoiFileRegions(const std::string& path) : VoiFileRegions(readVoiRuns(path)) {}

VoiFileRegions::VoiFileRegions(VoiRuns runs) : runs_(std::move(runs)) {
    FiguresPass figures;
    replay(runs_, figures);
    figures_ = std::move(figures.statistics);
    for (const auto& voi : runs_.skeleton.vois) names_.push_back(voi.info.name);
}

VoiCells VoiFileRegions::cellsOn(const LabelGrid& grid) const {
    const GridPull pull(grid);
    VoiCells out;
    out.cells.resize(runs_.vois());
    out.outside.assign(runs_.vois(), 0);
    std::vector<std::uint8_t> inside;  // the VOI's voxels over its own box, z fastest
    for (std::size_t v = 0; v < runs_.vois(); ++v) {
        const VoiStatistics::Voi& figures = figures_.vois[v];
        if (figures.voxels == 0) continue;
        std::int64_t size[3];
        for (int a = 0; a < 3; ++a) size[a] = std::int64_t{figures.high[a]} - figures.low[a] + 1;
        const auto at = [&](std::int64_t x, std::int64_t y, std::int64_t z) {
            return static_cast<std::size_t>(
                ((x - figures.low[0]) * size[1] + (y - figures.low[1])) * size[2] +
                (z - figures.low[2]));
        };
        inside.assign(static_cast<std::size_t>(size[0] * size[1] * size[2]), 0);
        const VoxelRun* const first = runs_.begin(v);
        for (const VoxelRun* run = first; run != first + runs_.count(v); ++run) {
            std::fill_n(inside.begin() + static_cast<std::ptrdiff_t>(at(run->x, run->y, run->z)),
                        run->length, std::uint8_t{1});
            out.outside[v] += pull.offTheGrid(*run);
        }
        std::int64_t from[3], to[3];
        if (!pull.cellRange(figures.low, size, from, to)) continue;
        std::vector<std::int64_t>& cells = out.cells[v];
        for (std::int64_t k = from[2]; k <= to[2]; ++k) {
            for (std::int64_t j = from[1]; j <= to[1]; ++j) {
                for (std::int64_t i = from[0]; i <= to[0]; ++i) {
                    std::int64_t voxel[3];
                    pull.latticeVoxel(i, j, k, voxel);
                    bool in = true;
                    for (int a = 0; a < 3; ++a) {
                        in = in && voxel[a] >= figures.low[a] && voxel[a] <= figures.high[a];
                    }
                    if (in && inside[at(voxel[0], voxel[1], voxel[2])] != 0) {
                        cells.push_back((k * grid.dims[1] + j) * grid.dims[0] + i);
                    }
                }
            }
        }
    }
    return out;
}

}  // namespace voikit
