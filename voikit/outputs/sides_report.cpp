#include "voikit/outputs/sides_report.h"

#include <cmath>

#include "voikit/io/utf8.h"

namespace voikit {

double millimetres(double value) { return std::round(value * 1000.0) / 1000.0; }

std::string atlasSidesText(const AtlasSidesFound& found) {
    std::string text = found.sides ? sidesStatement(*found.sides) : "no label names";
    if (!found.xAxisCorrection.empty()) text += "; " + found.xAxisCorrection;
    return text;
}

nlohmann::ordered_json atlasSidesJson(const AtlasSidesFound& found) {
    using Json = nlohmann::ordered_json;
    Json result = {{"atlas", asUtf8(found.atlas)}};
    if (found.sides) {
        const AtlasSides& sides = *found.sides;
        Json misplaced = Json::array();
        for (const AtlasSides::Misplaced& label : sides.misplaced) {
            misplaced.push_back({{"label", asUtf8(label.name)}, {"x", millimetres(label.x)}});
        }
        result["sided_labels"] = sides.sided;
        result["near_midline"] = sides.nearMidline;
        result["on_the_other_side"] = misplaced;
        result["labels_without_side"] = sides.unsided;
        result["in_both_hemispheres"] = sides.bothSides;
    }
    result["x_axis"] =
        found.xAxisCorrection.empty() ? Json("as in its header") : Json(found.xAxisCorrection);
    return result;
}

}  // namespace voikit
