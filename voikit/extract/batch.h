#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "voikit/extract/extraction.h"
#include "voikit/io/log.h"

namespace voikit {

// What is written of each image: the mean time series, the long table of statistics, or
// the same as JSON.
enum class ExtractTable { kTimeSeries, kStatistics, kJson };

struct BatchSettings {
    std::vector<std::string> images;
    ExtractTable table = ExtractTable::kTimeSeries;
    // One table for all images ("-": standard output), or, with outDir set, one file per
    // image in that folder.
    std::string output = "-";
    std::string outDir;
    // With outDir: each image's file, in place of outputFileFor's names (BIDS derivative
    // names, in folders made as needed); empty: outputFileFor.
    std::vector<std::string> outputs;
    bool skipExisting = false;  // leave out images (or, for one table, the run) already written
    unsigned jobs = 1;          // images worked on side by side
    bool progress = false;      // a progress line on standard error, redrawn in place
    ExtractionSettings extraction;
    // Told of each image whose values were written, from its worker thread: its index, its
    // extraction and the file written ("" for the one table), for the sidecars.
    std::function<void(std::size_t, const ImageExtraction&, const std::string&)> imageExtracted;
};

struct BatchOutcome {
    std::vector<std::pair<std::string, std::string>> failures;  // image, why
    std::size_t written = 0;                                    // images whose values were written
    std::size_t skipped = 0;  // images whose file was already there
};

// The file an image's table goes to in `outDir`: the image's name without .nii or .nii.gz,
// with _voi_timeseries.tsv, _voi_stats.tsv or _voi_stats.json; a name that is no UTF-8 is
// read as Windows-1252 and written as UTF-8.
std::string outputFileFor(const std::string& image, const std::string& outDir, ExtractTable table);

// The processors this process may run on.
unsigned processorsAvailable();

// Extracts the regions' values from every image, `jobs` images at a time, each read volume
// by volume. Each file appears whole or not at all; a table for all images holds them in the
// order given. An image that fails is named in `log` and in the outcome and the others go on.
// Throws Error before any work when two images would write the same file.
BatchOutcome extractImages(const Regions& regions, const BatchSettings& settings, const Log& log);

}  // namespace voikit
