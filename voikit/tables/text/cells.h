#pragma once

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

}  // namespace voikit
