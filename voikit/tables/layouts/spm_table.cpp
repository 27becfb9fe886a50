#include "voikit/tables/layouts/spm_table.h"

#include <fmt/format.h>

#include <algorithm>

#include "voikit/tables/text/tokens.h"

namespace voikit {
namespace {

// A peak row holds the five peak-level values; more means cluster-level values too.
constexpr std::size_t kPeakLevelValues = 5;

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// SPM prints statistics it could not compute as Inf or NaN: values, not words.
bool isValue(const Token& token) {
    const std::string text = lowered(token.text);
    return token.number || text == "inf" || text == "-inf" || text == "nan";
}

}  // namespace

bool isSpmTable(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::string text = lowered(line);
        if (contains(text, "set-level") || contains(text, "cluster-level") ||
            contains(text, "peak-level") || contains(text, "p-values adjusted for search volume") ||
            (contains(text, "p(fwe-corr)") &&
             (contains(text, "equivk") || contains(text, "equivz") || contains(text, "{mm}")))) {
            return true;
        }
    }
    return false;
}

TableReading readSpmTable(const std::vector<std::string>& lines) {
    TableReading reading;
    reading.layout = "SPM results table";
    int cluster = 0, peak = 0;
    for (const std::string& line : lines) {
        if (auto plain = emptyOrComment(line)) {
            reading.lines.push_back(*plain);
            continue;
        }
        const Tokens tokens = tokenize(line);
        const std::vector<Token>& t = tokens.tokens;
        const bool values = !t.empty() && std::all_of(t.begin(), t.end(), isValue);
        const auto numbers =
            std::count_if(t.begin(), t.end(), [](const Token& k) { return k.number.has_value(); });
        const bool rule = line.find_first_not_of("=- \t") == std::string::npos;
        ReadLine read;
        if (rule) {
            read = noCoordinates(line, "rule of the SPM table");
        } else if (values && t.size() >= 3 && t.size() < 3 + kPeakLevelValues) {
            // Too few values for SPM's peak-level columns and x, y, z: no row of SPM's.
            read = noCoordinates(line, fmt::format("{} values, fewer than an SPM row's {} "
                                                   "peak-level values and x, y, z",
                                                   t.size(), kPeakLevelValues));
        } else if (!values || t.size() < 3) {
            // Words: the title and headings above the rows, the footer below them.
            if (cluster == 0) {
                read = noCoordinates(line, "heading of the SPM table");
                read.kind = ReadLine::kHeader;
            } else {
                read = noCoordinates(line, "footer of the SPM table, not a peak");
                if (numbers >= 3) read.kind = ReadLine::kIgnored;
            }
        } else {
            const Token& x = t[t.size() - 3];
            const Token& y = t[t.size() - 2];
            const Token& z = t[t.size() - 1];
            if (t.size() - 3 > kPeakLevelValues || cluster == 0) {
                ++cluster;
                peak = 0;
            }
            ++peak;
            read.kind = ReadLine::kCoordinates;
            read.placed = static_cast<int>(numbers);  // every value under SPM's headings
            Peak found;
            found.name = fmt::format("cluster{}_peak{}", cluster, peak);
            if (x.number && y.number && z.number) {
                found.writings.push_back(writingOf(x, y, z, std::nullopt));
            } else {
                found.refused = "an SPM row ends with x, y and z, and \"" + x.text + " " + y.text +
                                " " + z.text + "\" are not three numbers";
            }
            read.peaks.push_back(found);
        }
        reading.lines.push_back(read);
    }
    return reading;
}

}  // namespace voikit
