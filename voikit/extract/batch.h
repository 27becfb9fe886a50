#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "voikit/extract/cleaning_settings.h"
#include "voikit/extract/extraction.h"
#include "voikit/extract/series_table.h"
#include "voikit/io/log.h"

namespace voikit {

// What is written of each image: the mean time series, the long table of statistics, or
// the same as JSON.
enum class ExtractTable { kTimeSeries, kStatistics, kJson };

// An image's time series as written, for what is written beside it.
struct WrittenSeries {
    std::size_t index;  // into BatchSettings::images
    const std::string& image;
    const SeriesTable& series;
    const CleaningRecord& record;
    std::vector<std::string> files;  // the series first, then the matrix
};

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
    // The time series: its summary, the mask, the cleaning and the connectivity matrix.
    CleaningSettings cleaning;
    // Per image, beside `images` (or empty): its confounds table, needed when the cleaning
    // reads one; its JSON sidecar ("" for the one beside it, if there).
    std::vector<std::string> confounds;
    std::vector<std::string> sidecars;
    // Told of each image whose time series was written, from the worker that wrote it (so,
    // with jobs > 1, from several threads at once).
    std::function<void(const WrittenSeries&)> seriesWritten;
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

// The file of the connectivity matrix beside the series in `seriesFile`:
// NAME_voi_timeseries.tsv gives NAME_voi_connectivity.tsv; X.tsv gives X_connectivity.tsv.
std::string connectivityFileFor(const std::string& seriesFile);

// The processors this process may run on.
unsigned processorsAvailable();

// Extracts the regions' values from every image, `jobs` images at a time, each read volume
// by volume; for the time series, summarised, cleaned and correlated as `cleaning` says.
// Each file appears whole or not at all (an image's series and matrix both or neither); a
// table for all images holds them in the order given. An image that fails is named in `log`
// and in the outcome and the others go on. Throws Error before any work when two images
// would write the same file, when the mask cannot be read, or when a confounds table is
// missing, unreadable, or lacks a column asked for.
BatchOutcome extractImages(const Regions& regions, const BatchSettings& settings, const Log& log);

}  // namespace voikit
