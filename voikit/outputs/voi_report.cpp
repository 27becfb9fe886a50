#include "voikit/outputs/voi_report.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "voikit/io/utf8.h"

namespace voikit {
namespace {

std::string format(const char* pattern, double a, double b, double c) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

std::string extent(const VoiStatistics::Voi& voi) {
    if (voi.voxels == 0) return "-";
    std::string text;
    for (int axis = 0; axis < 3; ++axis) {
        text += (axis ? " " : "") + std::to_string(voi.low[axis]) + ".." +
                std::to_string(voi.high[axis]);
    }
    return text;
}

// Millimetres to three decimals, as the text report's precision allows.
double millimetres(double value) { return std::round(value * 1000.0) / 1000.0; }

std::string regionName(const std::string& region) { return region.empty() ? "no region" : region; }

// Where each VOI lies, VOI by VOI: a line per atlas, the brain, and any warning.
std::string anatomyText(const glomera::VoiFileContents& contents, const Anatomy* anatomy) {
    if (anatomy == nullptr) return "";
    constexpr std::size_t kRegionsShown = 4;
    std::string text = "\nWhere the VOIs lie (atlases in MNI):\n";
    for (const std::string& note : anatomy->notes) text += "  note: " + note + "\n";
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const VoiAnatomy& voi = anatomy->vois[i];
        text += "  " + std::to_string(i + 1) + " " + contents.vois[i].info.name + "\n";
        for (const AtlasRegions& atlas : voi.atlases) {
            text += "      " + atlas.atlas + ": centre in " + regionName(atlas.atCentre) + ";";
            double rest = 0;
            for (std::size_t r = 0; r < atlas.regions.size(); ++r) {
                if (r < kRegionsShown) {
                    text += (r ? ", " : " ") + regionName(atlas.regions[r].region) + " " +
                            percent(atlas.regions[r].share);
                } else {
                    rest += atlas.regions[r].share;
                }
            }
            if (rest > 0) text += ", others " + percent(rest);
            text += "\n";
        }
        if (voi.brainKnown) {
            text += std::string("      brain: centre ") +
                    (voi.centreInBrain ? "inside" : "OUTSIDE") + ", " + percent(voi.shareInBrain) +
                    " of its voxels inside\n";
        }
        if (!voi.warning.empty()) text += "      WARNING: " + voi.warning + "\n";
    }
    return text;
}

template <typename Json>
Json anatomyJson(const VoiAnatomy& voi) {
    Json atlases = Json::object();
    for (const AtlasRegions& atlas : voi.atlases) {
        Json regions = Json::array();
        for (const RegionShare& region : atlas.regions) {
            regions.push_back({{"region", region.region.empty() ? Json() : Json(region.region)},
                               {"voxels", region.voxels},
                               {"share", std::round(region.share * 10000.0) / 10000.0}});
        }
        atlases[atlas.atlas] = {{"centre", atlas.atCentre.empty() ? Json() : Json(atlas.atCentre)},
                                {"regions", regions}};
    }
    Json result = {{"atlases", atlases}};
    if (voi.brainKnown) {
        result["brain"] = {{"centre_inside", voi.centreInBrain},
                           {"share_inside", std::round(voi.shareInBrain * 10000.0) / 10000.0}};
    }
    result["warning"] = voi.warning.empty() ? Json() : Json(voi.warning);
    return result;
}

}  // namespace

std::string reportText(const std::string& source, const glomera::VoiFileContents& contents,
                       const VoiStatistics& statistics, const Anatomy* anatomy) {
    std::string text = "VOIs of " + source + ": " + std::to_string(contents.vois.size()) + "\n\n";
    char line[512];
    std::snprintf(line, sizeof line, "%5s  %-25s %-11s %9s  %-22s  %s\n", "#", "name", "colour",
                  "voxels", "centre of mass (mm)", "extent x y z (mm)");
    text += line;
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& info = contents.vois[i].info;
        const auto& voi = statistics.vois[i];
        const std::string colour = std::to_string(info.color[0]) + " " +
                                   std::to_string(info.color[1]) + " " +
                                   std::to_string(info.color[2]);
        const std::string centre =
            voi.voxels ? format("%.1f %.1f %.1f", voi.centre[0], voi.centre[1], voi.centre[2])
                       : "-";
        std::snprintf(line, sizeof line, "%5zu  %-25s %-11s %9lld  %-22s  %s\n", i + 1,
                      info.name.c_str(), colour.c_str(), static_cast<long long>(voi.voxels),
                      centre.c_str(), extent(voi).c_str());
        text += line;
    }
    text += "\nOverlaps: ";
    if (statistics.overlaps.empty()) return text + "none\n" + anatomyText(contents, anatomy);
    text += std::to_string(statistics.overlaps.size()) + " pairs of VOIs share voxels\n";
    for (const auto& overlap : statistics.overlaps) {
        text += "  " + std::to_string(overlap.first + 1) + " " +
                contents.vois[overlap.first].info.name + " and " +
                std::to_string(overlap.second + 1) + " " + contents.vois[overlap.second].info.name +
                ": " + std::to_string(overlap.sharedVoxels) + " voxels\n";
    }
    return text + anatomyText(contents, anatomy);
}

std::string reportJson(const std::string& source, const glomera::VoiFileContents& contents,
                       const VoiStatistics& statistics, const Anatomy* anatomy) {
    using json = nlohmann::ordered_json;
    json vois = json::array();
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& info = contents.vois[i].info;
        const auto& voi = statistics.vois[i];
        json entry = {{"index", i + 1},
                      {"name", asUtf8(info.name)},
                      {"color", {info.color[0], info.color[1], info.color[2]}},
                      {"voxels", voi.voxels}};
        if (voi.voxels > 0) {
            entry["centre"] = {millimetres(voi.centre[0]), millimetres(voi.centre[1]),
                               millimetres(voi.centre[2])};
            entry["low"] = {voi.low[0], voi.low[1], voi.low[2]};
            entry["high"] = {voi.high[0], voi.high[1], voi.high[2]};
        }
        if (anatomy) entry["anatomy"] = anatomyJson<json>(anatomy->vois[i]);
        vois.push_back(std::move(entry));
    }
    json overlaps = json::array();
    for (const auto& overlap : statistics.overlaps) {
        overlaps.push_back({{"first", overlap.first + 1},
                            {"second", overlap.second + 1},
                            {"shared", overlap.sharedVoxels}});
    }
    json report = {{"file", asUtf8(source)}, {"vois", vois}, {"overlaps", overlaps}};
    if (anatomy) report["anatomy_notes"] = anatomy->notes;
    return report.dump(2) + "\n";
}

}  // namespace voikit
