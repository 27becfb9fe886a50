#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "voikit/anatomy/atlas_set.h"

namespace voikit {

// Millimetres to three decimals, as the reports write them in JSON.
double millimetres(double value);

// What the reports say of an atlas's sides: what its names say against where its labels
// lie, and how its x axis was read where its header has it wrong; as text...
std::string atlasSidesText(const AtlasSidesFound& found);

// ... and as JSON.
nlohmann::ordered_json atlasSidesJson(const AtlasSidesFound& found);

}  // namespace voikit
