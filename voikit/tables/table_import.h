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

// A cell of an input line and what it was taken for: bytes [begin, end) of the line as
// ImportResult::rawLines holds it.
struct ImportedCell {
    CellRole role = CellRole::kIgnored;
    std::size_t begin = 0;
    std::size_t end = 0;
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
        kIgnored,        // set aside: numbers that are no peak (a footer, a statistic), named
    };
    int number = 0;  // the input line, from 1
    Kind kind = kEmpty;
    std::string account;  // one line for people: what it became, or why it was dropped
    int voi = 0;          // kVoi: the VOI's number, from 1
    // The cells of this peak (x, y, z, its name) and, on a line's first entry, the line's
    // other marked cells (radius, side, space, ...) and its numbers taken for nothing
    // (kIgnored). The entries of one line together mark all of it.
    std::vector<ImportedCell> cells;
};

// "VOI", "dropped", "set aside", "header", "empty", "comment", "no coordinates".
const char* fateName(ImportedLine::Kind kind);

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
    std::string layout;  // the reading that won: "SPM results table", "table", ...
    // Why that reading won, with its figures and the runner-up's (see readTable).
    std::string choice;
    // Every reading proposed, in the fixed order, with its figures, one line each.
    std::vector<std::string> proposals;
    // The input lines as decoded, before any character is made plain: the lines the cells'
    // bytes count in.
    std::vector<std::string> rawLines;
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
    int dropped = 0;        // peaks refused
    int rowsOfNumbers = 0;  // lines holding three or more numbers
    int rowsUnread = 0;     // of them, lines that made no VOI and were not set aside

    // A table with rows of numbers and no VOI: "12 rows of numbers were not read", or "no
    // VOI: 6 rows of numbers, every one set aside as no peak" when each was set aside; empty
    // otherwise.
    std::string unreadRows() const;

    // True when every peak became a VOI and there was at least one.
    bool complete() const { return dropped == 0 && vois > 0; }
    // "6 VOIs from 12 lines; 1 of 7 peaks dropped" and the like.
    std::string summary() const;
};

// Reads a table as people paste it (any of the encodings, line ends, signs and spaces that
// readPastedText and plainLine take) by the reading of its layout that explains it best (see
// readTable) and makes one line of the plug-in's list per peak, in TAL coordinates,
// accounting for every line. Every line that holds three or more numbers ends as a VOI, as
// a drop with its reason, or set aside with its numbers named and why.
// Every list line it makes is one the plug-in's clean-up keeps with the same values; a peak
// whose centre falls outside the accepted box is dropped with the coordinate named.
ImportResult importTable(std::string_view bytes, const ImportSettings& settings);

}  // namespace voikit
