#pragma once

#include <optional>
#include <string>
#include <vector>

#include "voikit/coordinate_space.h"
#include "voikit/log.h"

namespace voikit {

// What to make of a .voi file.
struct OutputRequest {
    std::string nifti;  // label volume, .nii or .nii.gz; its label table beside it
    std::string grid;   // NIfTI image whose grid the labels use; empty: 1 mm around the VOIs
    std::optional<Space> gridSpace;       // the grid's space where its header does not say
    MniToTal transform = MniToTal::kSpm;  // between TAL and MNI, both ways
    std::string png;                      // projections
    std::string report;                   // plain text; "-" for standard output
    std::string reportJson;               // JSON; "-" for standard output

    bool any() const {
        return !nifti.empty() || !png.empty() || !report.empty() || !reportJson.empty();
    }
};

// Reads the .voi file and writes what the request asks for, telling `log` what was written
// and warning of what was noticed (voxels outside the grid, overlaps). Throws Error at the
// first failure; no output is left half written.
void makeOutputs(const std::string& voiPath, const OutputRequest& request, const Log& log);

}  // namespace voikit
