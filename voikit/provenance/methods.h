#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "voikit/space/coordinate_space.h"

namespace voikit {

// What a report's findings rest on, as the methods section of a paper says it.
struct MethodsChoices {
    MniToTal transform = MniToTal::kSpm;
    std::vector<std::string> atlases;  // NAME|IMAGE[:LABELS], as --atlas takes them
    bool anatomy = true;               // false: no atlas lookups, no check against the brain
    std::string brain;                 // the brain-extracted template; empty: ch2bet
    // Of the atlases, those whose image was read with its x axis mirrored because its header
    // swaps left and right (the known JHU files of mricron-data).
    std::vector<std::string> xAxisCorrected;
};

// A paragraph for a paper's methods section and the references it cites, each a full entry,
// in the order of their authors' names.
struct Methods {
    std::string paragraph;
    std::vector<std::string> references;
};

Methods methodsFor(const MethodsChoices& choices);

// The paragraph and the references as text to paste: each on one line, so that a word
// processor wraps them.
std::string methodsText(const Methods& methods);

// The same for scripts: {"paragraph": ..., "references": [...]}.
nlohmann::ordered_json methodsJson(const Methods& methods);

}  // namespace voikit
