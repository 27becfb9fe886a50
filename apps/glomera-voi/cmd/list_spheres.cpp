#include "apps/glomera-voi/cmd/list_spheres.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "plugin/sphere_voxels.h"
#include "voi/voi_writer.h"
#include "voikit/io/error.h"

bool writeListSpheres(const voikit::ImportResult& result, const std::string& path) {
    glomera::VoiSet set;
    set.fileName = path.c_str();
    set.resolutionX = set.resolutionY = set.resolutionZ = 1;
    set.framingCubeDim = 256;
    set.leftRightConvention = 1;
    for (const voikit::AcceptedPeak& peak : result.peaks) {
        const glomera::VoiLineValues& v = peak.values;
        glomera::VoiEntry entry;
        const std::size_t length = std::min(v.name.size(), glomera::VoiLineValues::kNameLimit);
        std::memcpy(entry.name, v.name.data(), length);
        entry.colorR = v.r;
        entry.colorG = v.g;
        entry.colorB = v.b;
        entry.voxels = glomera::makeSphereVoxels(v.x, v.y, v.z, v.radius, &entry.voxelCount);
        if (!entry.voxels) return false;
        set.vois.push_back(std::move(entry));
    }
    set.voiCount = static_cast<std::int32_t>(set.vois.size());
    return glomera::writeVoiFile(set);
}

ScratchFolder::ScratchFolder() {
    std::error_code error;
    std::string base = std::filesystem::temp_directory_path(error).string();
    if (error) base = "/tmp";
    std::string pattern = base + "/glomera-review-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        throw voikit::Error("cannot make a temporary folder in " + base + ": " +
                            std::strerror(errno));
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}
