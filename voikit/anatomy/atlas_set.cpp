#include "voikit/anatomy/atlas_set.h"

#include <algorithm>

#include "voikit/io/error.h"

namespace voikit {
namespace {

bool isDefault(const std::string& choice) {
    const std::vector<std::string> defaults = defaultAtlases();
    return std::find(defaults.begin(), defaults.end(), choice) != defaults.end();
}

// An atlas, or nothing with a note when a default one is not installed or refused.
std::unique_ptr<Atlas> openAtlas(const std::string& choice, bool optional, AtlasSideRule rule,
                                 std::vector<std::string>& notes) {
    try {
        return std::make_unique<Atlas>(choice, rule);
    } catch (const Error& error) {
        if (!optional) throw;
        notes.push_back(std::string("no ") + choice + " lookups: " + error.what() +
                        (defaultAtlasInstalled(choice) ? "" : " (install mricron-data)"));
        return nullptr;
    }
}

// What the user hears of an atlas's labels that lie on the other side from their names.
void noteMisplacedLabels(const Atlas& atlas, std::vector<std::string>& notes) {
    if (!atlas.sides() || atlas.sides()->misplaced.empty()) return;
    const AtlasSides& sides = *atlas.sides();
    notes.push_back(
        atlas.name() + ": " + std::to_string(sides.misplaced.size()) + " of " +
        std::to_string(sides.judged()) +
        " labels named for a side lie on the other side of x = 0: " + misplacedLabels(sides, 8) +
        (sides.mostMisplaced() ? "; used as it is, as --atlas-sides ignore asks"
                               : "; their regions may be named for the wrong side"));
}

}  // namespace

AtlasSet::AtlasSet(const AnatomySettings& settings) {
    for (const std::string& choice : settings.atlases) {
        if (auto atlas = openAtlas(choice, isDefault(choice), settings.sideRule, notes)) {
            noteMisplacedLabels(*atlas, notes);
            sides.push_back({atlas->name(), atlas->sides(), atlas->xAxisCorrection()});
            atlases.push_back(std::move(atlas));
        }
    }
    brain = openAtlas(settings.brain.empty() ? defaultBrain() : settings.brain,
                      settings.brain.empty(), settings.sideRule, notes);
}

}  // namespace voikit
