#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "voikit/space/atlas.h"
#include "voikit/space/atlas_sides.h"
#include "voikit/space/coordinate_space.h"

namespace voikit {

// Which atlases to look up, and the brain to check against.
struct AnatomySettings {
    std::vector<std::string> atlases = defaultAtlases();  // NAME|IMAGE[:LABELS]
    std::string brain;                    // brain-extracted template; empty: the default ch2bet
    MniToTal transform = MniToTal::kSpm;  // TAL to MNI, where the atlases are
    AtlasSideRule sideRule = AtlasSideRule::kCheck;  // for atlases whose sides look swapped
};

// What an atlas's names say of sides, as the reports tell it.
struct AtlasSidesFound {
    std::string atlas;
    std::optional<AtlasSides> sides;  // none for an atlas without label names
    std::string xAxisCorrection;      // how its x axis was read, where its header has it wrong
};

// The atlases and the brain that lookups go through, opened as the settings ask: the default
// ones are left out with a note when they are not installed or are refused, while one named
// by the user that cannot be read or is refused throws Error.
struct AtlasSet {
    explicit AtlasSet(const AnatomySettings& settings);

    std::vector<std::unique_ptr<Atlas>> atlases;
    std::unique_ptr<Atlas> brain;        // null when the default brain is not installed
    std::vector<AtlasSidesFound> sides;  // per atlas
    // Atlases or a brain that could not be used, and why; atlases with labels on the other
    // side from their names.
    std::vector<std::string> notes;
};

}  // namespace voikit
