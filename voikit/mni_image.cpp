#include "voikit/mni_image.h"

#include <cmath>

namespace voikit {

MniImage::MniImage(const std::string& path) {
    NiftiImage header = readImageHeader(path);
    grid_ = gridOf(*header);
    invertAffine(grid_.affine, inverse_);
    // Held with k running fastest: lookups come up columns of VOI voxels, along z, and k is
    // the image's z in MNI templates and atlases.
    values_ = readImageValues(path, *header, VoxelOrder::kKFastest);
}

std::int64_t MniImage::indexAtMni(const Point& mni) const {
    std::int64_t ijk[3];
    for (int r = 0; r < 3; ++r) {
        const double index = inverse_[r][0] * mni[0] + inverse_[r][1] * mni[1] +
                             inverse_[r][2] * mni[2] + inverse_[r][3];
        const double nearest = std::floor(index + 0.5);
        if (!(nearest >= 0 && nearest < static_cast<double>(grid_.dims[r]))) return -1;
        ijk[r] = static_cast<std::int64_t>(nearest);
    }
    return (ijk[0] * grid_.dims[1] + ijk[1]) * grid_.dims[2] + ijk[2];
}

}  // namespace voikit
