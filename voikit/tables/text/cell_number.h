#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace voikit {

// A number as a table prints it, and the footnote mark that followed it.
struct CellNumber {
    double value = 0.0;
    std::string mark;  // "ᵃ", "*", "†", "¹", ...; empty when there was none
};

// The number that `text` is: an optional sign, digits, an optional fraction and exponent, in
// the strict form of the plug-in's option parser; a comma as the decimal point only when
// `decimalComma` is set. Footnote marks after the digits (superscript letters and digits,
// * † ‡ § ¶ ‖) are stripped and returned; with `letterMark`, so is a single letter a..h, as a
// PDF copy leaves a superscript. Nothing when the text is no number.
std::optional<CellNumber> cellNumber(std::string_view text, bool decimalComma,
                                     bool letterMark = false);

// Whether the code point is one of the footnote marks above (letters a..h excepted).
bool isFootnoteMark(char32_t c);

// Where the footnote marks at the end of `text` begin ("4ᵃ", "52*", "putamen†"): its size when
// it ends in none.
std::size_t endBeforeFootnoteMarks(std::string_view text);

}  // namespace voikit
