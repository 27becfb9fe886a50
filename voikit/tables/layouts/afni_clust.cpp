#include "voikit/tables/layouts/afni_clust.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "voikit/tables/text/tokens.h"

namespace voikit {
namespace {

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool isColumnHeading(const std::string& text) {
    return text.rfind('#', 0) == 0 && (contains(text, "cm rl") || contains(text, "mi rl") ||
                                       contains(text, "cm lr") || contains(text, "mi lr"));
}

// The sign that turns a coordinate along an axis into x right, y front, z up, from the
// letter of the side where that coordinate is negative: R, A, S flip; L, P, I do not.
struct Orientation {
    std::array<int, 3> axis{0, 1, 2};  // which coordinate of the report is x, y, z
    std::array<int, 3> sign{1, 1, 1};
    std::string code;  // "RAI", "LPI"

    bool flips() const {
        return sign != std::array<int, 3>{1, 1, 1} || axis != std::array<int, 3>{0, 1, 2};
    }
};

std::optional<Orientation> orientationOf(const std::string& code) {
    if (code.size() != 3) return std::nullopt;
    Orientation o;
    o.code = code;
    std::array<bool, 3> seen{};
    for (int i = 0; i < 3; ++i) {
        const char c = static_cast<char>(
            std::toupper(static_cast<unsigned char>(code[static_cast<std::size_t>(i)])));
        const std::string pairs = "RLAPSI";  // each axis: the flipping side first
        const std::size_t at = pairs.find(c);
        if (at == std::string::npos || seen[at / 2]) return std::nullopt;
        seen[at / 2] = true;
        o.axis[at / 2] = i;
        o.sign[at / 2] = at % 2 == 0 ? -1 : 1;
    }
    return o;
}

// "#[Coordinates Order   = RAI ]"
std::optional<Orientation> orderLine(const std::string& line) {
    const std::string text = lowered(line);
    const std::size_t at = text.find("coordinates order");
    if (at == std::string::npos) return std::nullopt;
    const std::size_t equals = text.find('=', at);
    if (equals == std::string::npos) return std::nullopt;
    std::string code;
    for (std::size_t i = equals + 1; i < line.size() && code.size() < 4; ++i) {
        if (std::isalpha(static_cast<unsigned char>(line[i]))) {
            code += line[i];
        } else if (!code.empty()) {
            break;
        }
    }
    return orientationOf(code);
}

// The column names of the heading: two-word names ("CM RL", "Max Int") count as one.
std::vector<std::string> columnNames(const std::string& heading) {
    std::vector<std::string> names;
    const std::vector<Token> tokens = tokenize(heading.substr(1)).tokens;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string word = lowered(tokens[i].text);
        if ((word == "cm" || word == "mi" || word == "max") && i + 1 < tokens.size()) {
            names.push_back(word + " " + lowered(tokens[++i].text));
        } else {
            names.push_back(word);
        }
    }
    return names;
}

// The columns of the peak ("mi") or centre of mass ("cm"), and the orientation their names
// give ("mi rl", "mi ap", "mi is" for RAI).
struct Columns {
    std::array<int, 3> at{-1, -1, -1};  // in the report's order
    std::string code;
    bool peak = false;
};

std::optional<Columns> coordinateColumns(const std::vector<std::string>& names, const char* kind) {
    Columns found;
    int next = 0;
    for (std::size_t i = 0; i < names.size() && next < 3; ++i) {
        if (names[i].size() == 5 && names[i].compare(0, 3, std::string(kind) + " ") == 0) {
            found.at[static_cast<std::size_t>(next++)] = static_cast<int>(i);
            found.code += static_cast<char>(std::toupper(static_cast<unsigned char>(names[i][3])));
        }
    }
    if (next < 3) return std::nullopt;
    found.peak = std::string(kind) == "mi";
    return found;
}

}  // namespace

bool isAfniClustTable(const std::vector<std::string>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        const std::string text = lowered(line);
        return (text.rfind('#', 0) == 0 && (contains(text, "coordinates order") ||
                                            contains(text, "cluster report for file"))) ||
               isColumnHeading(text);
    });
}

