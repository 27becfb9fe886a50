#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "voikit/extract/extraction.h"
#include "voikit/provenance/methods.h"
#include "voikit/provenance/provenance.h"

namespace voikit {

// One VOI as the sidecar lists it: its name and column, and where it came from: a sphere's
// centre (as written, and in TAL) and radius where known, else its voxels' centre of mass.
struct SidecarVoi {
    std::string name;
    std::string column;
    std::optional<Space> space;  // of `centre`; none: no centre known
    Point centre{};
    std::optional<Point> centreTal;
    std::optional<double> radius;        // mm
    std::optional<std::int64_t> voxels;  // on the 1 mm TAL lattice, for a .voi file's VOIs
};

// One image as the sidecar records it.
struct SidecarImage {
    std::string image;
    std::string output;  // the table its values went to
    std::int64_t volumes = 0;
    LabelGrid grid;
    std::vector<std::int64_t> cells;                 // per VOI on this image's grid
    std::optional<double> repetitionTime;            // seconds
    std::string repetitionTimeSource;                // where it was read
    std::string confounds;                           // the confounds table, "" none
    std::optional<nlohmann::ordered_json> cleaning;  // what was done to this image; none: nothing
    std::vector<std::string> otherOutputs;           // written beside the table (a matrix, ...)
};

// Everything one sidecar says: the table it describes, the VOIs, the settings, what made it.
struct SidecarContents {
    std::string table;  // the table described
    std::string kind;   // "timeseries", "statistics"
    std::vector<SidecarVoi> vois;
    std::string regions;     // "spheres in each image's millimetres", ...
    std::string inputSpace;  // in words, inputSpaceWords
    std::string summary = "mean";
    nlohmann::ordered_json cleaningSettings;  // as asked; null: none
    std::vector<SidecarImage> images;
    Provenance provenance;
    Methods methods;
};

// The sidecar's path beside a table: X.tsv -> X.json; a table that is itself X.json gets
// X_sidecar.json.
std::string sidecarPathFor(const std::string& table);

// The sidecar as JSON, every text as UTF-8. With one image, its repetition time is at the
// top level as "RepetitionTime", as BIDS readers look for it.
nlohmann::ordered_json sidecarJson(const SidecarContents& contents);

// The grid in words, for methods paragraphs: "2 x 2 x 2 mm cells, 91 x 109 x 91, MNI".
std::string gridWords(const LabelGrid& grid);

}  // namespace voikit
