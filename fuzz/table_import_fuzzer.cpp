// Any bytes as a pasted table, in any layout the importer knows: the import never fails,
// accounts for every line, every list line it makes is one the plug-in's clean-up keeps
// with the same values, the foci file of what it accepted holds each VOI once, and every line
// of three or more numbers that could be coordinates (by the tests' own definition) ends as a
// VOI, a drop or a line set aside, with each cell's bytes inside its line.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "coordlist/clean_up_text.h"
#include "coordlist/text_lines.h"
#include "tests/number_rows.h"
#include "voikit/tables/foci_output.h"
#include "voikit/tables/table_import.h"
#include "voikit/tables/text/pasted_text.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// The settings the first byte picks, so that spaces, transforms and limits are tried too.
voikit::ImportSettings settingsFrom(std::uint8_t first) {
    voikit::ImportSettings settings;
    if (first & 1) settings.space = first & 2 ? voikit::Space::kMni : voikit::Space::kTal;
    settings.transform = static_cast<voikit::MniToTal>((first >> 2) & 3);
    if (first & 16) settings.listLimit = 300;
    return settings;
}

void checkFoci(const voikit::ImportResult& result, voikit::Space space,
               voikit::MniToTal transform) {
    const voikit::FociOutput foci = voikit::fociFile(result, space, transform, 12, "table");
    check(foci.refusal.empty());
    glomera::TextLines lines(foci.text);
    std::string_view line;
    int focusLines = 0;
    while (lines.next(line)) {
        if (line.empty() || line.substr(0, 2) == "//") continue;
        ++focusLines;
        check(std::count(line.begin(), line.end(), '\t') == 2);
    }
    check(focusLines == result.vois);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const voikit::ImportSettings settings = settingsFrom(size > 0 ? data[0] : 0);
    const voikit::ImportResult result = voikit::importTable(bytes, settings);
    const voikit::PastedText text = voikit::readPastedText(bytes);
    check(result.notText == text.notText);
    if (!result.notText.empty() || !result.spaceConflict.empty()) {
        // Refused as a whole, in one line: nothing else is done.
        check(result.notText.find('\n') == std::string::npos);
        check(result.lines.empty() && result.list.empty() && result.vois == 0);
        check(settings.space.has_value() || result.spaceConflict.empty());
        return 0;
    }
    // Every input line accounted for, in order; a line with several peaks once per peak.
    check(result.inputLines == static_cast<int>(text.lines.size()));
    int expected = 1, vois = 0, dropped = 0;
    for (const voikit::ImportedLine& line : result.lines) {
        check(line.number == expected || line.number == expected - 1);
        check(line.number >= 1 && !line.account.empty());
        check(line.account.find('\n') == std::string::npos);
        if (line.number == expected) ++expected;
        vois += line.kind == voikit::ImportedLine::kVoi;
        dropped += line.kind == voikit::ImportedLine::kDropped;
    }
    check(expected == result.inputLines + 1);
    check(vois == result.vois && dropped == result.dropped);
    check(static_cast<int>(result.peaks.size()) == result.vois);
    // Each list line is already in the clean-up's own form: kept, and unchanged.
    glomera::TextLines listLines(result.list);
    std::string_view line;
    int listed = 0;
    while (listLines.next(line)) {
        ++listed;
        const glomera::ListLineJudgement judgement = glomera::judgeListLine(line);
        check(judgement.verdict == glomera::ListLineJudgement::kKept);
        check(glomera::formatCleanedLine(judgement.values) == line);
    }
    check(listed == result.vois);
    check(settings.listLimit == 0 || result.list.size() <= settings.listLimit);
    for (const voikit::AcceptedPeak& peak : result.peaks) {
        check(peak.experiment >= 0 &&
              static_cast<std::size_t>(peak.experiment) < result.experiments.size());
    }
    // No row of numbers left as a heading, a caption or text without coordinates.
    std::vector<bool> settled(text.lines.size() + 1, false);
    for (const voikit::ImportedLine& entry : result.lines) {
        const auto at = static_cast<std::size_t>(entry.number);
        settled[at] = settled[at] || entry.kind == voikit::ImportedLine::kVoi ||
                      entry.kind == voikit::ImportedLine::kDropped ||
                      (entry.kind == voikit::ImportedLine::kIgnored &&
                       entry.account.rfind("set aside: ", 0) == 0);
        const std::string& raw = result.rawLines[at - 1];
        for (const voikit::ImportedCell& cell : entry.cells)
            check(cell.begin <= cell.end && cell.end <= raw.size());
    }
    for (std::size_t i = 0; i < text.lines.size(); ++i)
        check(!number_rows::isRowOfNumbers(text.lines[i]) || settled[i + 1]);
    check(result.unreadRows().empty() || result.vois == 0);
    checkFoci(result, voikit::Space::kMni, settings.transform);
    checkFoci(result, voikit::Space::kTal, settings.transform);
    return 0;
}
