#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "voikit/extract/cleaning_settings.h"

namespace cmd {

// extract's options for the time series: the summary, the mask, the cleaning steps and the
// connectivity matrix, declared on the command and read into one settings struct.
class CleaningOptions {
  public:
    // Declares the options on `command` under their own group.
    static std::shared_ptr<CleaningOptions> declare(CLI::App& command);

    const voikit::CleaningSettings& settings() const { return settings_; }
    // The confounds tables given, one per image in the images' order.
    const std::vector<std::string>& confounds() const { return confounds_; }

    // Completes the settings once the command line is parsed and says what is wrong with the
    // options taken together, for the images and the output chosen; empty when nothing is.
    // `timeSeries` tells that the time series is written (not --stats or --json), `toFile`
    // that it goes to a file, `confoundsFound` that the confounds tables come from elsewhere
    // (a BIDS tree) rather than --confounds.
    std::string settle(std::size_t images, bool timeSeries, bool toFile,
                       bool confoundsFound = false);

  private:
    voikit::CleaningSettings settings_;
    std::vector<std::string> confounds_;
    std::vector<std::string> columnLists_;
};

}  // namespace cmd
