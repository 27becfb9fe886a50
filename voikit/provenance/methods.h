#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "voikit/provenance/input_space.h"
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
    // What the VOIs were made from; none: Talairach coordinates, as a .voi file without an
    // input-space record is taken to be.
    std::optional<InputSpaceRecord> input;
    // Each VOI's voxels on the 1 mm lattice, when the file was read.
    std::vector<std::int64_t> voxelCounts;
};

// How values were taken from images, for the paragraph of an extraction.
struct ExtractionChoices {
    // Spheres made in each image's own millimetres from a table of peaks (peakSpace set),
    // or the VOIs of a .voi file put on each image's grid (voiFile set).
    std::optional<Space> peakSpace;
    bool mixedPeakSpaces = false;  // some peaks in the other space
    std::optional<MethodsChoices> voiFile;
    MniToTal transform = MniToTal::kSpm;
    std::vector<double> radii;  // the spheres' radii, mm
    // The grids met, in words ("2 x 2 x 2 mm cells, 91 x 109 x 91, MNI"), and their spaces.
    std::vector<std::string> grids;
    std::vector<Space> gridSpaces;
    std::vector<std::int64_t> cells;  // each VOI's cells on the first image's grid
    std::string summary = "mean";     // mean, median or eig1
    // The cleaning as sentences, in the order it was done; empty: none.
    std::vector<std::string> cleaning;
    std::optional<double> repetitionTime;  // seconds
};

// A paragraph for a paper's methods section and the references it cites, each a full entry,
// in the order of their authors' names.
struct Methods {
    std::string paragraph;
    std::vector<std::string> references;
};

Methods methodsFor(const MethodsChoices& choices);

// The paragraph of an extraction: the regions and where they came from, the grid, the
// summary, the cleaning with its parameters and the repetition time.
Methods extractionMethods(const ExtractionChoices& choices);

// The paragraph and the references as text to paste: each on one line, so that a word
// processor wraps them.
std::string methodsText(const Methods& methods);

// The same for scripts: {"paragraph": ..., "references": [...]}.
nlohmann::ordered_json methodsJson(const Methods& methods);

}  // namespace voikit
