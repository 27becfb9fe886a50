#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace voikit {

// One word or number of a line.
struct Token {
    std::string text;              // as written, footnote marks included
    std::optional<double> number;  // its value, when it is a number
    std::string mark;              // the footnote mark stripped from the number
    int field = 0;                 // the tab-separated field it stands in, from 0
    int bracket = 0;               // the bracket group ( ) [ ] { } it stands in, from 1; 0: none
    std::size_t begin = 0;         // its bytes in the line it was cut from: [begin, end)
    std::size_t end = 0;
};

// A line cut into its tokens.
struct Tokens {
    std::vector<Token> tokens;
    int fields = 1;         // tab-separated fields, without empty ones at the end
    std::string ambiguity;  // why the line's numbers cannot be read, if they cannot
};

// The tokens of a plain line (see plainLine). Tabs, blanks, brackets, quotes and ; | = : separate
// them, and so does the change from Latin letters to East Asian ideographs ("MNI坐标" is "MNI"
// and "坐标"); commas too, except that in a line whose fields are otherwise separated, "22,5"
// is 22.5. A line whose numbers could be read either way gets an `ambiguity`. A number keeps its
// place when a footnote mark follows it (see cellNumber); a letter a..h counts as a mark only after
// a sign or another number ("-2a", "28 4b"), so that "Area 4a" stays a name. With
// `thousands`, digits grouped in threes by commas ("1,126", "12,845") are one whole number, as
// a count column writes them, and no decimal comma.
// A number in scientific notation as papers print it, with a times sign and a power of ten
// whose exponent is written after "-", "^" or in superscripts ("3.2 × 10-5", "3.2×10^-5",
// "3.2 x 10⁻⁵"), is one token, as "3.2e-5" is.
Tokens tokenize(const std::string& line, bool thousands = false);

// Digits grouped in threes by commas: "1,126", "12,845,301".
bool groupedThousands(const std::string& text);

// The character that stands right before a number's digits where its sign would, as a PDF copy
// whose font maps the minus sign to another glyph leaves it ("À38"): a Latin letter beyond
// ASCII, a character of a font's private-use area or the replacement character. Empty for any
// other token. Such a token is no number: which sign it stood for is not guessed.
std::string signLookalike(const Token& token);

// The value of "±34": a number after a plus-minus sign, as a peak on each side is written;
// nothing for any other token.
std::optional<double> plusMinus(const Token& token);

// Whether a token can be part of a name: it holds a letter or digit, not only marks and dashes.
bool isWord(const std::string& text);

// Whether a token marks a cell its author left empty: a dash alone ("-", "–", "—"), "n/a",
// "NA", "n.a." or "n.s.".
bool emptyCellMark(const Token& token);

// The tab-separated fields of a line, empty ones included but for those at the end.
std::vector<std::string> tabFields(const std::string& line);

// Lower-case ASCII letters, for matching words.
std::string lowered(std::string text);

}  // namespace voikit
