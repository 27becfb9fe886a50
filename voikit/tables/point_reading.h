#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "voikit/space/coordinate_space.h"

namespace voikit {

// A point of a points file as the table importer reads it, in the space it is written in.
struct ReadPoint {
    std::string name;
    Point point{};
    Space space = Space::kTal;
    int line = 0;  // from 1
};

struct PointReading {
    std::vector<ReadPoint> points;
    // Lines whose coordinates could not be taken: "line 4: why", one each.
    std::vector<std::string> refused;
    // Lines that hold numbers but were read as no point (too few numbers, a heading, a
    // caption): "line 3: no coordinates", one each, so that none goes without a word.
    std::vector<std::string> passedOver;
    // How the space was decided: from the file (a heading, a "// Reference=" line, a space
    // column), from --space, or assumed; one line.
    std::string spaceNote;
    // --space against the file's own space, or bytes that are no text: nothing is read.
    std::string error;
};

// Reads a file of points by the importer's reading of tables (any layout it reads), with no
// box: every point is kept where it is written. A heading or a "// Reference=" line gives
// the space; else `space` (--space); else TAL, and the note says it was assumed.
PointReading readPoints(std::string_view bytes, std::optional<Space> space);

}  // namespace voikit
