#include "coordlist/clean_up_account.h"

#include <vector>

#include "common/buffer_capacities.h"
#include "common/format_line.h"
#include "coordlist/text_lines.h"

namespace glomera {

std::string describeListVoi(int index, const VoiLineValues& v) {
    return formatLine("VOI %d %s at TAL %.1f %.1f %.1f, radius %.1f mm, colour %d %d %d", index,
                      v.name.c_str(), static_cast<double>(v.x), static_cast<double>(v.y),
                      static_cast<double>(v.z), static_cast<double>(v.radius), v.r, v.g, v.b);
}

CleanUpAccount accountForCleanUp(std::string_view text) {
    CleanUpAccount account;
    // The clean-up itself says how many kept lines fit the text box.
    std::vector<char> buffer(kTextCapacity, '\0');
    text.copy(buffer.data(), std::min(text.size(), buffer.size() - 1));
    const std::int32_t fitting = cleanUpText(buffer.data());
    TextLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        CleanUpAccount::Line out;
        out.number = static_cast<int>(account.lines.size()) + 1;
        const ListLineJudgement judgement = judgeListLine(line);
        out.coordinates = judgement.values.fieldsRead > 0;
        if (judgement.verdict == ListLineJudgement::kKept && account.kept < fitting) {
            out.kept = true;
            ++account.kept;
            out.account = describeListVoi(account.kept, judgement.values);
        } else if (judgement.verdict == ListLineJudgement::kKept) {
            out.account = "dropped: the cleaned list would not fit the text box of " +
                          std::to_string(kTextCapacity) + " bytes";
        } else if (!out.coordinates) {
            out.account =
                judgement.verdict == ListLineJudgement::kEmpty ? "empty" : "no coordinates";
        } else {
            out.account = "dropped: " + dropReason(judgement);
        }
        if (out.coordinates && !out.kept) ++account.dropped;
        account.lines.push_back(std::move(out));
    }
    return account;
}

}  // namespace glomera
