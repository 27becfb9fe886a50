#include "voikit/tables/text/tokens.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "voikit/io/utf8.h"
#include "voikit/tables/text/cell_number.h"

namespace voikit {
namespace {

bool isSeparator(char c) {
    return c == ' ' || c == ';' || c == '|' || c == '"' || c == '\'' || c == '=' || c == ':';
}

// The ideographs, kana and Hangul of East Asian text.
bool isIdeograph(char32_t c) {
    return (c >= 0x2E80 && c <= 0x2FDF) || (c >= 0x3040 && c <= 0x30FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF);
}

bool opens(char c) { return c == '(' || c == '[' || c == '{'; }
bool closes(char c) { return c == ')' || c == ']' || c == '}'; }

struct Piece {
    std::string text;
    int field = 0;
    int bracket = 0;
    std::size_t begin = 0;  // where the text starts in the line
};

// The pieces between separators, each with its field and bracket group.
std::vector<Piece> pieces(const std::vector<std::string>& fields) {
    std::vector<Piece> out;
    std::vector<int> open;
    int groups = 0;
    std::size_t fieldStart = 0;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        Piece piece;
        std::size_t offset = fieldStart;
        fieldStart += fields[f].size() + 1;
        const auto flush = [&]() {
            if (!piece.text.empty()) out.push_back(piece);
            piece.text.clear();
        };
        bool afterIdeograph = false, afterLetter = false;
        for (std::size_t i = 0; i < fields[f].size(); ++i) {
            const char c = fields[f][i];
            const std::size_t at = offset++;
            // East Asian text writes words without blanks: a Latin word joined to ideographs
            // ("MNI坐标") is a word of its own; digits stay with them ("表2").
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
                std::size_t next = i;
                const bool ideograph = isIdeograph(nextCodePoint(fields[f], next));
                const bool letter = std::isalpha(static_cast<unsigned char>(c)) != 0;
                if (!piece.text.empty() &&
                    ((ideograph && afterLetter) || (letter && afterIdeograph))) {
                    flush();
                }
                afterIdeograph = ideograph;
                afterLetter = letter;
            }
            if (isSeparator(c) || opens(c) || closes(c)) {
                flush();
                if (opens(c)) open.push_back(++groups);
                if (closes(c) && !open.empty()) open.pop_back();
                continue;
            }
            if (piece.text.empty()) {
                piece.begin = at;
                piece.field = static_cast<int>(f);
                piece.bracket = open.empty() ? 0 : open.back();
            }
            piece.text += c;
        }
        flush();
    }
    return out;
}

// "22,5": digits, one comma, digits; a decimal comma if nothing else in the line says the
// comma separates fields.
bool looksLikeDecimalComma(const std::string& token) {
    const std::size_t comma = token.find(',');
    if (comma == std::string::npos || token.find(',', comma + 1) != std::string::npos) return false;
    const std::size_t digitsFrom = token[0] == '-' || token[0] == '+' ? 1 : 0;
    const auto allDigits = [](const std::string& s) {
        return !s.empty() &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return allDigits(token.substr(digitsFrom, comma - digitsFrom)) &&
           allDigits(token.substr(comma + 1));
}

// The parts between commas, each with where it starts in `text`.
std::vector<std::pair<std::string, std::size_t>> splitAtCommas(const std::string& text) {
    std::vector<std::pair<std::string, std::size_t>> parts;
    std::size_t start = 0;
    for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos;
         start = comma + 1) {
        if (comma > start) parts.emplace_back(text.substr(start, comma - start), start);
    }
    if (start < text.size()) parts.emplace_back(text.substr(start), start);
    return parts;
}

// "-46/14/12": x, y and z joined by slashes in one cell, as three parts; anything else
// ("44/45", "L/R") as it is.
std::vector<std::pair<std::string, std::size_t>> slashTriple(const std::string& text,
                                                             bool decimalComma) {
    std::vector<std::pair<std::string, std::size_t>> parts;
    std::size_t start = 0;
    for (std::size_t slash; (slash = text.find('/', start)) != std::string::npos;
         start = slash + 1) {
        parts.emplace_back(text.substr(start, slash - start), start);
    }
    parts.emplace_back(text.substr(start), start);
    const bool three =
        parts.size() == 3 && std::all_of(parts.begin(), parts.end(), [&](const auto& p) {
            return cellNumber(p.first, decimalComma).has_value();
        });
    if (!three) return {{text, 0}};
    return parts;
}

// A sign for "times" between a number's digits and a power of ten: ×, x, X, ·, ⋅.
bool timesSign(std::string_view text) {
    return text == "x" || text == "X" || text == "\u00D7" || text == "\u00B7" || text == "\u22C5";
}

