#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace voikit {

// The columns that open each VOI's row in the info and in the report: its number, name, colour
// and voxel count, widths counted in bytes. No line break.
std::string voiColumns(std::size_t number, std::string_view name, const std::int32_t (&color)[3],
                       long long voxels);

// The heading over them.
std::string voiColumnsHeading();

}  // namespace voikit
