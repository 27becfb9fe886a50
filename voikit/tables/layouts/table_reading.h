#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "voikit/space/coordinate_space.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {

// Bytes [begin, end) of a line; empty when begin == end.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool empty() const { return begin >= end; }
};

// What a cell of a line was taken for.
enum class CellRole { kX, kY, kZ, kName, kRadius, kSide, kSpace, kCount, kStatistic, kIgnored };

// "x", "name", "count", ...: the role's name as the account and the review page give it.
const char* cellRoleName(CellRole role);

struct MarkedCell {
    CellRole role = CellRole::kIgnored;
    Span span;  // in the plain line the reader read (the importer moves it to the raw line)
};

// A peak's coordinates as one group of a table's columns writes them.
struct Writing {
    std::optional<Space> space;  // as the table gives it (a column heading, a Reference line)
    Point point{};               // millimetres: x to the right, y to the front, z up
    std::string text;            // the three as written: "-48 28 4", "44 60 -9 (RAI)"
    std::array<Span, 3> spans;   // where x, y and z stand in the line
};

// One peak of a table, or coordinates that could not be taken as one.
struct Peak {
    std::string name;               // as the table names it; empty when it does not
    std::vector<Writing> writings;  // one, or one per space for MNI and Talairach groups
    std::optional<double> radius;
    std::optional<std::array<double, 3>> colour;
    int experiment = 0;           // index into TableReading::experiments
    std::string refused;          // why the coordinates cannot be taken; empty when they can
    std::vector<Span> nameSpans;  // the words of the line its name was made of
};

// What one line of a table holds.
struct ReadLine {
    enum Kind { kEmpty, kComment, kHeader, kNoCoordinates, kIgnored, kCoordinates };
    Kind kind = kEmpty;
    std::string account;             // what the line is, for all kinds but kCoordinates
    std::vector<Peak> peaks;         // kCoordinates: the peaks in their order on the line
    std::string note;                // about the whole line: footnote marks stripped, ...
    std::optional<Space> mentioned;  // a space that the line's words name without giving it
    std::optional<Space> stated;     // the space the line says the coordinates are in
    std::string reversedAxes;        // "RAI" or "LPS", where the line gives that axis order
    std::vector<MarkedCell> cells;   // cells with a role besides the peaks' x, y, z and names
    // How many of the line's numbers the layout places in columns it names (all of them, in
    // a row of a program's table whose header names every column); -1: those of the peaks'
    // x, y, z and the marked cells.
    int placed = -1;
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
    // Which reading of the file won over the others, and why (see readTable).
    std::string choice;
};

// The line kinds that every layout shares: empty, or a comment (#, % or //).
std::optional<ReadLine> emptyOrComment(const std::string& line);

// A line that holds no peak; notes the space its words mention.
ReadLine noCoordinates(const std::string& line, const std::string& account = "no coordinates");

// A line refused as a whole, for the reason given.
ReadLine refusedLine(const std::string& reason);

// Three numbers as a writing: the point as given, the text as written and where they stand.
Writing writingOf(const Token& x, const Token& y, const Token& z, std::optional<Space> space);

// The spans of the tokens from `begin` to `end`, words only (as joinedName takes them).
std::vector<Span> wordSpans(std::vector<Token>::const_iterator begin,
                            std::vector<Token>::const_iterator end);

// Tokens cut from a cell that starts at `offset` in its line, moved to the line's bytes.
std::vector<Token> shifted(std::vector<Token> tokens, std::size_t offset);

// The footnote marks stripped from the line's numbers, as a note ("footnote marks stripped:
// 4ᵃ, 20ᵇ"); empty when there were none.
std::string marksNote(const std::vector<Token>& tokens);

// How many numbers of a line could be coordinates: those outside brackets that are no
// statistic's value ("p = 0.002", "k > 30", "F(1, 23) = 3.41"). A line with fewer than
// three holds no coordinates; with three or more it does, even when they do not line up.
int coordinateCandidates(const std::vector<Token>& tokens);

// Numbers that belong to the name before them ("Area 6", "BA 44", "Crus 1", "lobule 6")
// made words, so that no run of coordinates takes them.
void keepNamesNumbers(std::vector<Token>& tokens);

// Words joined into a name, blanks as underscores; marks and dashes standing alone go.
std::string joinedName(std::vector<Token>::const_iterator begin,
                       std::vector<Token>::const_iterator end);

}  // namespace voikit