// The exponent of a power of ten as a copy writes it: "10-5" (a superscript minus set on the
// line), "10^-5", "10^5", "10⁻⁵", "10⁵"; "-5", "5", ... for the text after "10", nothing
// for any other text.
std::optional<std::string> tenToThe(std::string_view text) {
    if (text.substr(0, 2) != "10" || text.size() < 3) return std::nullopt;
    std::string_view rest = text.substr(2);
    std::string exponent;
    const auto digitsOnly = [](std::string_view digits) {
        return !digits.empty() && std::all_of(digits.begin(), digits.end(),
                                              [](char c) { return c >= '0' && c <= '9'; });
    };
    if (rest[0] == '-' || rest[0] == '^') {
        const bool caret = rest[0] == '^';
        rest.remove_prefix(1);
        if (caret && !rest.empty() && (rest[0] == '-' || rest[0] == '+')) {
            exponent += rest[0];
            rest.remove_prefix(1);
        } else if (!caret) {
            exponent = "-";
        }
        if (!digitsOnly(rest)) return std::nullopt;
        return exponent + std::string(rest);
    }
    // Superscripts: ⁻ and ⁺, then ⁰ ¹ ² ³ ⁴ ... ⁹.
    for (std::size_t at = 0; at < rest.size();) {
        const char32_t c = nextCodePoint(rest, at);
        if (exponent.empty() && (c == 0x207B || c == 0x207A)) {
            exponent = c == 0x207B ? "-" : "+";
        } else if (c == 0x2070 || (c >= 0x2074 && c <= 0x2079)) {
            exponent += static_cast<char>('0' + (c - 0x2070));
        } else if (c == 0xB9 || c == 0xB2 || c == 0xB3) {
            exponent += c == 0xB9 ? '1' : c == 0xB2 ? '2' : '3';
        } else {
            return std::nullopt;
        }
    }
    if (!digitsOnly(exponent.substr(exponent[0] == '-' || exponent[0] == '+' ? 1 : 0)))
        return std::nullopt;
    return exponent;
}

// A number in scientific notation as papers print it ("3.2 × 10-5", "3.2×10^-5"), from the
// tokens at `i`: its value and how many tokens it takes; nothing when there is none.
std::optional<std::pair<double, std::size_t>> scientific(const std::vector<Token>& tokens,
                                                         std::size_t i) {
    const Token& first = tokens[i];
    // "3.2×10-5" in one token.
    if (!first.number) {
        for (const char* sign : {"\u00D7", "x", "X", "\u00B7", "\u22C5"}) {
            const std::size_t at = first.text.find(sign);
            if (at == std::string::npos || at == 0) continue;
            const auto mantissa = cellNumber(first.text.substr(0, at), false);
            const auto exponent = tenToThe(first.text.substr(at + std::string(sign).size()));
            if (!mantissa || !mantissa->mark.empty() || !exponent) continue;
            const auto value = cellNumber(first.text.substr(0, at) + "e" + *exponent, false);
            if (value) return std::make_pair(value->value, std::size_t{1});
        }
        return std::nullopt;
    }
    if (i + 2 >= tokens.size() || !first.mark.empty() || !timesSign(tokens[i + 1].text) ||
        tokens[i + 1].field != first.field || tokens[i + 2].field != first.field) {
        return std::nullopt;
    }
    const auto exponent = tenToThe(tokens[i + 2].text);
    if (!exponent) return std::nullopt;
    const auto value = cellNumber(first.text + "e" + *exponent, false);
    if (!value) return std::nullopt;
    return std::make_pair(value->value, std::size_t{3});
}

}  // namespace

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isWord(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = nextCodePoint(text, at);
        if (c < 0x80 ? std::isalnum(static_cast<int>(c)) != 0 : !isFootnoteMark(c)) return true;
    }
    return false;
}

std::string signLookalike(const Token& token) {
    if (token.number || token.text.empty() || static_cast<unsigned char>(token.text[0]) < 0x80)
        return std::string();
    std::size_t at = 0;
    const char32_t c = nextCodePoint(token.text, at);
    const bool letter = c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7;
    const bool fontOwn = (c >= 0xE000 && c <= 0xF8FF) || c == 0xFFFD;
    if (!(letter || fontOwn) || at >= token.text.size() || token.text[at] < '0' ||
        token.text[at] > '9' || !cellNumber(token.text.substr(at), false)) {
        return std::string();
    }
    return token.text.substr(0, at);
}

std::optional<double> plusMinus(const Token& token) {
    const std::string sign = "\u00B1";
    if (token.number || token.text.compare(0, sign.size(), sign) != 0) return std::nullopt;
    const std::string rest = token.text.substr(sign.size());
    if (rest.empty() || rest[0] == '-' || rest[0] == '+') return std::nullopt;
    const auto number = cellNumber(rest, false);
    if (!number || !number->mark.empty()) return std::nullopt;
    return number->value;
}

