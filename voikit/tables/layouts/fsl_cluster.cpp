#include "voikit/tables/layouts/fsl_cluster.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "voikit/tables/text/cells.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {
namespace {

// A cluster's index as FSL writes it, a whole number; any other value (a fraction, or one
// beyond what a whole number holds) names the cluster as the table writes it.
std::string clusterIndex(const Token& index) {
    const double value = *index.number;
    constexpr double kLargestWhole = 1e15;
    if (std::fabs(value) < kLargestWhole && value == std::floor(value)) {
        return std::to_string(static_cast<long long>(value));
    }
    return index.text;
}

// The cells of a line of FSL's table: split at tabs, or at runs of two or more blanks.
std::vector<std::string> fslCells(const std::string& line) {
    std::string tabbed;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool wideGap = line[i] == ' ' && i + 1 < line.size() && line[i + 1] == ' ';
        if (wideGap) {
            tabbed += '\t';
            while (i + 1 < line.size() && line[i + 1] == ' ') ++i;
        } else {
            tabbed += line[i];
        }
    }
    std::vector<std::string> cells = splitCells(tabbed, Delimiter::kTab);
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
    if (!cells.empty() && cells.front().empty()) cells.erase(cells.begin());
    return cells;
}

// Where the peak stands in FSL's header, and in what unit.
struct PeakColumns {
    int index = -1;  // "Cluster Index"
    int x = -1, y = -1, z = -1;
    std::string unit;     // "mm", "vox", or empty when the header does not say
    std::string heading;  // the x column's heading as written
    bool maxima = false;  // a local-maxima file: several rows per cluster
};

// "Z-MAX X (mm)": the prefix before "max", the axis and the unit.
bool maxColumn(const std::string& cell, std::string& prefix, char& axis, std::string& unit) {
    const std::string text = lowered(cell);
    const std::size_t max = text.rfind("max ");
    if (max == std::string::npos || max + 5 > text.size()) return false;
    axis = text[max + 4];
    if (axis != 'x' && axis != 'y' && axis != 'z') return false;
    const std::string rest = text.substr(max + 5);
    unit = rest == " (mm)" ? "mm" : rest == " (vox)" ? "vox" : rest.empty() ? "" : "?";
    prefix = text.substr(0, max);
    return unit != "?";
}

PeakColumns peakColumns(const std::vector<std::string>& cells) {
    PeakColumns found;
    std::map<std::string, std::array<int, 3>> groups;
    std::vector<std::string> order;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string text = lowered(cells[i]);
        const int at = static_cast<int>(i);
        if (text == "cluster index") found.index = at;
        std::string prefix, unit;
        char axis = 0;
        if (maxColumn(cells[i], prefix, axis, unit)) {
            if (groups.count(prefix) == 0) {
                groups[prefix] = {-1, -1, -1};
                order.push_back(prefix);
            }
            groups[prefix][static_cast<std::size_t>(axis - 'x')] = at;
            if (axis == 'x') found.unit = unit;
        }
    }
    for (const std::string& prefix : order) {
        const auto& g = groups[prefix];
        if (g[0] >= 0 && g[1] >= 0 && g[2] >= 0) {
            found.x = g[0];
            found.y = g[1];
            found.z = g[2];
            found.heading = cells[static_cast<std::size_t>(g[0])];
            return found;
        }
    }
    // A group of MAX columns that lacks an axis: its rows are refused, naming what it lacks.
    if (!order.empty()) {
        const auto& g = groups[order[0]];
        found.x = g[0];
        found.y = g[1];
        found.z = g[2];
        const int named = std::max({g[0], g[1], g[2]});
        found.heading = cells[static_cast<std::size_t>(named)];
        return found;
    }
    // The local-maxima file: x, y and z, perhaps with their unit.
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string text = lowered(cells[i]);
        const char axis = text.empty() ? 0 : text[0];
        const std::string rest = text.size() > 1 ? text.substr(1) : "";
        if ((axis < 'x' || axis > 'z') || !(rest.empty() || rest == " (mm)" || rest == " (vox)")) {
            continue;
        }
        (axis == 'x' ? found.x : axis == 'y' ? found.y : found.z) = static_cast<int>(i);
        if (axis == 'x') {
            found.unit = rest.empty() ? "" : rest.substr(2, rest.size() - 3);
            found.heading = cells[i];
        }
    }
    found.maxima = true;
    return found;
}

}  // namespace

bool isFslClusterTable(const std::vector<std::string>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return lowered(line).find("cluster index") != std::string::npos;
    });
}

