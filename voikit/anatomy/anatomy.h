#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/anatomy/atlas_set.h"
#include "voikit/space/atlas.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/voxels/voi_statistics.h"
#include "voikit/voxels/voxel_columns.h"

namespace voikit {

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
    // What the user should look at: a VOI outside the brain, or whose name says the other
    // side from its centre's.
    std::vector<std::string> warnings;
};

struct Anatomy {
    std::vector<VoiAnatomy> vois;
    std::vector<AtlasSidesFound> atlasSides;  // per atlas used
    // Atlases or a brain that could not be used, and why; atlases with labels on the other
    // side from their names.
    std::vector<std::string> notes;
};

// A share as the reports and warnings write it: "62%", or "<1%" for a few voxels.
std::string percent(double share);

// Looks every VOI up in the atlases, in MNI, and checks it against the brain: a warning when
// its centre lies outside the brain or less than half of its voxels lie inside, and when its
// name says one side while its centre lies on the other. Opens the atlases and the brain
// first; the default ones are skipped with a note when they are not installed or refused,
// while one named by the user that cannot be read or is refused throws Error.
class AnatomyLookup {
  public:
    explicit AnatomyLookup(const AnatomySettings& settings);
    ~AnatomyLookup();
    AnatomyLookup(const AnatomyLookup&) = delete;
    AnatomyLookup& operator=(const AnatomyLookup&) = delete;

    // Column by column: each position up a column is looked up once for all the VOIs there,
    // and a VOI's stretch of the column counts whole stretches of one region at a time.
    // `named` names the VOIs.
    Anatomy describe(const glomera::VoiFileContents& named, const VoxelColumns& columns,
                     const VoiStatistics& figures) const;

    // The atlases that could be opened, in the order asked for.
    const std::vector<std::unique_ptr<Atlas>>& atlases() const { return set_.atlases; }

  private:
    struct Counts;
    void countColumn(std::int32_t x, std::int32_t y, const VoxelColumns::Stretch* begin,
                     const VoxelColumns::Stretch* end, Counts& counts) const;
    VoiAnatomy describeVoi(const std::string& name, const VoiStatistics::Voi& figures,
                           const Counts& counts, std::size_t row) const;

    // An atlas by its place, or the brain after them.
    const MniImage& image(std::size_t member) const;

    MniToTal transform_;
    AtlasSet set_;
    std::vector<std::vector<std::size_t>> grids_;  // atlases and brain, by the grid they share
};

}  // namespace voikit
