#pragma once

#include <string>

namespace voikit {

// The name of the analysis parameter a line states, as the footers of SPM, FSL and AFNI tables
// and methods sections write them ("FWHM = 9.3 9.6 9.1 {mm}", "Voxel size: 2 2 2 mm",
// "Search volume: 1771 resels"); "" when the line states none. Such a line's numbers are the
// parameter's, never a peak's, wherever in a table it stands.
std::string parameterOfLine(const std::string& line);

}  // namespace voikit
