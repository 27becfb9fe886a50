#include "voikit/extract/sphere_regions.h"

#include <cmath>
#include <limits>

#include "voikit/io/error.h"
#include "voikit/space/nifti_file.h"

namespace voikit {
namespace {

// The most cells a sphere's box may span on a grid.
constexpr double kMostBoxCells = double(std::int64_t{1} << 27);

Point inSpace(const Sphere& sphere, const LabelGrid& grid) {
    if (sphere.space == grid.space) return sphere.centre;
    return grid.space == Space::kMni ? talToMni(sphere.centre, grid.transform)
                                     : mniToTal(sphere.centre, grid.transform);
}

double squaredDistance(const LabelGrid& grid, std::int64_t i, std::int64_t j, std::int64_t k,
                       const Point& centre) {
    double sum = 0;
    for (int r = 0; r < 3; ++r) {
        const double d = grid.affine[r][0] * static_cast<double>(i) +
                         grid.affine[r][1] * static_cast<double>(j) +
                         grid.affine[r][2] * static_cast<double>(k) + grid.affine[r][3] - centre[r];
        sum += d * d;
    }
    return sum;
}

}  // namespace

SphereRegions::SphereRegions(std::vector<Sphere> spheres) : spheres_(std::move(spheres)) {
    for (const Sphere& sphere : spheres_) names_.push_back(sphere.name);
}

VoiCells SphereRegions::cellsOn(const LabelGrid& grid) const {
    double inverse[3][4];
    if (!invertAffine(grid.affine, inverse)) throw Error("the grid's transform cannot be inverted");
    VoiCells out;
    out.cells.resize(spheres_.size());
    out.outside.assign(spheres_.size(), 0);
    for (std::size_t s = 0; s < spheres_.size(); ++s) {
        const Point centre = inSpace(spheres_[s], grid);
        const double radius = spheres_[s].radius;
        double at[3];
        bool far = false;
        for (int a = 0; a < 3; ++a) {
            at[a] = inverse[a][0] * centre[0] + inverse[a][1] * centre[1] +
                    inverse[a][2] * centre[2] + inverse[a][3];
            // Further off the grid than whole numbers of cells are counted.
            far = far || !(std::fabs(at[a]) < 1e12);
        }
        if (far) {
            out.outside[s] = 1;
            continue;
        }
        // The sphere's box in cells: along index axis a it reaches radius times the length of
        // row a of the inverse transform either side of the centre.
        std::int64_t from[3], to[3];
        double boxCells = 1;
        for (int a = 0; a < 3; ++a) {
            const double reach =
                radius * std::sqrt(inverse[a][0] * inverse[a][0] + inverse[a][1] * inverse[a][1] +
                                   inverse[a][2] * inverse[a][2]);
            const double low = std::ceil(at[a] - reach), high = std::floor(at[a] + reach);
            boxCells *= std::max(0.0, high - low + 1);
            if (!(boxCells <= kMostBoxCells)) {
                throw Error("the grid's cells are too small for a sphere of " +
                            std::to_string(radius) + " mm: its box passes 2^27 cells");
            }
            from[a] = static_cast<std::int64_t>(low);
            to[a] = static_cast<std::int64_t>(high);
        }
        std::vector<std::int64_t>& cells = out.cells[s];
        const auto onGrid = [&](std::int64_t i, std::int64_t j, std::int64_t k) {
            return i >= 0 && i < grid.dims[0] && j >= 0 && j < grid.dims[1] && k >= 0 &&
                   k < grid.dims[2];
        };
        bool any = false;
        for (std::int64_t k = from[2]; k <= to[2]; ++k) {
            for (std::int64_t j = from[1]; j <= to[1]; ++j) {
                for (std::int64_t i = from[0]; i <= to[0]; ++i) {
                    if (squaredDistance(grid, i, j, k, centre) > radius * radius) continue;
                    any = true;
                    if (onGrid(i, j, k)) {
                        cells.push_back((k * grid.dims[1] + j) * grid.dims[0] + i);
                    } else {
                        ++out.outside[s];
                    }
                }
            }
        }
        if (any) continue;
        // No cell's centre within the radius: the nearest cell, among those around the
        // centre's position on the grid.
        double best = std::numeric_limits<double>::infinity();
        std::int64_t nearest[3] = {};
        for (int n = 0; n < 27; ++n) {
            const std::int64_t c[3] = {
                static_cast<std::int64_t>(std::lround(at[0])) + n % 3 - 1,
                static_cast<std::int64_t>(std::lround(at[1])) + n / 3 % 3 - 1,
                static_cast<std::int64_t>(std::lround(at[2])) + n / 9 - 1};
            const double d = squaredDistance(grid, c[0], c[1], c[2], centre);
            if (d < best) {
                best = d;
                std::copy(c, c + 3, nearest);
            }
        }
        if (onGrid(nearest[0], nearest[1], nearest[2])) {
            cells.push_back((nearest[2] * grid.dims[1] + nearest[1]) * grid.dims[0] + nearest[0]);
        } else {
            out.outside[s] = 1;
        }
    }
    return out;
}

}  // namespace voikit
