#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "voikit/space/coordinate_space.h"

namespace voikit {

// How to read a pasted table of coordinates.
struct ImportSettings {
    Space space = Space::kTal;
    MniToTal transform = MniToTal::kSpm;
    std::optional<double> radius;              // for rows without one; else kDefaultRadius
    std::optional<std::array<int, 3>> colour;  // for rows without one; else the palette
    std::size_t listLimit = 0;                 // the most bytes the list may take; 0: no limit
};

// The radius of a row that gives none, when no other is asked for.
constexpr double kDefaultRadius = 6.0;

// What became of one line of the table.
struct ImportedLine {
    enum Kind {
        kVoi,            // became a VOI
        kDropped,        // held coordinates but was refused; `reason` says why
        kHeader,         // named the columns
        kEmpty,          // nothing on it
        kComment,        // began with #, % or //
        kNoCoordinates,  // text without three coordinates
    };
    int number = 0;  // from 1
    Kind kind = kEmpty;
    std::string account;  // one line for people: what it became, or why it was dropped
};

struct ImportResult {
    std::string encoding;
    std::vector<ImportedLine> lines;  // one per input line, in order
    std::string list;                 // the plug-in's list: one cleaned line per VOI
    int vois = 0;
    int dropped = 0;  // coordinate lines refused

    // True when every coordinate line became a VOI and there was at least one.
    bool complete() const { return dropped == 0 && vois > 0; }
    // "6 VOIs from 12 lines; 1 coordinate line dropped" and the like.
    std::string summary() const;
};

// Reads a table as people paste it from papers (any of the encodings, line ends, signs,
// spaces and layouts readPastedText and plainLine take) and makes one line of the plug-in's
// list format per VOI, in TAL coordinates. Columns come from a header row when there is one
// (x, y, z; optional name/region, radius, r g b or colour; other columns are ignored), else
// from the first three numbers of a line; the words before the numbers name the VOI. Every
// list line it makes is one the plug-in's clean-up keeps with the same values; a line whose
// centre falls outside the accepted box is dropped with the coordinate named.
ImportResult importTable(std::string_view bytes, const ImportSettings& settings);

}  // namespace voikit
