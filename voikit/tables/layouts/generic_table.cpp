#include "voikit/tables/layouts/generic_table.h"

#include <memory>

#include "voikit/tables/layouts/column_header.h"
#include "voikit/tables/layouts/free_line.h"
#include "voikit/tables/layouts/header_rows.h"

namespace voikit {
namespace {

bool isText(const std::string& line) { return !emptyOrComment(line); }

// The header a line is, with the line above it when that may head its groups.
std::optional<ColumnHeader> headerAt(const std::vector<std::string>& lines, std::size_t i) {
    const bool aboveCounts = i > 0 && isText(lines[i - 1]);
    return readColumnHeader(lines[i], aboveCounts ? &lines[i - 1] : nullptr);
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

}  // namespace

TableReading readGenericTable(const std::vector<std::string>& lines) {
    TableReading reading;
    reading.layout = "table";
    std::vector<std::optional<ColumnHeader>> headers(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (isText(lines[i])) headers[i] = headerAt(lines, i);
    }
    std::unique_ptr<HeaderRows> rows;
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
            if (headers[i]->groupLine) {
                reading.lines[i - 1].kind = ReadLine::kHeader;
                reading.lines[i - 1].account = "header: headings over the columns below";
                reading.lines[i - 1].peaks.clear();
                reading.lines[i - 1].mentioned.reset();
            }
            stateSpaces(*headers[i], headers[i]->groupLine ? number - 1 : number, reading);
            continue;
        }
        reading.lines.push_back(rows ? rows->read(line) : readFreeLine(line));
    }
    return reading;
}

}  // namespace voikit
