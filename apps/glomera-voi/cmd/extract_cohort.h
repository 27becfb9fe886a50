#pragma once

// extract's options for cohorts and records, apart from the extraction itself: a BIDS
// derivatives tree as input, the dry run that checks a command before a cluster runs it,
// and the JSON sidecar that says what each table holds and how it was made.

#include <CLI/CLI.hpp>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "voikit/extract/batch.h"
#include "voikit/extract/bids_derivatives.h"
#include "voikit/extract/extraction_sidecar.h"
#include "voikit/extract/regions.h"
#include "voikit/io/log.h"
#include "voikit/provenance/input_space.h"

struct CohortArguments {
    std::string bids;  // the derivatives folder
    std::string task;
    std::string bidsSpace;
    std::string desc = "preproc";
    bool dryRun = false;
};

// Declares --bids, --task, --bids-space, --desc and --dry-run in their own group.
void addCohortOptions(CLI::App& command, CohortArguments& arguments);

// Where the VOIs come from, as the sidecar and the methods describe them.
struct RegionsSource {
    std::string path;  // the .voi file or the table of peaks
    bool peaks = false;
    voikit::MniToTal transform = voikit::MniToTal::kSpm;
    std::optional<voikit::InputSpaceRecord> input;  // a .voi file's record
};

// With --bids: the runs of the tree as the images, each written under --out-dir by its
// BIDS derivative name (desc from the VOIs' file name). Returns a usage message, or "" when
// all is well. Throws voikit::Error when the tree cannot be read.
std::string takeBidsRuns(const CohortArguments& arguments, const RegionsSource& source,
                         voikit::BatchSettings& settings, const voikit::Log& log);

// With --bids: dataset_description.json in --out-dir, which must be there.
void writeBidsDescription(const CohortArguments& arguments, const voikit::BatchSettings& settings);

// --dry-run: the images and where each would be written, every header read; nothing written.
// Returns 0 when every image can be read, 3 (incomplete) when some cannot, each named.
int dryRun(const voikit::BatchSettings& settings, const voikit::Regions& regions);

// Writes the JSON sidecar beside each table: per image with --out-dir (as each is written),
// else once for the one table -o names. Attach before the extraction, finish after it.
class SidecarWriter {
  public:
    SidecarWriter(const voikit::Regions& regions, RegionsSource source,
                  const voikit::BatchSettings& settings);
    void attach(voikit::BatchSettings& settings);
    void finish(const voikit::BatchOutcome& outcome, const voikit::Log& log);

  private:
    voikit::SidecarContents contents(std::vector<voikit::SidecarImage> images,
                                     const std::string& table,
                                     const voikit::CleaningRecord* record) const;
    voikit::SidecarImage imageRecord(std::size_t index, const voikit::ImageExtraction& extraction,
                                     const std::string& output) const;

    // What the cleaning told of an image's series, before the image's sidecar is written.
    struct SeriesFacts {
        voikit::CleaningRecord record;
        std::vector<std::string> files;  // the series, then the matrix
    };

    RegionsSource source_;
    const voikit::BatchSettings& settings_;
    std::vector<voikit::SidecarVoi> vois_;
    std::mutex mutex_;
    std::vector<std::optional<voikit::SidecarImage>> images_;  // for the one table
    std::vector<std::optional<SeriesFacts>> series_;           // by image; each slot one worker's
};
