#include "voikit/outputs/where_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "voikit/io/utf8.h"
#include "voikit/outputs/sides_report.h"
#include "voikit/space/name_side.h"
#include "voikit/space/point_text.h"

namespace voikit {
namespace {

// "MNI 21.0 -13.0 8.0 (TAL 19.5 -13.0 11.1 by spm)": as given, then in the other space.
std::string placeText(const WherePoint& point, MniToTal transform) {
    const bool mni = point.space == Space::kMni;
    return std::string(spaceName(point.space)) + " " + pointText(point.given.point) + " (" +
           (mni ? "TAL " : "MNI ") + pointText(mni ? point.found.tal : point.found.mni) + " by " +
           transformName(transform) + ")";
}

std::string sideWarning(const WherePoint& point) {
    return sideMismatch(point.given.name, point.found.tal[0], "it");
}

}  // namespace

std::string whereText(const std::vector<WherePoint>& points, const PointLookup& lookup) {
    std::string text = std::string("Atlases in MNI, reached from TAL by the ") +
                       transformName(lookup.transform()) + " transform:\n";
    for (const AtlasSidesFound& found : lookup.atlases().sides) {
        text += "  " + found.atlas + ": " + atlasSidesText(found) + "\n";
    }
    for (const std::string& note : lookup.atlases().notes) text += "  note: " + note + "\n";
    for (const WherePoint& point : points) {
        text += "\n" + (point.given.name.empty() ? "" : point.given.name + ": ") +
                placeText(point, lookup.transform()) + "\n";
        for (const PointRegion& region : point.found.atlases) {
            text += "  " + region.atlas + ": ";
            if (!region.region.empty()) {
                text += region.region + "\n";
            } else if (region.nearest) {
                char distance[32];
                std::snprintf(distance, sizeof distance, "%.1f", region.nearest->distance);
                text += "no region; nearest " + region.nearest->region + ", " + distance +
                        " mm away (MNI " + pointText(region.nearest->mni) + ")\n";
            } else {
                text += "no region\n";
            }
        }
        if (point.found.brainKnown) {
            text += std::string("  brain: ") + (point.found.inBrain ? "inside" : "OUTSIDE") + "\n";
        }
        const std::string warning = sideWarning(point);
        if (!warning.empty()) text += "  WARNING: " + warning + "\n";
    }
    return text;
}

std::string whereJson(const std::vector<WherePoint>& points, const PointLookup& lookup) {
    using Json = nlohmann::ordered_json;
    const auto mm = [](const Point& p) {
        return Json{millimetres(p[0]), millimetres(p[1]), millimetres(p[2])};
    };
    Json list = Json::array();
    for (const WherePoint& point : points) {
        Json atlases = Json::object();
        for (const PointRegion& region : point.found.atlases) {
            Json entry = {{"region", region.region.empty() ? Json() : Json(asUtf8(region.region))}};
            if (region.nearest) {
                entry["nearest"] = {{"region", asUtf8(region.nearest->region)},
                                    {"distance_mm", millimetres(region.nearest->distance)},
                                    {"mni", mm(region.nearest->mni)}};
            }
            atlases[asUtf8(region.atlas)] = entry;
        }
        Json entry = {
            {"name", point.given.name.empty() ? Json() : Json(asUtf8(point.given.name))},
            {"given", {{"space", spaceName(point.space)}, {"xyz", mm(point.given.point)}}},
            {"tal", mm(point.found.tal)},
            {"mni", mm(point.found.mni)},
            {"atlases", atlases}};
        if (point.found.brainKnown) entry["inside_brain"] = point.found.inBrain;
        const std::string warning = sideWarning(point);
        entry["warnings"] = warning.empty() ? Json::array() : Json::array({asUtf8(warning)});
        list.push_back(std::move(entry));
    }
    Json sides = Json::array();
    for (const AtlasSidesFound& found : lookup.atlases().sides) {
        sides.push_back(atlasSidesJson(found));
    }
    const Json report = {{"mni_to_tal", transformName(lookup.transform())},
                         {"points", list},
                         {"atlas_sides", sides},
                         {"notes", utf8Texts(lookup.atlases().notes)}};
    return report.dump(2) + "\n";
}

}  // namespace voikit
