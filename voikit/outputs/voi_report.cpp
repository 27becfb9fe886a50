#include "voikit/outputs/voi_report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <nlohmann/json.hpp>

#include "voikit/io/utf8.h"
#include "voikit/outputs/sides_report.h"
#include "voikit/outputs/voi_columns.h"
#include "voikit/space/point_text.h"

namespace voikit {
namespace {

std::string centre(const VoiStatistics::Voi& voi) {
    if (voi.voxels == 0) return "-";
    return pointText({voi.centre[0], voi.centre[1], voi.centre[2]});
}

std::string extent(const VoiStatistics::Voi& voi) {
    if (voi.voxels == 0) return "-";
    return fmt::format("{}..{} {}..{} {}..{}", voi.low[0], voi.high[0], voi.low[1], voi.high[1],
                       voi.low[2], voi.high[2]);
}

std::string regionName(const std::string& region) { return region.empty() ? "no region" : region; }

// A VOI's centre of mass in MNI, by the transform the atlases are reached with.
std::string centreInMni(const VoiStatistics::Voi& voi, MniToTal transform) {
    if (voi.voxels == 0) return "-";
    return pointText(talToMni({voi.centre[0], voi.centre[1], voi.centre[2]}, transform));
}

// Where each VOI lies, VOI by VOI: a line per atlas, the brain, and any warning.
std::string anatomyText(const glomera::VoiFileContents& contents, MniToTal transform,
                        const Anatomy* anatomy) {
    if (anatomy == nullptr) return "";
    constexpr std::size_t kRegionsShown = 4;
    std::string text = fmt::format(
        "\nWhere the VOIs lie (atlases in MNI, reached by the {} "
        "transform):\n",
        transformName(transform));
    for (const AtlasSidesFound& found : anatomy->atlasSides) {
        text += "  " + found.atlas + ": " + atlasSidesText(found) + "\n";
    }
    for (const std::string& note : anatomy->notes) text += "  note: " + note + "\n";
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const VoiAnatomy& voi = anatomy->vois[i];
        fmt::format_to(std::back_inserter(text), "  {} {}\n", i + 1, contents.vois[i].info.name);
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
        for (const std::string& warning : voi.warnings) text += "      WARNING: " + warning + "\n";
    }
    return text;
}

template <typename Json>
Json anatomyJson(const VoiAnatomy& voi) {
    Json atlases = Json::object();
    for (const AtlasRegions& atlas : voi.atlases) {
        Json regions = Json::array();
        for (const RegionShare& region : atlas.regions) {
            regions.push_back(
                {{"region", region.region.empty() ? Json() : Json(asUtf8(region.region))},
                 {"voxels", region.voxels},
                 {"share", std::round(region.share * 10000.0) / 10000.0}});
        }
        atlases[asUtf8(atlas.atlas)] = {
            {"centre", atlas.atCentre.empty() ? Json() : Json(asUtf8(atlas.atCentre))},
            {"regions", regions}};
    }
    Json result = {{"atlases", atlases}};
    if (voi.brainKnown) {
        result["brain"] = {{"centre_inside", voi.centreInBrain},
                           {"share_inside", std::round(voi.shareInBrain * 10000.0) / 10000.0}};
    }
    result["warnings"] = utf8Texts(voi.warnings);
    return result;
}

// What made the report, and the methods paragraph when asked for.
std::string closingText(const Provenance* provenance, const Methods* methods) {
    std::string text;
    if (provenance) {
        text += "\nMade by:\n";
        for (const std::string& line : provenanceLines(*provenance)) text += "  " + line + "\n";
    }
    if (methods) text += "\n" + methodsText(*methods);
    return text;
}

}  // namespace

std::string reportText(const std::string& source, const glomera::VoiFileContents& contents,
                       const VoiStatistics& statistics, MniToTal transform, const Anatomy* anatomy,
                       const Provenance* provenance, const Methods* methods) {
    // Every name is known here, so the columns after the names line up under the longest
    // (up to the widest the column grows).
    std::size_t nameWidth = kVoiNameWidth;
    for (const auto& voi : contents.vois) {
        const std::size_t bytes = voi.info.name.size();
        if (bytes <= kWidestVoiNameColumn) nameWidth = std::max(nameWidth, bytes);
    }
    std::string text = fmt::format(
        "VOIs of {}: {}\n\n{}  {:<20}  {:<20}  {}\n", source, contents.vois.size(),
        voiColumnsHeading(nameWidth), "centre of mass TAL",
        fmt::format("centre MNI ({})", transformName(transform)), "extent TAL x y z (mm)");
    auto out = std::back_inserter(text);
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& info = contents.vois[i].info;
        const auto& voi = statistics.vois[i];
        fmt::format_to(out, "{}  {:<20}  {:<20}  {}\n",
                       voiColumns(i + 1, info.name, info.color, voi.voxels, nameWidth), centre(voi),
                       centreInMni(voi, transform), extent(voi));
    }
    text += "\nOverlaps: ";
    const std::string closing =
        anatomyText(contents, transform, anatomy) + closingText(provenance, methods);
    if (statistics.overlaps.empty()) return text + "none\n" + closing;
    fmt::format_to(out, "{} pairs of VOIs share voxels\n", statistics.overlaps.size());
    for (const auto& overlap : statistics.overlaps) {
        fmt::format_to(out, "  {} {} and {} {}: {} voxels\n", overlap.first + 1,
                       contents.vois[overlap.first].info.name, overlap.second + 1,
                       contents.vois[overlap.second].info.name, overlap.sharedVoxels);
    }
    return text + closing;
}

std::string reportJson(const std::string& source, const glomera::VoiFileContents& contents,
                       const VoiStatistics& statistics, MniToTal transform, const Anatomy* anatomy,
                       const Provenance* provenance, const Methods* methods) {
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
            const Point mni = talToMni({voi.centre[0], voi.centre[1], voi.centre[2]}, transform);
            entry["centre"] = {millimetres(voi.centre[0]), millimetres(voi.centre[1]),
                               millimetres(voi.centre[2])};
            entry["centre_mni"] = {millimetres(mni[0]), millimetres(mni[1]), millimetres(mni[2])};
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
    json report = {{"file", asUtf8(source)},
                   {"space", "TAL"},
                   {"mni_to_tal", transformName(transform)},
                   {"vois", vois},
                   {"overlaps", overlaps}};
    if (anatomy) {
        json sides = json::array();
        for (const AtlasSidesFound& found : anatomy->atlasSides) {
            sides.push_back(atlasSidesJson(found));
        }
        report["atlas_sides"] = sides;
        report["anatomy_notes"] = utf8Texts(anatomy->notes);
    }
    if (provenance) report["provenance"] = provenanceJson(*provenance);
    if (methods) report["methods"] = methodsJson(*methods);
    return report.dump(2) + "\n";
}

}  // namespace voikit
