#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "voikit/space/coordinate_space.h"
#include "voikit/tables/layouts/table_reading.h"
#include "voikit/tables/list_voi.h"

namespace voikit {

// How to read a pasted table of coordinates.
struct ImportSettings {
    // The space the user says the coordinates are in; without it, the table's own (from a
    // "// Reference=" line or a column heading), else TAL.
    std::optional<Space> space;
    MniToTal transform = MniToTal::kSpm;
    std::optional<double> radius;              // for rows without one; else kDefaultRadius
    std::optional<std::array<int, 3>> colour;  // for rows without one; else the palette
    std::size_t listLimit = 0;                 // the most bytes the list may take; 0: no limit
};

// What became of one line of the table, or of one peak on a line that holds several.
struct ImportedLine {
    enum Kind {
        kVoi,            // became a VOI
        kDropped,        // held coordinates but was refused; the account says why
        kHeader,         // named the columns
        kEmpty,          // nothing on it
        kComment,        // began with #, % or //
        kNoCoordinates,  // text without coordinates
        kIgnored,        // numbers that the table's layout says are no peak (a footer)
    };
    int number = 0;  // the input line, from 1
    Kind kind = kEmpty;
    std::string account;  // one line for people: what it became, or why it was dropped
};

// A peak that became a VOI, for what is made of the VOIs besides the list.
struct AcceptedPeak {
    int voi = 0;                  // its number, from 1
    std::string name;             // as in the list
    int experiment = 0;           // index into ImportResult::experiments
    Point tal{};                  // the centre used
    Space written = Space::kTal;  // the space of the coordinates taken
    // The coordinates as written (x right, y front, z up): the ones taken, then those of
    // the table's other column groups in other spaces.
    std::vector<std::pair<Space, Point>> writings;
    glomera::VoiLineValues values;  // as the plug-in reads its line
};

struct ImportResult {
    std::string encoding;
    std::string layout;  // "SPM results table", "table", ...
    // Why the input is no table at all (binary bytes), in one line; nothing else is done.
    std::string notText;
    // A usage error: --space names one space and the table gives another; nothing is done.
    std::string spaceConflict;
    std::vector<ImportedLine>
        lines;  // every input line, in order; one per peak on a line with several
    std::vector<std::string> notes;     // about the table as a whole
    std::vector<std::string> warnings;  // spheres that would overlap
    std::vector<Experiment> experiments;
    std::vector<AcceptedPeak> peaks;  // one per VOI
    std::string list;                 // the plug-in's list: one cleaned line per VOI
    int inputLines = 0;
    int vois = 0;
    int dropped = 0;  // peaks refused

    // True when every peak became a VOI and there was at least one.
    bool complete() const { return dropped == 0 && vois > 0; }
    // "6 VOIs from 12 lines; 1 of 7 peaks dropped" and the like.
    std::string summary() const;
};

// Reads a table as people paste it (any of the encodings, line ends, signs and spaces that
// readPastedText and plainLine take) by the rules of its layout (see readTable) and makes
// one line of the plug-in's list per peak, in TAL coordinates, accounting for every line.
// Every list line it makes is one the plug-in's clean-up keeps with the same values; a peak
// whose centre falls outside the accepted box is dropped with the coordinate named.
ImportResult importTable(std::string_view bytes, const ImportSettings& settings);

}  // namespace voikit
