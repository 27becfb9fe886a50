#include "voikit/extract/confounds_table.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/strict_number.h"
#include "voikit/io/error.h"
#include "voikit/io/text_input.h"

namespace voikit {
namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == '\t') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// The lines of the text, line ends (\n or \r\n) taken off; a last empty line left out.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(std::move(line));
        start = end + 1;
    }
    return out;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

}  // namespace

const std::vector<double>* ConfoundsTable::column(const std::string& name) const {
    for (std::size_t c = 0; c < names.size(); ++c) {
        if (names[c] == name) return &columns[c];
    }
    return nullptr;
}

bool matchesPattern(const std::string& name, const std::string& pattern) {
    // Greedy matching with one point to return to: the last * seen.
    std::size_t n = 0, p = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::string> matchedColumns(const std::vector<std::string>& header,
                                        const std::vector<std::string>& patterns) {
    std::vector<std::string> out;
    for (const std::string& pattern : patterns) {
        for (const std::string& name : header) {
            if (matchesPattern(name, pattern) &&
                std::find(out.begin(), out.end(), name) == out.end()) {
                out.push_back(name);
            }
        }
    }
    return out;
}

ConfoundsTable readConfoundsTable(const std::string& path, const std::vector<std::string>& patterns,
                                  const std::vector<std::string>& named) {
    const std::vector<std::string> rows = lines(readTextInput(path));
    if (rows.empty()) throw Error(path + ": the confounds table is empty (no header row)");
    const std::vector<std::string> header = fields(rows.front());
    std::vector<std::string> unknown;
    for (const std::string& pattern : patterns) {
        if (matchedColumns(header, {pattern}).empty()) unknown.push_back(pattern);
    }
    for (const std::string& name : named) {
        if (std::find(header.begin(), header.end(), name) == header.end()) unknown.push_back(name);
    }
    if (!unknown.empty()) {
        throw Error(path + ": no column matches " + joined(unknown) +
                    " (confound columns are matched by name; * stands for any text)");
    }
    ConfoundsTable table;
    table.path = path;
    table.names = matchedColumns(header, patterns);
    for (const std::string& name : named) {
        if (std::find(table.names.begin(), table.names.end(), name) == table.names.end()) {
            table.names.push_back(name);
        }
    }
    std::vector<std::size_t> at;
    for (const std::string& name : table.names) {
        at.push_back(static_cast<std::size_t>(std::find(header.begin(), header.end(), name) -
                                              header.begin()));
    }
    table.rows = rows.size() - 1;
    table.columns.assign(table.names.size(), std::vector<double>(table.rows));
    for (std::size_t r = 0; r < table.rows; ++r) {
        const std::vector<std::string> cells = fields(rows[r + 1]);
        if (cells.size() != header.size()) {
            throw Error(path + ": row " + std::to_string(r + 2) + " has " +
                        std::to_string(cells.size()) + " cells, the header " +
                        std::to_string(header.size()));
        }
        for (std::size_t c = 0; c < at.size(); ++c) {
            const std::string& cell = cells[at[c]];
            if (cell == "n/a") {
                table.columns[c][r] = std::numeric_limits<double>::quiet_NaN();
                continue;
            }
            const std::optional<double> value = glomera::parseFiniteNumber(cell);
            if (!value) {
                std::string message = path + ": row " + std::to_string(r + 2) + ", column ";
                message += table.names[c];
                message += ": '";
                message += cell;
                message += "' is neither a number nor n/a";
                throw Error(message);
            }
            table.columns[c][r] = *value;
        }
    }
    std::vector<std::string> empty;
    for (std::size_t c = 0; c < table.names.size(); ++c) {
        bool any = false;
        for (double value : table.columns[c]) any = any || !std::isnan(value);
        if (!any) empty.push_back(table.names[c]);
    }
    if (!empty.empty()) {
        throw Error(path + ": " + (empty.size() == 1 ? "column " : "columns ") + joined(empty) +
                    " hold no number (all n/a)");
    }
    return table;
}

}  // namespace voikit
