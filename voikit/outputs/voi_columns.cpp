#include "voikit/outputs/voi_columns.h"

#include <fmt/format.h>

#include "voikit/io/width_in_bytes.h"

namespace voikit {
namespace {

constexpr const char* kColumns = "{:>5}  {:<} {:<11} {:>9}";

}  // namespace

std::string voiColumns(std::size_t number, std::string_view name, const std::int32_t (&color)[3],
                       long long voxels, std::size_t nameWidth) {
    return fmt::format(kColumns, number, InBytes{name, nameWidth},
                       fmt::format("{} {} {}", color[0], color[1], color[2]), voxels);
}

std::string voiColumnsHeading(std::size_t nameWidth) {
    return fmt::format(kColumns, "#", InBytes{"name", nameWidth}, "colour", "voxels");
}

}  // namespace voikit
