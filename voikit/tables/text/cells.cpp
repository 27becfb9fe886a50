#include "voikit/tables/text/cells.h"

#include <algorithm>
#include <regex>

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
    // Separators inside brackets part no cells: "MNI (x, y, z)", "[x; y; z]" in a heading
    // split at blanks; nor do the commas of "x, y, z" standing alone in one.
    static const std::regex kAxes(R"(\b[xX]\s*,\s*[yY]\s*,\s*[zZ]\b)");
    std::string text = line;
    for (auto at = std::sregex_iterator(line.begin(), line.end(), kAxes);
         at != std::sregex_iterator(); ++at) {
        std::replace(text.begin() + at->position(), text.begin() + at->position() + at->length(),
                     ',', ' ');
    }
    int depth = 0;
    bool semicolon = false;
    int commas = 0, outside = 0;
    for (const char c : text) {
        if (c == '(' || c == '[') ++depth;
        if ((c == ')' || c == ']') && depth > 0) --depth;
        if (c == ';' && depth == 0) semicolon = true;
        if (c == ',') {
            ++commas;
            outside += depth == 0 ? 1 : 0;
        }
    }
    if (semicolon) return Delimiter::kSemicolon;
    if (commas >= 2 && outside >= 1) return Delimiter::kComma;
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
    for (Cell& cell : cellSpans(line, delimiter)) cells.push_back(std::move(cell.text));
    return cells;
}

std::vector<Cell> cellSpans(const std::string& line, Delimiter delimiter) {
    std::vector<Cell> cells;
    if (delimiter == Delimiter::kBlanks) {
        Cell cell;
        for (std::size_t at = 0; at <= line.size(); ++at) {
            const char c = at < line.size() ? line[at] : ' ';
            if (c != ' ' && c != '\t') {
                if (cell.text.empty()) cell.begin = at;
                cell.text += c;
            } else if (!cell.text.empty()) {
                cell.end = at;
                cells.push_back(cell);
                cell = Cell();
            }
        }
        return cells;
    }
    const char separator = delimiter == Delimiter::kTab         ? '\t'
                           : delimiter == Delimiter::kSemicolon ? ';'
                                                                : ',';
    // The cell's text as collected, and where each of its bytes came from.
    std::string text;
    std::vector<std::size_t> from;
    bool quoted = false;
    const auto close = [&]() {
        const std::size_t first = text.find_first_not_of(' ');
        Cell cell;
        if (first != std::string::npos) {
            const std::size_t last = text.find_last_not_of(' ');
            cell.text = text.substr(first, last + 1 - first);
            cell.begin = from[first];
            cell.end = from[last] + 1;
        }
        cells.push_back(cell);
        text.clear();
        from.clear();
    };
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"' && (quoted || trimmed(text).empty())) {
            // "" inside quotes is one quote.
            if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                text += '"';
                from.push_back(at);
                ++at;
            } else {
                quoted = !quoted;
                if (quoted) {
                    text.clear();
                    from.clear();
                }
            }
        } else if (c == separator && !quoted) {
            close();
        } else {
            text += c;
            from.push_back(at);
        }
    }
    close();
    return cells;
}

}  // namespace voikit
