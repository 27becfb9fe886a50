#include "voikit/anatomy/point_list.h"

#include "common/strict_number.h"
#include "voikit/io/error.h"

namespace voikit {
namespace {

// The fields of a line, split at blanks, tabs, commas and semicolons.
std::vector<std::string> fieldsOf(std::string_view line) {
    std::vector<std::string> fields;
    std::string field;
    for (const char c : line) {
        if (c == ' ' || c == '\t' || c == ',' || c == ';') {
            if (!field.empty()) fields.push_back(std::move(field));
            field.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty()) fields.push_back(std::move(field));
    return fields;
}

// Typographic minus signs as pasted from papers, a byte-order mark and CR line ends go.
std::string plain(std::string text) {
    if (text.compare(0, 3, "\xef\xbb\xbf") == 0) text.erase(0, 3);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, "\xe2\x88\x92") == 0) {
            out += '-';
            i += 2;
        } else if (text[i] != '\r') {
            out += text[i];
        }
    }
    return out;
}

std::string joined(const std::vector<std::string>& fields, std::size_t from, std::size_t to) {
    std::string name;
    for (std::size_t i = from; i < to; ++i) name += (name.empty() ? "" : "_") + fields[i];
    return name;
}

}  // namespace

std::optional<Point> parsePoint(std::string_view text) {
    const std::vector<std::string> fields = fieldsOf(plain(std::string(text)));
    if (fields.size() != 3) return std::nullopt;
    Point point{};
    for (int axis = 0; axis < 3; ++axis) {
        const auto value = glomera::parseFiniteNumber(fields[static_cast<std::size_t>(axis)]);
        if (!value) return std::nullopt;
        point[static_cast<std::size_t>(axis)] = *value;
    }
    return point;
}

std::vector<NamedPoint> readPointList(const std::string& text, const std::string& source,
                                      const Log& log) {
    const std::string lines = plain(text);
    std::vector<NamedPoint> points;
    bool first = true;
    std::size_t start = 0;
    for (int number = 1; start < lines.size(); ++number) {
        std::size_t end = lines.find('\n', start);
        if (end == std::string::npos) end = lines.size();
        const std::string line = lines.substr(start, end - start);
        start = end + 1;
        const std::vector<std::string> fields = fieldsOf(line);
        const std::string where = source + " line " + std::to_string(number);
        if (fields.empty() || fields[0][0] == '#' || fields[0].compare(0, 2, "//") == 0) continue;
        std::vector<bool> numeric;
        std::size_t numbers = 0;
        for (const std::string& field : fields) {
            numeric.push_back(glomera::parseFiniteNumber(field).has_value());
            numbers += numeric.back() ? 1 : 0;
        }
        const bool heading = first && numbers == 0;
        first = false;
        if (heading) {
            log.tell(where + ": a heading, skipped: " + std::string(line));
            continue;
        }
        // Three numbers together, with the name before or after them.
        std::size_t at = fields.size();
        for (std::size_t i = 0; numbers == 3 && i + 3 <= fields.size(); ++i) {
            if (numeric[i] && numeric[i + 1] && numeric[i + 2]) at = i;
        }
        if (at == fields.size() || (at != 0 && at + 3 != fields.size())) {
            std::string why = where + " holds no point: ";
            why += numbers == 3 ? "its three numbers are not side by side"
                                : std::to_string(numbers) +
                                      " numbers, where a point is three (x y z, and a name "
                                      "before or after them)";
            why += ": \"" + line + "\"";
            throw Error(why);
        }
        NamedPoint point;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            point.point[axis] = *glomera::parseFiniteNumber(fields[at + axis]);
        }
        point.name = at == 0 ? joined(fields, 3, fields.size()) : joined(fields, 0, at);
        point.source = where;
        points.push_back(std::move(point));
    }
    if (points.empty()) throw Error(source + " holds no point (x y z a line)");
    return points;
}

}  // namespace voikit
