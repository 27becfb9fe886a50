#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "voikit/signal/connectivity.h"

namespace voikit {

// How a VOI's cells make one value per volume.
enum class Summary { kMean, kMedian, kEig1 };
enum class Standardize { kNone, kZscore, kPsc };

// What the user asked of each summary series, and of the cells behind it; the steps run in
// the order of the fields.
struct CleaningSettings {
    Summary summary = Summary::kMean;
    std::string mask;  // an image: cells where it is not above maskThreshold are left out
    double maskThreshold = 0;
    std::int64_t dropVolumes = 0;
    bool detrend = false;
    std::optional<double> highPass;            // Hz
    std::optional<double> lowPass;             // Hz
    std::vector<std::string> confoundColumns;  // as given: names or patterns with *
    std::string censorColumn;                  // a 0/1 column; 1 leaves the volume out
    std::optional<double> fdThreshold;         // mm of framewise_displacement
    Standardize standardize = Standardize::kNone;
    std::optional<double> repetitionTime;  // seconds, from the command line
    Connectivity connectivity = Connectivity::kNone;
    bool fisherZ = false;

    // Whether any step changes the summary series.
    bool cleans() const;
    // Whether a confounds table is read.
    bool readsConfounds() const;
};

// What was done to one image's series.
struct CleaningRecord {
    std::optional<double> repetitionTime;      // seconds
    std::string repetitionTimeSource;          // "--t-r", the sidecar's path, or "pixdim[4]"
    std::string confounds;                     // the table's path
    std::vector<std::string> confoundColumns;  // the columns the patterns matched, in order
    std::size_t dependentColumns = 0;          // left out of the fit: explained by the others
    std::vector<std::pair<std::string, std::int64_t>> filledColumns;  // n/a cells given the mean
    std::vector<std::int64_t> censored;  // volumes left out, counted from 0 in the whole image
    std::int64_t volumesKept = 0;        // rows written (after dropping)
};

const char* summaryName(Summary summary);
const char* standardizeName(Standardize standardize);
const char* connectivityName(Connectivity connectivity);

// The settings and, for one image, what was done, as JSON for a sidecar.
nlohmann::json toJson(const CleaningSettings& settings);
nlohmann::json toJson(const CleaningRecord& record);

}  // namespace voikit
