#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "voikit/extract/sphere_regions.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/tables/table_import.h"

namespace binding {

// A table of peaks as read, for Python: the import's result, shared by the copies Python
// holds, and where it came from.
struct PeakTable {
    std::string source;  // the file, or "<text>"
    voikit::MniToTal transform = voikit::MniToTal::kSpm;
    std::shared_ptr<const voikit::ImportResult> result;
};

// The spheres of a Table, of a list of Sphere, or of points (N x 3 millimetres in `space`):
// each peak as `glomera-voi extract --peaks` makes it, its centre as written in the space it
// was written in.
std::vector<voikit::Sphere> spheresOf(const pybind11::handle& source,
                                      const std::optional<double>& radius,
                                      const pybind11::object& space,
                                      const std::optional<std::vector<std::string>>& names);

}  // namespace binding
