#include "voikit/outputs/voi_columns.h"

#include <fmt/format.h>

#include "voikit/io/width_in_bytes.h"

namespace voikit {
namespace {

constexpr const char* kColumns = "{:>5}  {:<25} {:<11} {:>9}";

}  // namespace

std::string voiColumns(std::size_t number, std::string_view name, const std::int32_t (&color)[3],
                       long long voxels) {
    return fmt::format(kColumns, number, InBytes{name},
                       fmt::format("{} {} {}", color[0], color[1], color[2]), voxels);
}

std::string voiColumnsHeading() {
    return fmt::format(kColumns, "#", InBytes{"name"}, "colour", "voxels");
}

}  // namespace voikit
