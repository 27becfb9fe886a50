#pragma once

#include <string>
#include <vector>

#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// How well one reading explains a file's rows of numbers: the figures by which readings
// compete, best first.
struct ReadingScore {
    int rows = 0;                // lines holding three or more numbers
    int explained = 0;           // of them, read as peaks or set aside by the layout's rules
    int unexplainedNumbers = 0;  // the numbers on the rows not explained
    int contradictions = 0;      // peaks no brain holds (a count or a statistic taken for x)
};

// One reader's reading of the whole file and its score.
struct Proposal {
    std::string reader;  // "SPM results table", "table", ...
    TableReading reading;
    ReadingScore score;
};

// The lines that hold three or more numbers, as readings are scored by: any numbers, in
// brackets or not ("F(1, 23) = 3.41" is one), since each must end as a peak, a refusal or a
// line set aside with its reason.
int numbersOnLine(const std::string& line);

// What the reading makes of the lines: its score against them.
ReadingScore scoreReading(const std::vector<std::string>& lines, const TableReading& reading);

// Reads the plain lines of a table (see plainLine). Every reader whose layout the file may be
// in proposes a reading of the whole file: a GingerALE/Sleuth foci file, an AFNI 3dclust
// report, an FSL cluster table, an SPM results table, a NiMARE dataset, and the table as
// papers print it (column headers, rows, free lines and prose) always. The reading that
// explains the most rows of numbers wins, then the one that leaves the fewest numbers
// unexplained, then the one with the fewest contradictions, then the first in that order.
// The winner's `choice` says why; `proposals` holds every reading's figures.
TableReading readTable(const std::vector<std::string>& lines,
                       std::vector<Proposal>* proposals = nullptr);

}  // namespace voikit
