#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "voikit/outputs/label_grid.h"

namespace voikit {

// A brain mask or a probability map (its first volume) on any grid, pulled to other grids
// as the label volume is: a cell is inside when the mask's cell nearest to its centre, taken
// into the mask's space, holds a value above the threshold. Cells whose centre falls off the
// mask's grid, and NaN values, are outside.
class CellMask {
  public:
    // Throws Error naming the file when it cannot be read or has no usable grid.
    CellMask(const std::string& path, double threshold, std::optional<Space> declared,
             MniToTal transform);

    const std::string& path() const { return path_; }
    // The cells (indices on `grid`, i fastest) that are inside, in their order.
    std::vector<std::int64_t> inside(const LabelGrid& grid,
                                     const std::vector<std::int64_t>& cells) const;

  private:
    std::string path_;
    LabelGrid grid_;
    double inverse_[3][4] = {};
    std::vector<std::uint8_t> in_;  // per cell of the mask's own grid
};

}  // namespace voikit
