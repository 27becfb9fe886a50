#include "voikit/tables/text/parameter_line.h"

#include <regex>

namespace voikit {

std::string parameterOfLine(const std::string& line) {
    // A parameter's name first, then "=" or ":" before any number.
    static const std::regex kParameter(
        R"(^\s*(FWHM|smoothness|voxel size|volume|search volume|resels?|resel size|height threshold|extent threshold|expected voxels per cluster|expected number of clusters|degrees of freedom|df|DLH|FWE[pc]|FDR[pc]|voxels? per resel|critical threshold)\b[^0-9=:]*[=:])",
        std::regex::icase | std::regex::optimize);
    // Names no brain region bears, as methods tables and acquisition parameters write them,
    // also in a cell of their own before the values' ("Voxel size<TAB>3 3 3 mm") or before
    // the values alone ("Smoothing kernel 8 8 8 mm").
    static const std::regex kNamedParameter(
        R"(^\s*((?:mean |max(?:imum)? )?(?:voxel sizes?|acquisitionvoxelsize|voxel dimensions?|pixdim|zooms|smoothing(?: kernel)?|kernel size|fwhm|spatial resolution|in-plane resolution|resolution|matrix(?: size)?|acquisition matrix|field of view|fov|slice thickness|slice gap|framewise displacement|head motion|translation|rotation|realignment parameters?))\b[^0-9\t=:]*(?:[\t=:]|(?=\s*[-+]?\d)))",
        std::regex::icase | std::regex::optimize);
    std::smatch match;
    if (std::regex_search(line, match, kParameter)) return match[1].str();
    return std::regex_search(line, match, kNamedParameter) ? match[1].str() : std::string();
}

}  // namespace voikit