bool emptyCellMark(const Token& token) {
    if (token.number || token.text.empty()) return false;
    const std::string text = lowered(token.text);
    if (text == "n/a" || text == "na" || text == "n.a." || text == "n.s." || text == "ns") {
        return true;
    }
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = nextCodePoint(text, at);
        if (c != '-' && !(c >= 0x2010 && c <= 0x2015) && c != 0x2212) return false;
    }
    return true;
}

std::vector<std::string> tabFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    while (fields.size() > 1 && fields.back().find_first_not_of(' ') == std::string::npos) {
        fields.pop_back();
    }
    return fields;
}

bool groupedThousands(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || comma == 0 || comma > 3) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool separator = i >= comma && (i - comma) % 4 == 0;
        if (separator ? text[i] != ',' : (text[i] < '0' || text[i] > '9')) return false;
    }
    return (text.size() - comma) % 4 == 0;
}

Tokens tokenize(const std::string& line, bool thousands) {
    Tokens out;
    const std::vector<std::string> fields = tabFields(line);
    out.fields = static_cast<int>(fields.size());
    std::vector<Piece> cores;
    bool separatorComma = false;
    for (const Piece& piece : pieces(fields)) {
        // A comma at either end of a piece separates it from the next.
        const std::size_t first = piece.text.find_first_not_of(',');
        if (first == std::string::npos) {
            separatorComma = true;
            continue;
        }
        const std::size_t last = piece.text.find_last_not_of(',');
        separatorComma = separatorComma || first > 0 || last + 1 < piece.text.size();
        cores.push_back({piece.text.substr(first, last + 1 - first), piece.field, piece.bracket,
                         piece.begin + first});
    }
    std::string decimalExample;
    bool fullStopNumber = false;
    for (const Piece& core : cores) {
        if (thousands && groupedThousands(core.text)) continue;
        if (looksLikeDecimalComma(core.text)) {
            if (decimalExample.empty()) decimalExample = core.text;
        } else if (core.text.find(',') != std::string::npos) {
            separatorComma = true;
        } else if (core.text.find('.') != std::string::npos && cellNumber(core.text, false)) {
            fullStopNumber = true;
        }
    }
    const bool decimalCommas = !decimalExample.empty() && !separatorComma && !fullStopNumber;
    if (!decimalExample.empty() && !decimalCommas) {
        out.ambiguity = "ambiguous decimal comma: \"" + decimalExample +
                        "\" may be one number or two, " +
                        (separatorComma ? "since commas also separate fields on this line"
                                        : "since full stops are decimal points on this line");
        return out;
    }
    for (const Piece& core : cores) {
        if (thousands && groupedThousands(core.text)) {
            std::string digits = core.text;
            digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
            out.tokens.push_back({core.text, cellNumber(digits, false)->value, std::string(),
                                  core.field, core.bracket, core.begin,
                                  core.begin + core.text.size()});
            continue;
        }
        std::vector<std::pair<std::string, std::size_t>> parts =
            decimalCommas ? std::vector<std::pair<std::string, std::size_t>>{{core.text, 0}}
                          : splitAtCommas(core.text);
        if (parts.size() == 1) parts = slashTriple(core.text, decimalCommas);
        for (const auto& [part, from] : parts) {
            Token token{part,
                        std::nullopt,
                        std::string(),
                        core.field,
                        core.bracket,
                        core.begin + from,
                        core.begin + from + part.size()};
            if (const auto number = cellNumber(part, decimalCommas)) {
                token.number = number->value;
                token.mark = number->mark;
            }
            out.tokens.push_back(std::move(token));
        }
    }
    // "3.2 × 10-5": one number, as papers print probabilities.
    for (std::size_t i = 0; i < out.tokens.size(); ++i) {
        const auto number = scientific(out.tokens, i);
        if (!number) continue;
        Token& token = out.tokens[i];
        const std::size_t last = i + number->second - 1;
        token.end = out.tokens[last].end;
        token.text = line.substr(token.begin, token.end - token.begin);
        token.number = number->first;
        token.mark.clear();
        out.tokens.erase(out.tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         out.tokens.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    }
    // A plain letter after the digits is a footnote mark where no name can hold the number.
    for (std::size_t i = 0; i < out.tokens.size(); ++i) {
        Token& token = out.tokens[i];
        const bool signedNumber = token.text[0] == '-' || token.text[0] == '+';
        if (token.number || !(signedNumber || (i > 0 && out.tokens[i - 1].number))) continue;
        if (const auto number = cellNumber(token.text, decimalCommas, true)) {
            token.number = number->value;
            token.mark = number->mark;
        }
    }
    return out;
}

}  // namespace voikit
