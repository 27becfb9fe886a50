#include "voikit/extract/cell_mask.h"

#include <cmath>
#include <numeric>

#include "voikit/extract/image_series.h"
#include "voikit/io/error.h"
#include "voikit/space/nifti_file.h"

namespace voikit {

CellMask::CellMask(const std::string& path, double threshold, std::optional<Space> declared,
                   MniToTal transform)
    : path_(path) {
    ImageSeries image(path);
    grid_ = gridOfHeader(path, image.header(), declared, transform);
    if (!invertAffine(grid_.affine, inverse_)) {
        throw Error(path + ": the mask's transform cannot be inverted");
    }
    image.readVolume();
    std::vector<std::int64_t> all(static_cast<std::size_t>(grid_.cells()));
    std::iota(all.begin(), all.end(), 0);
    std::vector<double> values(all.size());
    image.values(all.data(), all.size(), values.data());
    in_.resize(values.size());
    for (std::size_t c = 0; c < values.size(); ++c) in_[c] = values[c] > threshold ? 1 : 0;
}

std::vector<std::int64_t> CellMask::inside(const LabelGrid& grid,
                                           const std::vector<std::int64_t>& cells) const {
    std::vector<std::int64_t> out;
    for (const std::int64_t cell : cells) {
        const std::int64_t index[3] = {cell % grid.dims[0], cell / grid.dims[0] % grid.dims[1],
                                       cell / grid.dims[0] / grid.dims[1]};
        Point mm{};
        for (int r = 0; r < 3; ++r) {
            mm[r] = grid.affine[r][3];
            for (int c = 0; c < 3; ++c) mm[r] += grid.affine[r][c] * static_cast<double>(index[c]);
        }
        if (grid.space != grid_.space) {
            mm = grid_.space == Space::kMni ? talToMni(mm, grid_.transform)
                                            : mniToTal(mm, grid_.transform);
        }
        std::int64_t at[3];
        bool on = true;
        for (int a = 0; a < 3; ++a) {
            const double v = inverse_[a][0] * mm[0] + inverse_[a][1] * mm[1] +
                             inverse_[a][2] * mm[2] + inverse_[a][3];
            const double nearest = std::floor(v + 0.5);
            on = on && nearest >= 0 && nearest < static_cast<double>(grid_.dims[a]);
            at[a] = on ? static_cast<std::int64_t>(nearest) : 0;
        }
        if (on && in_[static_cast<std::size_t>((at[2] * grid_.dims[1] + at[1]) * grid_.dims[0] +
                                               at[0])] != 0) {
            out.push_back(cell);
        }
    }
    return out;
}

}  // namespace voikit
