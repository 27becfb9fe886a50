#pragma once

#include <optional>
#include <vector>

#include "voikit/extract/sphere_regions.h"
#include "voikit/tables/table_import.h"

namespace voikit {

// The sphere of each peak an import took, centred where the table wrote it and in the space
// it wrote it in, as the spheres made in each image's own millimetres are; of `radius` when
// given, else of the peak's own.
std::vector<Sphere> peakSpheres(const ImportResult& result,
                                std::optional<double> radius = std::nullopt);

}  // namespace voikit
