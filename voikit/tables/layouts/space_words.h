#pragma once

#include <optional>
#include <string>

#include "voikit/space/coordinate_space.h"

namespace voikit {

// The space a word names, in any case: MNI, MNI152 or ICBM; Talairach, TAL or Tal.
std::optional<Space> spaceWord(const std::string& word);

// The first space that a word of the line names, wherever it stands.
std::optional<Space> mentionedSpace(const std::string& line);

}  // namespace voikit
