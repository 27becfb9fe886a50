#include "voikit/anatomy/point_lookup.h"

namespace voikit {

PointLookup::PointLookup(const AnatomySettings& settings)
    : transform_(settings.transform), set_(settings) {}

PointAnatomy PointLookup::at(const Point& tal) const {
    PointAnatomy found;
    found.tal = tal;
    found.mni = talToMni(tal, transform_);
    for (const auto& atlas : set_.atlases) {
        PointRegion region;
        region.atlas = atlas->name();
        const std::int32_t label = atlas->labelAtMni(found.mni);
        if (label != 0) {
            region.region = atlas->regionName(label);
        } else if (const auto nearest = atlas->nearestLabelled(found.mni)) {
            region.nearest = PointRegion::Nearest{atlas->regionName(nearest->label),
                                                  nearest->distance, nearest->mni};
        }
        found.atlases.push_back(std::move(region));
    }
    if (set_.brain) {
        found.brainKnown = true;
        found.inBrain = set_.brain->labelAtMni(found.mni) != 0;
    }
    return found;
}

}  // namespace voikit
