#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/atlas.h"
#include "voikit/coordinate_space.h"
#include "voikit/log.h"
#include "voikit/voi_passes.h"
#include "voikit/voi_statistics.h"

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

// Looks every VOI up in the atlases, in MNI, VOI by VOI, and checks it against the
// brain: a warning when its centre (from the first pass's figures) lies outside the brain or
// less than half of its voxels lie inside. The default atlases and brain are skipped with a
// note when they are not installed; one named by the user that cannot be read throws Error.
class AnatomyPass : public RunVisitor {
  public:
    AnatomyPass(const VoiStatistics& figures, const AnatomySettings& settings);
    ~AnatomyPass() override;
    AnatomyPass(const AnatomyPass&) = delete;
    AnatomyPass& operator=(const AnatomyPass&) = delete;
    void beginVoi(const glomera::VoiInfo& info) override;
    void runs(const VoxelRun* runs, std::size_t count) override;
    void endVoi() override;
    Anatomy finish() { return std::move(anatomy_); }

  private:
    const VoiStatistics& figures_;
    MniToTal transform_;
    std::vector<std::unique_ptr<Atlas>> atlases_;
    std::unique_ptr<Atlas> brain_;
    std::vector<std::vector<std::int64_t>> counts_;  // per atlas, per label, of this VOI
    // What the atlases and the brain say at each lattice voxel in the VOIs' extent, found
    // once: overlapping VOIs share voxels. kUnknown until asked.
    static constexpr std::uint16_t kUnknown = 0xFFFF;
    VoxelExtent extent_;
    std::vector<std::uint16_t> cache_;  // per cell: each atlas, then the brain (1 in, 0 out)
    std::int64_t inBrain_ = 0;
    std::size_t voi_ = 0;
    Anatomy anatomy_;
};

// The same for VOIs held in memory.
Anatomy describeAnatomy(const glomera::VoiFileContents& contents, const VoiStatistics& statistics,
                        const AnatomySettings& settings);

}  // namespace voikit
