#include "voikit/tables/text/pasted_text.h"

#include <set>

#include "voikit/io/utf8.h"

namespace voikit {
namespace {

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    const auto unit = [&](std::size_t at) {
        const auto a = static_cast<unsigned char>(bytes[at]);
        const auto b = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        char32_t code = unit(at);
        if (code >= 0xD800 && code <= 0xDBFF && at + 3 < bytes.size()) {
            const char32_t low = unit(at + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                at += 2;
            }
        }
        // A lone surrogate is no character: the replacement character marks it.
        if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;
        appendUtf8(out, code);
    }
    return out;
}

// UTF-16 without a byte-order mark shows as text whose every other byte is zero.
int unmarkedUtf16(std::string_view bytes) {
    if (bytes.size() < 4) return 0;
    std::size_t zeroEven = 0, zeroOdd = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0') ++(i % 2 == 0 ? zeroEven : zeroOdd);
    }
    const std::size_t half = bytes.size() / 2;
    if (zeroOdd * 10 >= half * 9 && zeroEven == 0) return 1;  // little-endian
    if (zeroEven * 10 >= half * 9 && zeroOdd == 0) return 2;  // big-endian
    return 0;
}

bool isDash(char32_t c) {
    return (c >= 0x2010 && c <= 0x2015) || c == 0x2212 || c == 0xFE58 || c == 0xFE63 || c == 0xFF0D;
}

// Characters that PDF copies leave for a minus sign before digits: the Symbol font's minus
// (a private-use code), the heavy minus sign and the modifier letter minus sign. Elsewhere
// they stay as written.
bool isMinusBeforeDigits(char32_t c) { return c == 0xF02D || c == 0x2796 || c == 0x02D7; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The ASCII form of the full-width characters that East Asian text writes numbers and their
// punctuation with: digits, brackets, comma, full stop, colon, semicolon and plus; 0 for any
// other character (the full-width minus is a dash).
char fullWidth(char32_t c) {
    if (c >= 0xFF10 && c <= 0xFF19) return static_cast<char>('0' + (c - 0xFF10));
    switch (c) {
        case 0xFF08:
            return '(';
        case 0xFF09:
            return ')';
        case 0xFF0B:
            return '+';
        case 0xFF0C:
            return ',';
        case 0xFF0E:
            return '.';
        case 0xFF1A:
            return ':';
        case 0xFF1B:
            return ';';
        default:
            return 0;
    }
}

bool isSpace(char32_t c) {
    return c == '\v' || c == '\f' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

bool isInvisible(char32_t c) {
    return c == 0x200B || c == 0x200C || c == 0x200D || c == 0x2060 || c == 0xFEFF;
}

bool isQuote(char32_t c) { return (c >= 0x2018 && c <= 0x201F) || c == 0x2032 || c == 0x2033; }

// Characters that text does not hold: C0 and C1 controls but for tabs, line and page ends,
// and the replacement character that marks what could not be decoded.
bool isControl(char32_t c) {
    if (c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') return false;
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFD;
}

// "1,234,567"
std::string grouped(std::size_t number) {
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), ",");
    }
    return digits;
}

// Control characters that a text may hold by accident (a stray byte pasted along).
constexpr std::size_t kFewControls = 10;

// Why decoded text is no text; empty when it is.
std::string judgeText(std::string_view text) {
    std::size_t characters = 0, controls = 0;
    for (std::size_t at = 0; at < text.size(); ++characters) {
        controls += isControl(nextCodePoint(text, at)) ? 1 : 0;
    }
    if (controls * 100 <= characters || controls < kFewControls) return std::string();
    return "not text: " + grouped(controls) + " of its " + grouped(characters) +
           " characters are control characters, as in binary files; a table is text (UTF-8, "
           "UTF-16 or Windows-1252)";
}

