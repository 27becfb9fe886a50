#pragma once

#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/anatomy/anatomy.h"
#include "voikit/space/atlas.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/voxels/voi_statistics.h"

namespace voikit {

// What the interactive page shows.
struct ViewPageContents {
    std::string source;                              // the .voi file, named in the title
    const glomera::VoiFileContents* vois = nullptr;  // names and colours
    const VoiStatistics* statistics = nullptr;       // voxels and centres of mass, TAL
    const Anatomy* anatomy = nullptr;                // where each VOI lies; null without atlases
    std::vector<const Atlas*> atlases;               // looked up under the crosshair
    std::string templatePath;                        // the MNI template under the VOIs
    std::string labels;  // the VOIs' labels on the template's grid, as a .nii file's bytes
    MniToTal transform = MniToTal::kSpm;
    bool radiological = false;  // how the viewer starts; the page has a switch
    // A part shown above the viewer, as HTML whose texts are escaped already (the review of
    // an import), and the title the page then takes in place of "VOIs of SOURCE".
    std::string preface;
    std::string title;
    std::string inputSpace;  // the space the VOIs were given in, in words; empty: unsaid
};

// One self-contained HTML page that opens from disk with no server and no network: the
// viewer (niivue) showing the template with the VOIs' labels over it, each VOI in its
// colour; beside it the VOIs with their colours, voxels, centres in TAL and MNI and regions;
// under the crosshair its position in both spaces, the VOI and the atlas regions there; the
// licence notices of the viewer, the templates and the atlases. Every text from the VOIs is
// escaped for where it goes. Throws Error when the template cannot be read.
std::string viewPage(const ViewPageContents& contents);

}  // namespace voikit
