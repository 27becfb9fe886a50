#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voikit/outputs/label_grid.h"

namespace voikit {

// The cells of each VOI on one grid, each VOI keeping its own: where VOIs overlap, a cell
// belongs to each.
struct VoiCells {
    std::vector<std::vector<std::int64_t>> cells;  // per VOI: ascending indices, i fastest
    std::vector<std::int64_t> outside;   // per VOI: its voxels (or, for a sphere, its centre)
                                         // whose nearest cell is off the grid
    std::vector<std::int64_t> unmasked;  // per VOI with a mask: its cells before masking
};

// The VOIs whose values are taken from images: named, and put on any image's grid.
class Regions {
  public:
    virtual ~Regions() = default;
    virtual const std::vector<std::string>& names() const = 0;
    // Throws Error when they cannot be put on the grid.
    virtual VoiCells cellsOn(const LabelGrid& grid) const = 0;
    // What `outside` counts, for messages, in the singular: "voxel", "cell".
    virtual const char* outsideUnit() const = 0;
};

}  // namespace voikit
