#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voikit/extract/cleaning_settings.h"
#include "voikit/extract/confounds_table.h"
#include "voikit/extract/extraction.h"
#include "voikit/extract/repetition_time.h"
#include "voikit/extract/series_table.h"

namespace voikit {

// The order of the filter the band options design.
constexpr int kFilterOrder = 5;

// The series the summary asks for: each volume's mean or median of the VOI's cells, or its
// first eigenvariate (which extractImage must have worked out).
SeriesTable summarySeries(const ImageExtraction& extraction, Summary summary);

// Checks of the settings that need no image: the band's order, and with --t-r, the band
// below the Nyquist frequency. Throws Error saying what is wrong.
void checkCleaning(const CleaningSettings& settings);

// The series cleaned as the settings say, in this order: the first volumes dropped; the
// censored volumes found; each series and confound detrended (linear), then band-filtered
// (zero-phase Butterworth), then the confounds' fit, with an intercept, taken away over the
// volumes not censored; censored volumes n/a; then z-scores or percent signal change. A
// VOI whose series has an n/a volume stays n/a throughout. `confounds` may be null when the
// settings read none. Throws Error naming the image for what makes it impossible: a table
// of another length than the image, a filter without a repetition time or above the
// Nyquist frequency, a series too short for the filter, too few volumes for the confounds.
// `warnings` takes what the user should know; `record` what was done.
SeriesTable cleanSeries(SeriesTable series, const std::string& image,
                        const ConfoundsTable* confounds, const RepetitionTime& repetitionTime,
                        const CleaningSettings& settings, const std::vector<std::string>& names,
                        std::vector<std::string>& warnings, CleaningRecord& record);

}  // namespace voikit
