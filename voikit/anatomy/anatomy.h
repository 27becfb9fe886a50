#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/io/log.h"
#include "voikit/space/atlas.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/voxels/voi_statistics.h"
#include "voikit/voxels/voxel_columns.h"

namespace voikit {

// Which atlases to look the VOIs up in, and the brain to check them against.
struct AnatomySettings {
    std::vector<std::string> atlases = defaultAtlases();  // NAME|IMAGE[:LABELS]
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

// A share as the reports and warnings write it: "62%", or "<1%" for a few voxels.
std::string percent(double share);

// Looks every VOI up in the atlases, in MNI, and checks it against the brain: a warning when
// its centre lies outside the brain or less than half of its voxels lie inside. Opens the
// atlases and the brain first; the default ones are skipped with a note when they are not
// installed, while one named by the user that cannot be read throws Error.
class AnatomyLookup {
  public:
    explicit AnatomyLookup(const AnatomySettings& settings);
    ~AnatomyLookup();
    AnatomyLookup(const AnatomyLookup&) = delete;
    AnatomyLookup& operator=(const AnatomyLookup&) = delete;

    // Column by column: each position up a column is looked up once for all the VOIs there,
    // and a VOI's stretch of the column counts whole stretches of one region at a time.
    Anatomy describe(const VoxelColumns& columns, const VoiStatistics& figures) const;

    // The atlases that could be opened, in the order asked for.
    const std::vector<std::unique_ptr<Atlas>>& atlases() const { return atlases_; }

  private:
    struct Counts;
    void countColumn(std::int32_t x, std::int32_t y, const VoxelColumns::Stretch* begin,
                     const VoxelColumns::Stretch* end, Counts& counts) const;
    VoiAnatomy describeVoi(const VoiStatistics::Voi& figures, const Counts& counts,
                           std::size_t row) const;

    // An atlas by its place, or the brain after them.
    const MniImage& image(std::size_t member) const;

    MniToTal transform_;
    std::vector<std::unique_ptr<Atlas>> atlases_;
    std::unique_ptr<Atlas> brain_;
    std::vector<std::vector<std::size_t>> grids_;  // atlases and brain, by the grid they share
    std::vector<std::string> notes_;
};

// The same for VOIs held in memory.
Anatomy describeAnatomy(const glomera::VoiFileContents& contents, const VoiStatistics& statistics,
                        const AnatomySettings& settings);

}  // namespace voikit
