#include "voikit/extract/peak_spheres.h"

namespace voikit {

std::vector<Sphere> peakSpheres(const ImportResult& result, std::optional<double> radius) {
    std::vector<Sphere> spheres;
    spheres.reserve(result.peaks.size());
    for (const AcceptedPeak& peak : result.peaks) {
        spheres.push_back({peak.writings.front().second, peak.written,
                           radius.value_or(peak.values.radius), peak.name});
    }
    return spheres;
}

}  // namespace voikit
