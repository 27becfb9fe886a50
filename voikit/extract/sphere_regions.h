#pragma once

#include <string>
#include <vector>

#include "voikit/extract/regions.h"
#include "voikit/space/coordinate_space.h"

namespace voikit {

// A sphere given by its centre in a space and its radius in that space's millimetres.
struct Sphere {
    Point centre;
    Space space = Space::kTal;
    double radius = 6.0;
    std::string name;
};

// Spheres made in the millimetres of each image's own space, as the field's sphere maskers
// make them: a cell belongs to a sphere when its centre lies within the radius of the
// sphere's centre, converted into the image's space (MNI and TAL through the grid's
// transform); when no cell's centre does, the one cell nearest to it, if it is on the grid.
class SphereRegions : public Regions {
  public:
    explicit SphereRegions(std::vector<Sphere> spheres);

    const std::vector<std::string>& names() const override { return names_; }
    // Throws Error when the grid's cells are too small to hold a sphere's box (more than
    // 2^27 cells).
    VoiCells cellsOn(const LabelGrid& grid) const override;
    const char* outsideUnit() const override { return "cell"; }

    const std::vector<Sphere>& spheres() const { return spheres_; }

  private:
    std::vector<Sphere> spheres_;
    std::vector<std::string> names_;
};

}  // namespace voikit
