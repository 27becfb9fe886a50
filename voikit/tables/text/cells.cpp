#include "voikit/tables/text/cells.h"

#include <algorithm>

namespace voikit {
namespace {

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

}  // namespace

Delimiter delimiterOf(const std::string& line) {
    if (line.find('\t') != std::string::npos) return Delimiter::kTab;
    if (line.find(';') != std::string::npos) return Delimiter::kSemicolon;
    if (std::count(line.begin(), line.end(), ',') >= 2) return Delimiter::kComma;
    return Delimiter::kBlanks;
}

const char* delimiterName(Delimiter delimiter) {
    switch (delimiter) {
        case Delimiter::kTab:
            return "tab";
        case Delimiter::kSemicolon:
            return "semicolon";
        case Delimiter::kComma:
            return "comma";
        case Delimiter::kBlanks:
            break;
    }
    return "blank";
}

std::vector<std::string> splitCells(const std::string& line, Delimiter delimiter) {
    std::vector<std::string> cells;
    if (delimiter == Delimiter::kBlanks) {
        std::string cell;
        for (char c : line + ' ') {
            if (c != ' ' && c != '\t') {
                cell += c;
            } else if (!cell.empty()) {
                cells.push_back(cell);
                cell.clear();
            }
        }
        return cells;
    }
    const char separator = delimiter == Delimiter::kTab         ? '\t'
                           : delimiter == Delimiter::kSemicolon ? ';'
                                                                : ',';
    std::string cell;
    bool quoted = false;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"' && (quoted || trimmed(cell).empty())) {
            // "" inside quotes is one quote.
            if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                cell += '"';
                ++at;
            } else {
                quoted = !quoted;
                if (quoted) cell.clear();
            }
        } else if (c == separator && !quoted) {
            cells.push_back(trimmed(cell));
            cell.clear();
        } else {
            cell += c;
        }
    }
    cells.push_back(trimmed(cell));
    return cells;
}

}  // namespace voikit
