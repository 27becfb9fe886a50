#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/coordinate_space.h"
#include "voikit/log.h"
#include "voikit/voi_statistics.h"

namespace voikit {

// Which atlases to look the VOIs up in, and the brain to check them against.
struct AnatomySettings {
    std::vector<std::string> atlases = {"aal", "brodmann", "jhu", "aicha"};  // NAME|IMAGE[:LABELS]
    std::string brain;                    // brain-extracted template; empty: the default ch2bet
    MniToTal transform = MniToTal::kSpm;  // TAL to MNI, where the atlases are
};

// A region a VOI's voxels fall in; "" for voxels in no region of the atlas.
struct RegionShare {
    std::string region;
    std::int64_t voxels = 0;
    double share = 0;  // of the VOI's voxels
};

struct AtlasRegions {
    std::string atlas;
    std::string atCentre;              // the region at the VOI's centre of mass, "" for none
    std::vector<RegionShare> regions;  // largest share first
};

struct VoiAnatomy {
    std::vector<AtlasRegions> atlases;
    bool brainKnown = false;
    bool centreInBrain = false;
    double shareInBrain = 0;
    std::string warning;  // empty when the VOI sits in the brain
};

struct Anatomy {
    std::vector<VoiAnatomy> vois;
    std::vector<std::string> notes;  // atlases or a brain that could not be used, and why
};

// Looks every VOI up in the atlases, in MNI, and checks it against the brain: a warning
// when its centre lies outside the brain or less than half of its voxels lie inside. The
// default atlases and brain are skipped with a note when they are not installed; one named
// by the user that cannot be read throws Error.
Anatomy describeAnatomy(const glomera::VoiFileContents& contents, const VoiStatistics& statistics,
                        const AnatomySettings& settings);

}  // namespace voikit
