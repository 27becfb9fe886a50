#pragma once

#include <cstdio>
#include <string>

namespace headless {

// What to make of a .voi file beyond loading it.
struct ExportOptions {
    std::string nifti;       // label volume, .nii or .nii.gz; its label table beside it
    std::string grid;        // NIfTI image whose grid the labels use; empty: 1 mm around the VOIs
    std::string png;         // projections
    std::string report;      // plain text; "-" for standard output
    std::string reportJson;  // JSON; "-" for standard output

    bool any() const {
        return !nifti.empty() || !png.empty() || !report.empty() || !reportJson.empty();
    }
};

// Reads the .voi file and writes what the options ask for, telling `log` (if not null)
// what was written and what was noticed (voxels outside the grid, overlaps). False, with
// `error` set, at the first failure; no output is left half written.
bool exportVoiFile(const std::string& voiPath, const ExportOptions& options, std::FILE* log,
                   std::string& error);

}  // namespace headless
