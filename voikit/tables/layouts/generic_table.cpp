#include "voikit/tables/layouts/generic_table.h"

#include <fmt/format.h>

#include <memory>

#include "voikit/tables/layouts/column_header.h"
#include "voikit/tables/layouts/free_line.h"
#include "voikit/tables/layouts/header_rows.h"
#include "voikit/tables/text/cells.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {
namespace {

bool isText(const std::string& line) { return !emptyOrComment(line); }

// The line above a header that may head its groups: the one right above, or past a line a
// rule left empty (LaTeX's \cmidrule) when both are split at tabs.
std::size_t aboveOf(const std::vector<std::string>& lines, std::size_t i) {
    if (i > 0 && isText(lines[i - 1])) return i - 1;
    const bool tabbed = lines[i].find('\t') != std::string::npos;
    if (i > 1 && tabbed && lines[i - 1].empty() && lines[i - 2].find('\t') != std::string::npos)
        return i - 2;
    return i;
}

// The header a line is, with the line above it when that may head its groups.
std::optional<ColumnHeader> headerAt(const std::vector<std::string>& lines, std::size_t i) {
    const std::size_t above = aboveOf(lines, i);
    return readColumnHeader(lines[i], above != i ? &lines[above] : nullptr);
}

void stateSpaces(const ColumnHeader& header, int line, TableReading& reading) {
    std::vector<Space> spaces;
    for (const Triple& triple : header.triples) {
        if (!triple.space) continue;
        for (Space known : spaces) {
            // Groups in different spaces give no one space to the table.
            if (known != *triple.space) return;
        }
        spaces.push_back(*triple.space);
    }
    for (const Triple& triple : header.triples) {
        if (!triple.space) continue;
        reading.spaces.push_back(
            {*triple.space, line, "the column heading \"" + triple.spaceHeading + "\""});
        return;
    }
}

// A line of three or more cells split at tabs, semicolons or commas, all of them words: the
// names of a table's columns, none of them x, y or z.
bool namesOtherColumns(const std::string& line) {
    const Delimiter delimiter = delimiterOf(line);
    if (delimiter == Delimiter::kBlanks) return false;
    int named = 0;
    for (const std::string& cell : splitCells(line, delimiter)) {
        for (const Token& token : tokenize(cell).tokens) {
            if (token.number && token.bracket == 0) return false;
        }
        named += cell.empty() ? 0 : 1;
    }
    return named >= 3;
}

}  // namespace

TableReading readGenericTable(const std::vector<std::string>& lines) {
    TableReading reading;
    reading.layout = "table";
    std::vector<std::optional<ColumnHeader>> headers(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (isText(lines[i])) headers[i] = headerAt(lines, i);
    }
    std::unique_ptr<HeaderRows> rows;
    std::string otherColumns;  // the last line of column names without x, y or z
    std::string region;        // the name of the last named row under the header
    int further = 0;           // the rows after it with empty name cells
    int otherColumnsLine = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (auto plain = emptyOrComment(line)) {
            reading.lines.push_back(*plain);
            continue;
        }
        if (headers[i]) {
            std::vector<std::string> under;
            for (std::size_t k = i + 1; k < lines.size() && !headers[k]; ++k) {
                if (isText(lines[k])) under.push_back(lines[k]);
            }
            rows = std::make_unique<HeaderRows>(*headers[i], under);
            ReadLine read;
            read.kind = ReadLine::kHeader;
            read.account = "header: " + describeHeader(rows->header());
            if (!rows->note().empty()) read.account += "; " + rows->note();
            reading.lines.push_back(read);
            const int number = static_cast<int>(i) + 1;
            const std::size_t above = aboveOf(lines, i);
            if (headers[i]->groupLine) {
                reading.lines[above].kind = ReadLine::kHeader;
                reading.lines[above].account = "header: headings over the columns below";
                reading.lines[above].peaks.clear();
                reading.lines[above].mentioned.reset();
            }
            stateSpaces(*headers[i], headers[i]->groupLine ? static_cast<int>(above) + 1 : number,
                        reading);
            continue;
        }
        if (!rows && namesOtherColumns(line)) {
            // Rows under column names without x, y and z are no peaks: they are refused, not
            // read as numbers in a row.
            otherColumns = line;
            otherColumnsLine = static_cast<int>(i) + 1;
            reading.lines.push_back(noCoordinates(line, "column names without x, y or z"));
            continue;
        }
        const bool underOthers = !rows && !otherColumns.empty() &&
                                 delimiterOf(line) == delimiterOf(otherColumns) &&
                                 coordinateCandidates(tokenize(line).tokens) >= 3;
        if (underOthers) {
            reading.lines.push_back(refusedLine(fmt::format(
                "a row under line {}, whose column names (\"{}\") hold no x, y or z: no peak",
                otherColumnsLine, otherColumns)));
            continue;
        }
        ReadLine read = rows ? rows->read(line) : readFreeLine(line);
        // A row whose name cells are empty, merged into the row above as spreadsheets and
        // journals print sub-peaks, is a further peak of that row's region.
        const bool merged = rows && line.find_first_not_of(" \t") != 0 && line[0] == '\t';
        for (Peak& peak : read.peaks) {
            if (!peak.name.empty()) {
                region = peak.name;
                further = 0;
            } else if (merged && !region.empty()) {
                peak.name = fmt::format("{}_sub{}", region, ++further);
            }
        }
        if (!rows) region.clear();
        reading.lines.push_back(read);
    }
    return reading;
}

}  // namespace voikit
