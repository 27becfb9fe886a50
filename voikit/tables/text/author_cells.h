#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace voikit {

// A line with where each of its bytes came from in the line as decoded (one entry per byte,
// and one for the end); kElsewhere for a byte that came from another line.
struct MappedLine {
    std::string text;
    std::vector<std::size_t> from;
};
constexpr std::size_t kElsewhere = std::numeric_limits<std::size_t>::max();

// The lines of a table with the cells its author laid out parted by tabs, each byte mapped to
// the decoded line it came from:
// - a LaTeX row: cells at "&", the row ending at "\\", "$-$" and "--" as minus signs,
//   \multicolumn{n}{..}{text} as text and n-1 empty cells, \multirow and font commands as
//   their text, superscripts (footnote marks) left out;
// - a Markdown row "| a | b |", its alignment row "|:--|--:|" left empty;
// - an HTML row of <td>/<th> cells (on one line, or one a line up to its </tr>, joined on the
//   line of its first cell), colspan as empty cells after the cell, rowspan as empty
//   cells in the rows below, entities decoded, tags and <sup> marks left out;
// - a table copied from a PDF one cell per line: a block of short heading lines that names x,
//   y and z, then rows of as many lines, each row joined on the line of its first cell.
// Other lines stay as they are.
std::vector<MappedLine> authorCells(const std::vector<std::string>& lines);

}  // namespace voikit
