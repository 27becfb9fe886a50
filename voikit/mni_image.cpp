#include "voikit/mni_image.h"

#include <algorithm>
#include <cmath>

namespace voikit {

MniImage::MniImage(const std::string& path) {
    NiftiImage header = readImageHeader(path);
    grid_ = gridOf(*header);
    invertAffine(grid_.affine, inverse_);
    // Held with k running fastest: lookups come up columns of VOI voxels, along z, and k is
    // the image's z in MNI templates and atlases.
    const std::vector<float> file = readImageValues(path, *header);
    values_.resize(file.size());
    const auto nx = static_cast<std::size_t>(grid_.dims[0]);
    const auto ny = static_cast<std::size_t>(grid_.dims[1]);
    const auto nz = static_cast<std::size_t>(grid_.dims[2]);
    // In blocks of i, so that both the rows read and the columns written stay in the cache.
    constexpr std::size_t kBlock = 32;
    for (std::size_t j = 0; j < ny; ++j) {
        for (std::size_t i0 = 0; i0 < nx; i0 += kBlock) {
            const std::size_t i1 = std::min(nx, i0 + kBlock);
            for (std::size_t k = 0; k < nz; ++k) {
                const float* row = file.data() + (k * ny + j) * nx;
                for (std::size_t i = i0; i < i1; ++i) values_[(i * ny + j) * nz + k] = row[i];
            }
        }
    }
}

float MniImage::atMni(const Point& mni) const {
    std::int64_t ijk[3];
    for (int r = 0; r < 3; ++r) {
        const double index = inverse_[r][0] * mni[0] + inverse_[r][1] * mni[1] +
                             inverse_[r][2] * mni[2] + inverse_[r][3];
        const double nearest = std::floor(index + 0.5);
        if (!(nearest >= 0 && nearest < static_cast<double>(grid_.dims[r]))) return 0.0f;
        ijk[r] = static_cast<std::int64_t>(nearest);
    }
    return values_[static_cast<std::size_t>((ijk[0] * grid_.dims[1] + ijk[1]) * grid_.dims[2] +
                                            ijk[2])];
}

}  // namespace voikit
