#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace voikit {

// The name column's width when the names are not known in advance (the info streams its rows).
constexpr std::size_t kVoiNameWidth = 25;

// The widest a name column grows to fit the names of a table known in advance; a longer name
// pushes only its own row to the right, so that one name of hundreds of bytes does not push
// every row of the table off the screen.
constexpr std::size_t kWidestVoiNameColumn = 40;

// The columns that open each VOI's row in the info and in the report: its number, name, colour
// and voxel count, widths counted in bytes. A name longer than `nameWidth` pushes the rest of
// its row to the right, so a table whose names are all known is given its longest name's
// width. No line break.
std::string voiColumns(std::size_t number, std::string_view name, const std::int32_t (&color)[3],
                       long long voxels, std::size_t nameWidth = kVoiNameWidth);

// The heading over them.
std::string voiColumnsHeading(std::size_t nameWidth = kVoiNameWidth);

}  // namespace voikit
