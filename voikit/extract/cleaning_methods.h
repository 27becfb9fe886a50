#pragma once

#include <string>
#include <vector>

#include "voikit/extract/cleaning_settings.h"

namespace voikit {

// The cleaning of the series as a methods section says it, a sentence per step in the order
// the steps ran, with their parameters; from one image's record, the confound columns the
// patterns matched and the volumes censored. Empty when nothing was done.
std::vector<std::string> cleaningSentences(const CleaningSettings& settings,
                                           const CleaningRecord* record);

}  // namespace voikit
