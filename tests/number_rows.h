#pragma once
// What every import must account for, defined apart from the importer: a line holding three
// or more numbers that could be coordinates. Shared by the invariant test and the table fuzzer.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace number_rows {

// Whether the UTF-8 sequence at `at` is a character that parts cells: blanks, tabs, the
// spaces documents use, and the punctuation tables set between numbers.
inline std::size_t partingWidth(std::string_view line, std::size_t at) {
    const char c = line[at];
    if (c == ' ' || c == '\t' || c == ';' || c == '|' || c == '(' || c == ')' || c == '[' ||
        c == ']' || c == '{' || c == '}' || c == '=' || c == ':' || c == '"' || c == '\'') {
        return 1;
    }
    const std::string_view rest = line.substr(at);
    // U+00A0 no-break space, U+2009 thin space, U+202F narrow no-break space.
    for (std::string_view space : {"\xC2\xA0", "\xE2\x80\x89", "\xE2\x80\xAF"}) {
        if (rest.substr(0, space.size()) == space) return space.size();
    }
    return 0;
}

// "-48", "28", "4.5", "−30" (U+2212): a sign, one to three digits and a fraction, within
// 150 mm of the origin.
inline bool couldBeCoordinate(std::string_view piece) {
    std::size_t at = 0;
    if (piece.substr(0, 1) == "-") {
        at = 1;
    } else if (piece.substr(0, 3) == "\xE2\x88\x92" || piece.substr(0, 3) == "\xE2\x80\x93") {
        at = 3;
    }
    std::size_t digits = 0;
    double whole = 0;
    while (at < piece.size() && piece[at] >= '0' && piece[at] <= '9') {
        whole = whole * 10 + (piece[at++] - '0');
        ++digits;
    }
    if (digits == 0 || digits > 3 || whole > 150) return false;
    if (at == piece.size()) return true;
    if (piece[at] != '.' || at + 1 == piece.size()) return false;
    for (++at; at < piece.size(); ++at) {
        if (piece[at] < '0' || piece[at] > '9') return false;
    }
    return true;
}

// The numbers of a line that could be coordinates; a comma parts them unless digits stand
// on both sides of it ("22,5" may be one number).
inline std::vector<std::string> coordinateNumbers(std::string_view line) {
    std::vector<std::string> found;
    std::string piece;
    const auto flush = [&]() {
        if (couldBeCoordinate(piece)) found.push_back(piece);
        piece.clear();
    };
    for (std::size_t at = 0; at < line.size();) {
        // Markup is no text: an HTML tag's attributes hold no coordinates.
        if (line[at] == '<') {
            const std::size_t close = line.find('>', at);
            if (close != std::string_view::npos) {
                flush();
                at = close + 1;
                continue;
            }
        }
        if (const std::size_t width = partingWidth(line, at)) {
            flush();
            at += width;
            continue;
        }
        const bool digitBefore = at > 0 && line[at - 1] >= '0' && line[at - 1] <= '9';
        const bool digitAfter = at + 1 < line.size() && line[at + 1] >= '0' && line[at + 1] <= '9';
        if (line[at] == ',' && !(digitBefore && digitAfter)) {
            flush();
            ++at;
            continue;
        }
        piece += line[at++];
    }
    flush();
    return found;
}

inline bool isRowOfNumbers(std::string_view line) { return coordinateNumbers(line).size() >= 3; }

}  // namespace number_rows
