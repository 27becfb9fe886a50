#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace voikit {

// What separates the cells of a table's lines.
enum class Delimiter { kBlanks, kTab, kSemicolon, kComma };

// The delimiter a header line uses: tabs, else semicolons, else commas (two or more of
// them), else blanks.
Delimiter delimiterOf(const std::string& line);

// "tab", "semicolon", ...
const char* delimiterName(Delimiter delimiter);

// The cells of a line split at the delimiter, empty ones included and each trimmed of
// blanks; a cell in double quotes may hold the delimiter ("Gyrus, left"). With kBlanks, one
// cell per run of non-blank characters.
std::vector<std::string> splitCells(const std::string& line, Delimiter delimiter);

// A cell as splitCells gives it, with where its text stands in the line: [begin, end). A
// quoted cell's span is its text inside the quotes.
struct Cell {
    std::string text;
    std::size_t begin = 0;
    std::size_t end = 0;
};
std::vector<Cell> cellSpans(const std::string& line, Delimiter delimiter);

}  // namespace voikit
