#include "voikit/tables/text/cell_number.h"

#include <algorithm>

#include "common/strict_number.h"
#include "voikit/io/utf8.h"

namespace voikit {

bool isFootnoteMark(char32_t c) {
    const bool superscript = c == 0xB2 || c == 0xB3 || c == 0xB9 || (c >= 0x2070 && c <= 0x209F) ||
                             (c >= 0x1D2C && c <= 0x1D6A) || (c >= 0x1D9B && c <= 0x1DBF) ||
                             (c >= 0x2B0 && c <= 0x2B8);
    const bool symbol = c == '*' || c == 0x2020 || c == 0x2021 || c == 0xA7 || c == 0xB6 ||
                        c == 0x2016 || c == 0x204E || c == 0x2051 || c == 0x2217;
    return superscript || symbol;
}

std::size_t endBeforeFootnoteMarks(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0) {
        std::size_t start = end - 1;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        std::size_t at = start;
        if (!isFootnoteMark(nextCodePoint(text, at))) break;
        end = start;
    }
    return end;
}

std::optional<CellNumber> cellNumber(std::string_view text, bool decimalComma, bool letterMark) {
    // The marks run from the last digit to the end.
    std::size_t end = endBeforeFootnoteMarks(text);
    if (letterMark && end == text.size() && end >= 2 && text[end - 1] >= 'a' &&
        text[end - 1] <= 'h' && text[end - 2] >= '0' && text[end - 2] <= '9') {
        --end;
    }
    if (end == 0 || text[end - 1] < '0' || text[end - 1] > '9') return std::nullopt;
    std::string digits(text.substr(0, end));
    if (decimalComma && digits.find('.') == std::string::npos) {
        std::replace(digits.begin(), digits.end(), ',', '.');
    }
    const std::optional<double> value = glomera::parseFiniteNumber(digits);
    if (!value) return std::nullopt;
    return CellNumber{*value, std::string(text.substr(end))};
}

}  // namespace voikit
