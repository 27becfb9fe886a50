#pragma once

#include <optional>
#include <string>

#include "voikit/space/coordinate_space.h"

namespace voikit {

// The space a word names, in any case: MNI, MNI152 or ICBM; Talairach, TAL or Tal.
std::optional<Space> spaceWord(const std::string& word);

// The first space that a word of the line names, wherever it stands.
std::optional<Space> mentionedSpace(const std::string& line);

// The space a caption or sentence says the coordinates are given in, in so many words:
// "Coordinates are reported in Talairach space", "MNI coordinates", "peaks in MNI space",
// "(MNI)", or the space they were converted to ("converted from MNI to Talairach space").
// None where the line says nothing of the kind, or names both spaces so.
std::optional<Space> statedSpace(const std::string& line);

// "RAI" or "LPS" where the line names that axis order (x to the left, y to the back), as
// DICOM and AFNI's RAI give coordinates; "" otherwise.
std::string reversedAxesOf(const std::string& line);

}  // namespace voikit
