#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "voikit/space/coordinate_space.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {

// A peak's coordinates as one group of a table's columns writes them.
struct Writing {
    std::optional<Space> space;  // as the table gives it (a column heading, a Reference line)
    Point point{};               // millimetres: x to the right, y to the front, z up
    std::string text;            // the three as written: "-48 28 4", "44 60 -9 (RAI)"
};

// One peak of a table, or coordinates that could not be taken as one.
struct Peak {
    std::string name;               // as the table names it; empty when it does not
    std::vector<Writing> writings;  // one, or one per space for MNI and Talairach groups
    std::optional<double> radius;
    std::optional<std::array<double, 3>> colour;
    int experiment = 0;   // index into TableReading::experiments
    std::string refused;  // why the coordinates cannot be taken; empty when they can
};

// What one line of a table holds.
struct ReadLine {
    enum Kind { kEmpty, kComment, kHeader, kNoCoordinates, kIgnored, kCoordinates };
    Kind kind = kEmpty;
    std::string account;             // what the line is, for all kinds but kCoordinates
    std::vector<Peak> peaks;         // kCoordinates: the peaks in their order on the line
    std::string note;                // about the whole line: footnote marks stripped, ...
    std::optional<Space> mentioned;  // a space that the line's words name without giving it
};

// A space that the table itself gives to the coordinates after it.
struct SpaceStatement {
    Space space;
    int line = 0;     // from 1
    std::string how;  // "// Reference=MNI", "the column heading \"MNI\""
};

// A group of peaks from one study, as meta-analyses count them.
struct Experiment {
    std::string name;
    std::optional<int> subjects;
};

// A whole table as read by the rules of its layout.
struct TableReading {
    std::string layout;           // "SPM results table", "header table", ...
    std::vector<ReadLine> lines;  // one per input line, in order
    std::vector<Experiment> experiments{Experiment{}};
    std::vector<SpaceStatement> spaces;
    std::vector<std::string> notes;  // about the whole table
};

// The line kinds that every layout shares: empty, or a comment (#, % or //).
std::optional<ReadLine> emptyOrComment(const std::string& line);

// A line that holds no peak; notes the space its words mention.
ReadLine noCoordinates(const std::string& line, const std::string& account = "no coordinates");

// A line refused as a whole, for the reason given.
ReadLine refusedLine(const std::string& reason);

// Three numbers as a writing: the point as given and the text as written.
Writing writingOf(const Token& x, const Token& y, const Token& z, std::optional<Space> space);

// The footnote marks stripped from the line's numbers, as a note ("footnote marks stripped:
// 4ᵃ, 20ᵇ"); empty when there were none.
std::string marksNote(const std::vector<Token>& tokens);

// How many numbers of a line could be coordinates: those outside brackets that are no
// statistic's value ("p = 0.002", "k > 30", "F(1, 23) = 3.41"). A line with fewer than
// three holds no coordinates; with three or more it does, even when they do not line up.
int coordinateCandidates(const std::vector<Token>& tokens);

// Words joined into a name, blanks as underscores; marks and dashes standing alone go.
std::string joinedName(std::vector<Token>::const_iterator begin,
                       std::vector<Token>::const_iterator end);

}  // namespace voikit
