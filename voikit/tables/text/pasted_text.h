#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace voikit {

// Text as people paste it, made plain: decoded to UTF-8 and cut into lines.
struct PastedText {
    std::string encoding;  // "UTF-8", "UTF-8 with byte-order mark", "UTF-16 LE", ...
    std::vector<std::string> lines;
    // Why the bytes are no text, in one line (then `lines` is empty); empty for text.
    std::string notText;
};

// Decodes UTF-8 with or without a byte-order mark, UTF-16 LE or BE with a byte-order mark
// (or without one, when every other byte is zero), and anything else as Windows-1252; cuts
// the text at LF, CR LF and lone CR line ends. A line end at the very end starts no line.
// Bytes whose decoded characters are more than 1 in 100 (and more than a few) control
// characters, as in binary files, while text has none but tabs and line ends, are no text.
PastedText readPastedText(std::string_view bytes);

// One line with the typography of documents made plain ASCII where it matters:
// - Unicode spaces and stray control characters become blanks (tabs stay, since they separate
//   columns); but thin and narrow no-break spaces that part digits in groups of three ("1 811",
//   as typesetting writes thousands) go, where the line holds no other such space.
// - Minus signs and dashes become '-', a minus sign U+2212 joined to the digits a blank sets it
//   apart from; the minus signs of PDF copies that other characters stand for (the Symbol
//   font's U+F02D, U+2796, U+02D7) only right before digits.
// - Full-width digits, brackets, commas, full stops, colons, semicolons and plus signs become
//   their ASCII forms; typographic quotes become '"'; invisible characters (zero-width spaces,
//   byte-order marks, NUL) go.
// In a line whose cells are separated by tabs, a run of two or more such spaces separates
// cells too and becomes a tab, so that "1 204" (one no-break space in a number) and cells
// parted by no-break spaces stay apart. With `from`, where each byte of the plain line came
// from in `line` (one entry per byte, and one for the end).
std::string plainLine(std::string_view line, std::vector<std::size_t>* from = nullptr);

}  // namespace voikit
