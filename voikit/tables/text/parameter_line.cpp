#include "voikit/tables/text/parameter_line.h"

#include <regex>

namespace voikit {

std::string parameterOfLine(const std::string& line) {
    // A parameter's name first, then "=" or ":" before any number.
    static const std::regex kParameter(
        R"(^\s*(FWHM|smoothness|voxel size|volume|search volume|resels?|resel size|height threshold|extent threshold|expected voxels per cluster|expected number of clusters|degrees of freedom|df|DLH|FWE[pc]|FDR[pc]|voxels? per resel|critical threshold)\b[^0-9=:]*[=:])",
        std::regex::icase | std::regex::optimize);
    std::smatch match;
    return std::regex_search(line, match, kParameter) ? match[1].str() : std::string();
}

}  // namespace voikit
