#pragma once

#include <optional>
#include <string>
#include <vector>

#include "voikit/anatomy/atlas_set.h"
#include "voikit/space/coordinate_space.h"

namespace voikit {

// What one atlas has at a point: the region there or, outside every region of the atlas,
// the labelled voxel nearest to it.
struct PointRegion {
    struct Nearest {
        std::string region;
        double distance = 0;  // mm, in MNI
        Point mni{};          // the voxel's centre
    };
    std::string atlas;
    std::string region;              // "" outside every region
    std::optional<Nearest> nearest;  // only outside every region, where the atlas has labels
};

struct PointAnatomy {
    Point tal{};
    Point mni{};
    std::vector<PointRegion> atlases;
    bool brainKnown = false;
    bool inBrain = false;
};

// Looks points up in the atlases and the brain, as the field's whereami and atlasquery do.
class PointLookup {
  public:
    // Opens the atlases and the brain as AtlasSet does; throws Error as it does.
    explicit PointLookup(const AnatomySettings& settings);

    PointAnatomy at(const Point& tal) const;

    const AtlasSet& atlases() const { return set_; }
    MniToTal transform() const { return transform_; }

  private:
    MniToTal transform_;
    AtlasSet set_;
};

}  // namespace voikit
