#include "voikit/page/import_review.h"

#include <cstdio>
#include <map>

#include "voikit/tables/text/pasted_text.h"

namespace voikit {
namespace {

std::string writtenText(const AcceptedPeak& peak) {
    if (peak.writings.empty()) return "";
    const Point& p = peak.writings[0].second;
    char text[96];
    std::snprintf(text, sizeof text, "%s %g %g %g", spaceName(peak.writings[0].first), p[0], p[1],
                  p[2]);
    return text;
}

// How the space was decided, in one line: what the user said and where the peaks were
// written.
std::string spaceDecision(const ImportResult& result, const ImportSettings& settings) {
    std::map<Space, int> written;
    for (const AcceptedPeak& peak : result.peaks) ++written[peak.written];
    std::string text =
        settings.space ? std::string("--space ") + kSpaceNames[static_cast<int>(*settings.space)]
                       : std::string("no --space: the table's own space");
    for (const auto& [space, count] : written) {
        text += "; " + std::to_string(count) + (count == 1 ? " peak" : " peaks") + " taken as " +
                spaceName(space);
        if (space == Space::kMni) {
            text += std::string(", turned into TAL by ") + transformName(settings.transform);
        }
    }
    return text;
}

}  // namespace

ReviewContents reviewOfImport(const ImportResult& result, std::string_view bytes,
                              const std::string& table, const ImportSettings& settings) {
    ReviewContents review;
    review.table = table;
    review.summary = result.summary();
    if (!result.unreadRows().empty()) review.summary += "; " + result.unreadRows();
    review.encoding = result.encoding;
    review.reading = result.layout;
    review.choice = result.choice;
    review.proposals = result.proposals;
    review.space = spaceDecision(result, settings);
    review.notes = result.notes;
    review.warnings = result.warnings;
    // The lines the cells' bytes count in; decoded here only where the import kept none.
    const std::vector<std::string> texts =
        result.rawLines.empty() ? readPastedText(bytes).lines : result.rawLines;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ReviewLine line;
        line.number = static_cast<int>(i) + 1;
        line.text = texts[i];
        review.lines.push_back(std::move(line));
    }
    for (const ImportedLine& imported : result.lines) {
        if (imported.number < 1 || imported.number > static_cast<int>(review.lines.size())) {
            continue;
        }
        ReviewLine& line = review.lines[static_cast<std::size_t>(imported.number - 1)];
        line.fates.push_back({fateName(imported.kind), imported.voi, imported.account});
        for (const ImportedCell& cell : imported.cells) {
            line.cells.push_back({cell.begin, cell.end, cellRoleName(cell.role)});
        }
    }
    for (const AcceptedPeak& peak : result.peaks) {
        ReviewVoi voi;
        voi.number = peak.voi;
        voi.name = peak.values.name;
        voi.colour[0] = peak.values.r;
        voi.colour[1] = peak.values.g;
        voi.colour[2] = peak.values.b;
        voi.tal[0] = static_cast<double>(peak.values.x);
        voi.tal[1] = static_cast<double>(peak.values.y);
        voi.tal[2] = static_cast<double>(peak.values.z);
        voi.radius = static_cast<double>(peak.values.radius);
        voi.written = writtenText(peak);
        review.vois.push_back(voi);
    }
    return review;
}

}  // namespace voikit
