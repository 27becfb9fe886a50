#include "voikit/tables/foci_output.h"

#include <fmt/format.h>

#include <cmath>

namespace voikit {
namespace {

// Millimetres as GingerALE reads them: at most two decimals, no trailing zeros.
std::string millimetres(double value) {
    std::string out = fmt::format("{:.2f}", value);
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    return out == "-0" ? "0" : out;
}

// The focus in `space`: as the table wrote it there, else converted from the centre used.
Point inSpace(const AcceptedPeak& peak, Space space, MniToTal transform) {
    for (const auto& [written, point] : peak.writings) {
        if (written == space) return point;
    }
    return space == Space::kTal ? peak.tal : talToMni(peak.tal, transform);
}

}  // namespace

FociOutput fociFile(const ImportResult& result, Space space, MniToTal transform,
                    std::optional<int> subjects, const std::string& name) {
    FociOutput out;
    out.text = std::string("// Reference=") + (space == Space::kMni ? "MNI" : "Talairach") + "\n";
    bool first = true;
    for (std::size_t e = 0; e < result.experiments.size(); ++e) {
        const Experiment& experiment = result.experiments[e];
        std::string foci;
        for (const AcceptedPeak& peak : result.peaks) {
            if (peak.experiment != static_cast<int>(e)) continue;
            const Point p = inSpace(peak, space, transform);
            foci += millimetres(p[0]) + "\t" + millimetres(p[1]) + "\t" + millimetres(p[2]) + "\n";
        }
        if (foci.empty()) continue;
        const std::string title = experiment.name.empty() ? name : experiment.name;
        const std::optional<int> count = experiment.subjects ? experiment.subjects : subjects;
        if (!count) {
            out.refusal = "GingerALE weighs each experiment by its number of subjects, and \"" +
                          title + "\" gives none: say --subjects N";
            out.text.clear();
            return out;
        }
        if (!first) out.text += '\n';
        out.text += fmt::format("// {}\n// Subjects={}\n", title, *count);
        out.text += foci;
        first = false;
    }
    return out;
}

}  // namespace voikit