TableReading readAfniClustTable(const std::vector<std::string>& lines) {
    TableReading reading;
    reading.layout = "AFNI 3dclust report";
    std::optional<Orientation> stated;
    std::vector<std::string> names;
    std::optional<Columns> columns;
    for (const std::string& line : lines) {
        if (!stated) stated = orderLine(line);
        if (isColumnHeading(lowered(line))) {
            names = columnNames(line);
            columns = coordinateColumns(names, "mi");
            if (!columns) columns = coordinateColumns(names, "cm");
        }
    }
    // The order line says how the coordinates run; else the columns' names do; else 3dclust's
    // default, RAI.
    std::optional<Orientation> orientation = stated;
    if (!orientation && columns) orientation = orientationOf(columns->code);
    if (!orientation) {
        orientation = orientationOf("RAI");
        reading.notes.push_back("no \"#Coordinates Order\" line: read as RAI, 3dclust's default");
    }
    if (columns && !columns->peak) {
        reading.notes.push_back(
            "3dclust's report has no MI (peak) columns: the centres of mass "
            "(CM) are taken");
    }
    int cluster = 0;
    for (const std::string& line : lines) {
        if (orderLine(line)) {
            ReadLine read;
            read.kind = ReadLine::kComment;
            read.account = "comment: coordinates in " + orientation->code + " order" +
                           (orientation->flips() ? ", turned to x right, y front, z up" : "");
            reading.lines.push_back(read);
            continue;
        }
        if (isColumnHeading(lowered(line))) {
            ReadLine read;
            read.kind = ReadLine::kHeader;
            read.account = columns ? std::string("header: 3dclust columns; the peak in ") +
                                         (columns->peak ? "MI" : "CM") + " " + columns->code
                                   : "header: 3dclust columns without MI or CM coordinates";
            reading.lines.push_back(read);
            continue;
        }
        if (auto plain = emptyOrComment(line)) {
            reading.lines.push_back(*plain);
            continue;
        }
        const std::vector<Token> tokens = tokenize(line).tokens;
        const bool numeric =
            !tokens.empty() && std::all_of(tokens.begin(), tokens.end(),
                                           [](const Token& t) { return t.number.has_value(); });
        if (!numeric || !columns) {
            reading.lines.push_back(noCoordinates(line));
            continue;
        }
        ReadLine read;
        read.kind = ReadLine::kCoordinates;
        Peak peak;
        peak.name = fmt::format("cluster{}", ++cluster);
        if (tokens.size() == names.size()) read.placed = static_cast<int>(tokens.size());
        if (tokens.size() != names.size()) {
            peak.refused = fmt::format(
                "{} numbers where 3dclust's heading names {} columns; refused rather than shifted",
                tokens.size(), names.size());
        } else {
            const auto value = [&](int i) {
                return *tokens[static_cast<std::size_t>(columns->at[static_cast<std::size_t>(i)])]
                            .number;
            };
            Writing writing;
            std::string written;
            for (int axis = 0; axis < 3; ++axis) {
                const int from = orientation->axis[static_cast<std::size_t>(axis)];
                writing.point[static_cast<std::size_t>(axis)] =
                    orientation->sign[static_cast<std::size_t>(axis)] * value(from);
                const Token& source =
                    tokens[static_cast<std::size_t>(columns->at[static_cast<std::size_t>(from)])];
                writing.spans[static_cast<std::size_t>(axis)] = {source.begin, source.end};
                written +=
                    (axis ? " " : "") +
                    tokens[static_cast<std::size_t>(columns->at[static_cast<std::size_t>(axis)])]
                        .text;
            }
            writing.text = written + (orientation->flips() ? " (" + orientation->code + ")" : "");
            peak.writings.push_back(writing);
        }
        read.peaks.push_back(peak);
        reading.lines.push_back(read);
    }
    return reading;
}

}  // namespace voikit
