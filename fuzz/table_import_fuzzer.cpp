// Any bytes as a pasted table: the import never fails, accounts for every line exactly once,
// and every list line it makes is one the plug-in's clean-up keeps with the same values.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "coordlist/clean_up_text.h"
#include "coordlist/text_lines.h"
#include "voikit/tables/table_import.h"
#include "voikit/tables/text/pasted_text.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first byte picks the settings, so that MNI tables and limits are tried too.
    voikit::ImportSettings settings;
    if (size > 0) {
        settings.space = data[0] & 1 ? voikit::Space::kMni : voikit::Space::kTal;
        settings.transform = static_cast<voikit::MniToTal>((data[0] >> 1) & 3);
        if (data[0] & 8) settings.listLimit = 300;
    }
    const voikit::ImportResult result = voikit::importTable(bytes, settings);
    const std::size_t lines = voikit::readPastedText(bytes).lines.size();
    check(result.lines.size() == lines);
    int vois = 0, dropped = 0;
    for (std::size_t i = 0; i < lines; ++i) {
        check(result.lines[i].number == static_cast<int>(i + 1));
        check(!result.lines[i].account.empty());
        vois += result.lines[i].kind == voikit::ImportedLine::kVoi;
        dropped += result.lines[i].kind == voikit::ImportedLine::kDropped;
    }
    check(vois == result.vois && dropped == result.dropped);
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
    return 0;
}
