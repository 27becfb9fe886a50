#include "voikit/space/mni_image.h"

#include <algorithm>
#include <cmath>

namespace voikit {

MniImage::MniImage(const std::string& path, Holds holds, const double* xRow) {
    NiftiImage header = readImageHeader(path);
    grid_ = gridOf(*header);
    if (xRow != nullptr) std::copy(xRow, xRow + 4, grid_.affine[0]);
    invertAffine(grid_.affine, inverse_);
    for (int r = 0; r < 3; ++r) sizes_[r] = static_cast<double>(grid_.dims[r]);
    // Held with k running fastest: lookups come up columns of VOI voxels, along z, and k is
    // the image's z in MNI templates and atlases.
    if (holds == Holds::kLabels) {
        labels_ = readImageLabelPlaces(path, *header, VoxelOrder::kKFastest);
    } else {
        values_ = readImageValues(path, *header, VoxelOrder::kKFastest);
    }
}

namespace {

// The nearest voxel's place on an axis of `size` voxels, for a voxel coordinate v; whether it
// lies on the grid. floor(v + 0.5) lies on the grid exactly when v + 0.5 does, and for
// v + 0.5 >= 0 truncation is floor: no branch and no library call on this path, which every
// lookup takes.
inline bool nearestOnAxis(double v, double size, std::int64_t& at) {
    const double shifted = v + 0.5;
    const bool onAxis = (shifted >= 0) & (shifted < size);
    at = static_cast<std::int64_t>(onAxis ? shifted : 0.0);
    return onAxis;
}

// The index of the voxel nearest to voxel coordinates (i, j, k) on a grid; -1 off it.
inline std::int64_t nearestIndex(double i, double j, double k, const std::int64_t dims[3],
                                 const double sizes[3]) {
    std::int64_t at[3];
    // All three axes worked out, without a branch between them.
    const int inside = static_cast<int>(nearestOnAxis(i, sizes[0], at[0])) &
                       static_cast<int>(nearestOnAxis(j, sizes[1], at[1])) &
                       static_cast<int>(nearestOnAxis(k, sizes[2], at[2]));
    return inside != 0 ? (at[0] * dims[1] + at[1]) * dims[2] + at[2] : -1;
}

}  // namespace

std::int64_t MniImage::indexAtMni(const Point& mni) const {
    const Point ijk = voxelCoordinates(mni);
    return nearestIndex(ijk[0], ijk[1], ijk[2], grid_.dims, sizes_);
}

Point MniImage::voxelCoordinates(const Point& mni) const {
    Point ijk{};
    for (int r = 0; r < 3; ++r) {
        ijk[r] = inverse_[r][0] * mni[0] + inverse_[r][1] * mni[1] + inverse_[r][2] * mni[2] +
                 inverse_[r][3];
    }
    return ijk;
}

Point MniImage::positionOf(std::int64_t i, std::int64_t j, std::int64_t k) const {
    const double(&a)[3][4] = grid_.affine;
    Point mni{};
    for (int r = 0; r < 3; ++r) {
        mni[r] = a[r][0] * static_cast<double>(i) + a[r][1] * static_cast<double>(j) +
                 a[r][2] * static_cast<double>(k) + a[r][3];
    }
    return mni;
}

double MniImage::leastStep() const {
    // The smallest singular value of the transform is at least 1 / |inverse|_2, and
    // |inverse|_2 is at most the root of the product of its largest column and row sums.
    double columns = 0, rows = 0;
    for (int a = 0; a < 3; ++a) {
        double column = 0, row = 0;
        for (int b = 0; b < 3; ++b) {
            column += std::fabs(inverse_[b][a]);
            row += std::fabs(inverse_[a][b]);
        }
        columns = std::max(columns, column);
        rows = std::max(rows, row);
    }
    return 1.0 / std::sqrt(columns * rows);
}

void MniImage::indicesUpColumn(double x, double y, std::int64_t from, std::size_t count,
                               MniToTal transform, std::int64_t* indices) const {
    const auto tal = [&](std::size_t k) {
        return Point{x, y, static_cast<double>(from + static_cast<std::int64_t>(k))};
    };
    if (transform == MniToTal::kBrett) {
        for (std::size_t k = 0; k < count; ++k)
            indices[k] = indexAtMni(talToMni(tal(k), transform));
        return;
    }
    // Where the column starts in voxel coordinates, and one step up it.
    const Point start = talToMni(tal(0), transform);
    const Point next = talToMni(tal(1), transform);
    double origin[3], step[3];
    for (int r = 0; r < 3; ++r) {
        origin[r] = inverse_[r][0] * start[0] + inverse_[r][1] * start[1] +
                    inverse_[r][2] * start[2] + inverse_[r][3];
        step[r] = inverse_[r][0] * (next[0] - start[0]) + inverse_[r][1] * (next[1] - start[1]) +
                  inverse_[r][2] * (next[2] - start[2]);
    }
    for (std::size_t k = 0; k < count; ++k) {
        const auto n = static_cast<double>(k);
        indices[k] = nearestIndex(origin[0] + n * step[0], origin[1] + n * step[1],
                                  origin[2] + n * step[2], grid_.dims, sizes_);
    }
}

bool MniImage::sameGrid(const MniImage& other) const {
    for (int r = 0; r < 3; ++r) {
        if (grid_.dims[r] != other.grid_.dims[r]) return false;
        for (int c = 0; c < 4; ++c) {
            if (inverse_[r][c] != other.inverse_[r][c]) return false;
        }
    }
    return true;
}

}  // namespace voikit
