#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voikit/coordinate_space.h"
#include "voikit/nifti_file.h"

namespace voikit {

// An image in MNI space (a template or an atlas), read whole after its header is checked,
// and looked up by position: the value of the voxel nearest to it.
class MniImage {
  public:
    // Throws Error when the image cannot be read.
    explicit MniImage(const std::string& path);

    // 0 off the image.
    float atMni(const Point& mni) const {
        const std::int64_t index = indexAtMni(mni);
        return index < 0 ? 0.0f : values_[static_cast<std::size_t>(index)];
    }
    // Where in values() the voxel nearest to the position is; -1 off the image.
    std::int64_t indexAtMni(const Point& mni) const;
    float at(const Point& tal, MniToTal transform) const { return atMni(talToMni(tal, transform)); }

    // The same indices for `count` TAL positions up a column: (x, y, from), (x, y, from + 1)
    // and so on. Lancaster's transforms are affine, and so the column is a straight line of
    // steps through the image; Brett's is taken point by point.
    void indicesUpColumn(double x, double y, std::int64_t from, std::size_t count,
                         MniToTal transform, std::int64_t* indices) const;

    // Whether the other image has the same voxels at the same places.
    bool sameGrid(const MniImage& other) const;

    // Every voxel, k fastest.
    const std::vector<float>& values() const { return values_; }
    // The same, handed over by an owner who keeps the values in a form of its own; atMni()
    // then no longer serves.
    std::vector<float> takeValues() { return std::move(values_); }

  private:
    ImageGrid grid_;
    double inverse_[3][4] = {};
    std::vector<float> values_;
};

}  // namespace voikit
