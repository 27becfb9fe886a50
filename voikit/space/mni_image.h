#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voikit/space/coordinate_space.h"
#include "voikit/space/nifti_file.h"

namespace voikit {

// An image in MNI space (a template or an atlas), read whole after its header is checked,
// and looked up by position: the value of the voxel nearest to it.
class MniImage {
  public:
    // What the voxels are read as: numbers, or the whole-number labels of an atlas.
    enum class Holds { kValues, kLabels };

    // Throws Error when the image cannot be read, or, for labels, holds a value that is no
    // label. `xRow`, where given, replaces the x row of the header's transform: for images
    // known to have it wrong.
    explicit MniImage(const std::string& path, Holds holds = Holds::kValues,
                      const double* xRow = nullptr);

    // Where in values() (or labels()) the voxel nearest to the position is; -1 off the image.
    std::int64_t indexAtMni(const Point& mni) const;

    // A position's voxel coordinates (i, j, k), not rounded; and where in values() the voxel
    // (i, j, k) on the image is, and its position.
    Point voxelCoordinates(const Point& mni) const;
    std::int64_t indexOf(std::int64_t i, std::int64_t j, std::int64_t k) const {
        return (i * grid_.dims[1] + j) * grid_.dims[2] + k;
    }
    Point positionOf(std::int64_t i, std::int64_t j, std::int64_t k) const;

    // A bound below the millimetres between two positions whose voxel coordinates differ by
    // d on some axis: d times this.
    double leastStep() const;

    // The same indices for `count` TAL positions up a column: (x, y, from), (x, y, from + 1)
    // and so on. Lancaster's transforms are affine, and so the column is a straight line of
    // steps through the image; Brett's is taken point by point.
    void indicesUpColumn(double x, double y, std::int64_t from, std::size_t count,
                         MniToTal transform, std::int64_t* indices) const;

    // Its voxels' sizes and places in MNI millimetres.
    const ImageGrid& grid() const { return grid_; }

    // Whether the other image has the same voxels at the same places.
    bool sameGrid(const MniImage& other) const;

    // Every voxel, k fastest, as a number; empty for labels.
    const std::vector<float>& values() const { return values_; }
    // For labels: the labels and every voxel's place among them, k fastest, handed over to
    // an owner who keeps them.
    LabelPlaces takeLabels() { return std::move(labels_); }

  private:
    ImageGrid grid_;
    double inverse_[3][4] = {};
    double sizes_[3] = {};  // the grid's dims, as the coordinates are compared with them
    std::vector<float> values_;
    LabelPlaces labels_;
};

}  // namespace voikit