TableReading readFslClusterTable(const std::vector<std::string>& lines) {
    TableReading reading;
    reading.layout = "FSL cluster table";
    PeakColumns columns;
    std::size_t width = 0;
    // Millimetres or voxel indices, when the header does not say: voxel indices are never
    // negative, while a brain's peaks in millimetres are, somewhere in a table.
    bool negative = false;
    for (const std::string& line : lines) {
        const std::vector<std::string> cells = fslCells(line);
        if (lowered(line).find("cluster index") != std::string::npos) {
            columns = peakColumns(cells);
            continue;
        }
        for (int at : {columns.x, columns.y, columns.z}) {
            if (at < 0 || static_cast<std::size_t>(at) >= cells.size()) continue;
            const std::vector<Token> parts = tokenize(cells[static_cast<std::size_t>(at)]).tokens;
            negative = negative || (parts.size() == 1 && parts[0].number && *parts[0].number < 0);
        }
    }
    columns = PeakColumns();
    std::map<std::string, int> maximaOf;
    for (const std::string& line : lines) {
        if (auto plain = emptyOrComment(line)) {
            reading.lines.push_back(*plain);
            continue;
        }
        const std::vector<std::string> cells = fslCells(line);
        ReadLine read;
        if (lowered(line).find("cluster index") != std::string::npos) {
            columns = peakColumns(cells);
            width = cells.size();
            read.kind = ReadLine::kHeader;
            read.account =
                "header: FSL cluster table; " +
                (columns.x < 0 || columns.y < 0 || columns.z < 0
                     ? std::string("no whole group of peak columns (MAX X, Y, Z or x, y, z)")
                     : "peak in \"" + columns.heading + "\" and the next two");
            reading.lines.push_back(read);
            continue;
        }
        std::vector<Token> values;
        std::size_t cursor = 0;
        for (const std::string& cell : cells) {
            // The cells stand in the line in order: each is found after the one before.
            const std::size_t begin = std::min(line.find(cell, cursor), line.size());
            cursor = std::min(begin + cell.size(), line.size());
            const std::vector<Token> parts = shifted(tokenize(cell).tokens, begin);
            values.push_back(
                parts.size() == 1 ? parts[0] : Token{cell, std::nullopt, "", 0, 0, begin, cursor});
        }
        const bool numeric =
            !values.empty() && std::all_of(values.begin(), values.end(),
                                           [](const Token& t) { return t.number.has_value(); });
        if (!numeric || width == 0) {
            reading.lines.push_back(noCoordinates(line));
            continue;
        }
        read.kind = ReadLine::kCoordinates;
        if (values.size() == width) read.placed = static_cast<int>(values.size());
        Peak peak;
        const std::string cluster =
            columns.index >= 0 && static_cast<std::size_t>(columns.index) < values.size()
                ? clusterIndex(values[static_cast<std::size_t>(columns.index)])
                : std::to_string(reading.lines.size());
        peak.name = fmt::format("cluster{}", cluster);
        if (columns.maxima) peak.name += fmt::format("_max{}", ++maximaOf[cluster]);
        const int widest = std::max({columns.x, columns.y, columns.z});
        if (values.size() != width) {
            peak.refused =
                fmt::format("{} cells where FSL's header has {}; refused rather than shifted",
                            values.size(), width);
        } else if (columns.x < 0 || columns.y < 0 || columns.z < 0 ||
                   static_cast<std::size_t>(widest) >= values.size()) {
            peak.refused = "FSL's header names " + std::string(columns.x < 0 ? "no x" : "x") +
                           (columns.y < 0 ? ", no y" : ", y") + (columns.z < 0 ? ", no z" : ", z") +
                           " column (MAX X, MAX Y, MAX Z or x, y, z): which cells are the peak "
                           "cannot be told";
        } else if (columns.unit == "vox" || (columns.unit.empty() && !negative)) {
            peak.refused = columns.unit == "vox"
                               ? "voxel indices, not millimetres: FSL's cluster writes \"" +
                                     columns.heading +
                                     "\" without --mm; run it with --mm for coordinates"
                               : "FSL's local maxima without a unit, and no x, y or z in the "
                                 "file is negative, as voxel indices never are: run cluster "
                                 "with --mm for millimetres";
        } else {
            const auto at = [&](int i) { return values[static_cast<std::size_t>(i)]; };
            peak.writings.push_back(
                writingOf(at(columns.x), at(columns.y), at(columns.z), std::nullopt));
        }
        read.peaks.push_back(peak);
        reading.lines.push_back(read);
    }
    return reading;
}

}  // namespace voikit
