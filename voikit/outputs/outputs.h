#pragma once

#include <optional>
#include <string>
#include <vector>

#include "voikit/io/log.h"
#include "voikit/picture/projection_picture.h"
#include "voikit/provenance/input_space.h"
#include "voikit/provenance/methods.h"
#include "voikit/provenance/provenance.h"
#include "voikit/space/atlas.h"
#include "voikit/space/coordinate_space.h"

namespace voikit {

struct Anatomy;
struct VoiStatistics;

// What to make of a .voi file.
struct OutputRequest {
    // A label volume (.nii or .nii.gz) with its label tables beside it, on a 1 mm TAL grid
    // around the VOIs or on the grid of another image.
    std::string nifti;
    std::string grid;
    std::optional<Space> gridSpace;  // the grid's space where its header does not say

    // The picture: PNG, SVG and PDF, in the neurological convention unless radiological.
    std::string png;
    std::string svg;
    std::string pdf;
    bool radiological = false;

    // Reports: plain text and JSON ("-" for standard output), with where each VOI lies in
    // the atlases (NAME or IMAGE[:LABELS]) unless anatomy is off.
    std::string report;
    std::string reportJson;
    std::vector<std::string> atlases = defaultAtlases();
    bool anatomy = true;
    bool methods = false;  // the reports end with a methods paragraph and its references

    // The interactive page (HTML): the template and the VOIs in a viewer, the list of VOIs
    // with their centres and regions beside it, all inside one file.
    std::string html;
    // A part the page shows above the viewer, as escaped HTML, and the page's title in place
    // of "VOIs of FILE" (the review of an import).
    std::string htmlPreface;
    std::string htmlTitle;

    // The brain-extracted template shown in the picture and the page and checked against;
    // empty: ch2bet.
    std::string brain;
    MniToTal transform = MniToTal::kSpm;             // between TAL and MNI, both ways
    AtlasSideRule sideRule = AtlasSideRule::kCheck;  // for atlases whose sides look swapped

    // The program and command line that asked, for the provenance every report and label
    // table carries.
    Invocation invocation;

    bool picture() const { return !png.empty() || !svg.empty() || !pdf.empty(); }
    bool any() const {
        return !nifti.empty() || picture() || !report.empty() || !reportJson.empty() ||
               !html.empty();
    }
};

// Throws Error when the request names one file twice, the tables beside a label volume
// included (its .json sidecar and a JSON report of the same name, say), saying which.
void checkOutputsDistinct(const OutputRequest& request);

// Reads the .voi file and writes what the request asks for, telling `log` what was written
// and warning of what was noticed (voxels outside the grid, overlaps, VOIs outside the
// brain). The reports and the label tables say what made them: the invocation, the transform
// and the files read, the atlases and templates with their checksums. Throws Error at the
// first failure, or before any when checkOutputsDistinct does; no output is left half
// written.
void makeOutputs(const std::string& voiPath, const OutputRequest& request, const Log& log);

// The methods paragraph for what the request asks of the reports. Which atlases were read
// with their x axis mirrored comes from the anatomy the report found; without it, from the
// atlases' images as installed. The input space comes from the .voi file's record (none:
// Talairach input), the voxel counts from its figures.
Methods methodsOf(const OutputRequest& request, const Anatomy* anatomy = nullptr,
                  const std::optional<InputSpaceRecord>& input = std::nullopt,
                  const VoiStatistics* statistics = nullptr);

// The .voi file's input-space record, read as every output of it reads it: a record that
// is there but not believed is warned of; a file without one is described as Talairach input
// (said when `mention` is set).
std::optional<InputSpaceRecord> voiInputSpace(const std::string& voiPath, const Log& log,
                                              bool mention);

// The picture in the space the VOIs were given in: MNI axes where the record says every VOI
// came from MNI coordinates, and the peaks it says were dropped named under the legend.
void pictureInInputSpace(PictureSettings& picture, const std::optional<InputSpaceRecord>& input);

}  // namespace voikit
