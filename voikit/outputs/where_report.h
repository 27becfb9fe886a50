#pragma once

#include <string>
#include <vector>

#include "voikit/anatomy/point_list.h"
#include "voikit/anatomy/point_lookup.h"
#include "voikit/space/coordinate_space.h"

namespace voikit {

// A point as given, in the space it was given in, and what lies there.
struct WherePoint {
    NamedPoint given;
    Space space = Space::kTal;
    PointAnatomy found;
};

// What lies at each point: the point in TAL and MNI, per atlas the region there or the
// nearest region and how far, whether it lies in the brain, and a warning where its name
// says the other side. First what each atlas's names say of sides and any notes. Plain text
// for people...
std::string whereText(const std::vector<WherePoint>& points, const PointLookup& lookup);

// ... and the same as JSON for scripts.
std::string whereJson(const std::vector<WherePoint>& points, const PointLookup& lookup);

}  // namespace voikit
