#pragma once

#include <array>
#include <optional>
#include <string>

#include "coordlist/stream_fields.h"
#include "voikit/space/coordinate_space.h"

namespace voikit {

// The radius of a row that gives none, when no other is asked for.
constexpr double kDefaultRadius = 6.0;

// A peak as the plug-in's list line, made and judged by the clean-up's own rules.
struct ListVoi {
    bool kept = false;
    std::string line;               // the cleaned list line, when kept
    glomera::VoiLineValues values;  // as the plug-in reads the line
    std::string notes;              // "; radius 25 mm taken as 20.0" and the like
    std::string reason;             // why it is not kept
};

// What a peak brings besides its centre, and what the user asked for rows that bring less.
struct VoiLooks {
    std::optional<double> radius;
    std::optional<std::array<double, 3>> colour;
    std::optional<double> defaultRadius;
    std::optional<std::array<int, 3>> defaultColour;
};

// The VOI numbered `index` (from 1) at the TAL centre: named (blanks and the clean-up's
// delimiters made underscores, cut to 255 bytes; "VOI_n" without a name), with its radius
// (clamped to 0.5..20 mm with a note) and colour (the row's, the user's, else a palette
// that gives each VOI its own); kept when the clean-up keeps its line with the same values.
ListVoi makeListVoi(int index, const std::string& name, const Point& tal, const VoiLooks& looks);

}  // namespace voikit
