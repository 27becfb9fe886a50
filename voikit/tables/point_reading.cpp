#include "voikit/tables/point_reading.h"

#include <fmt/format.h>

#include "voikit/tables/layouts/read_table.h"
#include "voikit/tables/table_import.h"
#include "voikit/tables/text/author_cells.h"
#include "voikit/tables/text/pasted_text.h"

namespace voikit {

PointReading readPoints(std::string_view bytes, std::optional<Space> space) {
    PointReading result;
    const PastedText text = readPastedText(bytes);
    if (!text.notText.empty()) {
        result.error = text.notText;
        return result;
    }
    std::vector<std::string> plain;
    for (const MappedLine& line : authorCells(text.lines)) plain.push_back(plainLine(line.text));
    const TableReading reading = readTable(plain);
    for (const SpaceStatement& stated : reading.spaces) {
        if (space && stated.space != *space) {
            result.error = fmt::format(
                "--space {}, but the file gives {} coordinates (line {}: {}); leave --space out "
                "to take the file's, or correct the file",
                *space == Space::kMni ? "mni" : "tal", spaceName(stated.space), stated.line,
                stated.how);
            return result;
        }
    }
    bool assumed = false;
    for (std::size_t i = 0; i < reading.lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const ReadLine& line = reading.lines[i];
        if ((line.kind == ReadLine::kNoCoordinates || line.kind == ReadLine::kIgnored) &&
            plain[i].find_first_of("0123456789") != std::string::npos) {
            result.passedOver.push_back(fmt::format("line {}: {}", number, line.account));
        }
        for (const Peak& peak : reading.lines[i].peaks) {
            if (!peak.refused.empty() || peak.writings.empty()) {
                result.refused.push_back(fmt::format(
                    "line {}: {}", number, peak.refused.empty() ? "no coordinates" : peak.refused));
                continue;
            }
            // One writing of the peak: the one in --space, else the first the file gives.
            const Writing* taken = &peak.writings[0];
            for (const Writing& w : peak.writings) {
                if (space && w.space == space) taken = &w;
            }
            ReadPoint point{peak.name, taken->point, Space::kTal, number};
            if (taken->space) {
                point.space = *taken->space;
            } else if (space) {
                point.space = *space;
            } else {
                assumed = true;
            }
            result.points.push_back(point);
        }
    }
    if (!reading.spaces.empty()) {
        result.spaceNote = fmt::format("the points are {}, as the file says (line {}: {})",
                                       spaceName(reading.spaces[0].space), reading.spaces[0].line,
                                       reading.spaces[0].how);
    } else if (assumed) {
        result.spaceNote =
            "the file gives no space (no heading such as \"MNI x y z\", no \"// Reference=\" "
            "line): its points are taken as TAL; --space mni says they are MNI";
    } else if (space) {
        result.spaceNote = std::string("the points are ") + spaceName(*space) + " (--space)";
    }
    return result;
}

}  // namespace voikit