// Where a line's thin and narrow no-break spaces (U+2009, U+202F) part a number's digits in
// groups of three, as typesetting writes thousands ("1 811", "2 304.5"): the bytes of each;
// none when any of them stands elsewhere, since the line then parts its cells with them.
std::set<std::size_t> thousandsSpaces(std::string_view line) {
    std::set<std::size_t> found;
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t start = at;
        const char32_t c = nextCodePoint(line, at);
        if (c != 0x2009 && c != 0x202F) continue;
        std::size_t first = start;
        while (first > 0 && isDigit(line[first - 1])) --first;
        std::size_t last = at;
        while (last < line.size() && isDigit(line[last])) ++last;
        const bool digitsBefore =
            start - first >= 1 && start - first <= 3 &&
            (first == 0 || (line[first - 1] != '.' && line[first - 1] != ','));
        if (!digitsBefore || last - at != 3) return {};
        found.insert(start);
    }
    return found;
}

}  // namespace

PastedText readPastedText(std::string_view bytes) {
    PastedText result;
    std::string text;
    const auto startsWith = [&](std::string_view mark) {
        return bytes.substr(0, mark.size()) == mark;
    };
    if (startsWith("\xEF\xBB\xBF")) {
        result.encoding = "UTF-8 with byte-order mark";
        text = asUtf8(bytes.substr(3));
    } else if (startsWith("\xFF\xFE")) {
        result.encoding = "UTF-16 LE";
        text = decodeUtf16(bytes.substr(2), false);
    } else if (startsWith("\xFE\xFF")) {
        result.encoding = "UTF-16 BE";
        text = decodeUtf16(bytes.substr(2), true);
    } else if (const int unmarked = unmarkedUtf16(bytes)) {
        result.encoding = unmarked == 1 ? "UTF-16 LE without byte-order mark"
                                        : "UTF-16 BE without byte-order mark";
        text = decodeUtf16(bytes, unmarked == 2);
    } else {
        result.encoding = isValidUtf8(bytes) ? "UTF-8" : "Windows-1252";
        text = asUtf8(bytes);
    }
    result.notText = judgeText(text);
    if (!result.notText.empty()) return result;
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\n' && text[at] != '\r') continue;
        result.lines.push_back(text.substr(start, at - start));
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
        start = at + 1;
    }
    if (start < text.size()) result.lines.push_back(text.substr(start));
    return result;
}

std::string plainLine(std::string_view line, std::vector<std::size_t>* from) {
    std::string out;
    out.reserve(line.size());
    if (from) from->clear();
    const bool tabbed = line.find('\t') != std::string_view::npos;
    const std::set<std::size_t> inNumbers = thousandsSpaces(line);
    const auto emit = [&](char c, std::size_t source) {
        out += c;
        if (from) from->push_back(source);
    };
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t start = at;
        const char32_t c = nextCodePoint(line, at);
        if (inNumbers.count(start) != 0) continue;  // "1 811" is 1811
        if (isSpace(c) || (c < 0x20 && c != '\t' && c != '\0')) {
            // A run of document spaces between cells of a tabbed line parts them as a tab does.
            std::size_t next = at;
            int run = 1;
            while (tabbed && next < line.size()) {
                std::size_t peek = next;
                const char32_t d = nextCodePoint(line, peek);
                if (!(isSpace(d) || d == ' ')) break;
                next = peek;
                ++run;
            }
            if (tabbed && run >= 2 && c != ' ') {
                // Beside a tab or at either end of the line, the run only pads a cell.
                const bool padding =
                    out.empty() || out.back() == '\t' || next >= line.size() || line[next] == '\t';
                if (!padding) emit('\t', start);
                at = next;
            } else {
                emit(' ', start);
            }
        } else if (isDash(c)) {
            emit('-', start);
            // A minus sign set apart from its digits, as PDF copies leave it: "− 48".
            std::size_t next = at;
            while (c == 0x2212 && next < line.size() && line[next] == ' ') ++next;
            if (next > at && next < line.size() && line[next] >= '0' && line[next] <= '9') {
                at = next;
            }
        } else if (isMinusBeforeDigits(c) && at < line.size() &&
                   (isDigit(line[at]) ||
                    (line[at] == '.' && at + 1 < line.size() && isDigit(line[at + 1])))) {
            emit('-', start);
        } else if (const char ascii = fullWidth(c)) {
            emit(ascii, start);
        } else if (isQuote(c)) {
            emit('"', start);
        } else if (!isInvisible(c) && c != '\0') {
            const std::size_t before = out.size();
            appendUtf8(out, c);
            if (from) from->insert(from->end(), out.size() - before, start);
        }
    }
    if (from) from->push_back(line.size());
    return out;
}

}  // namespace voikit
