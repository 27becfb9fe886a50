#include "tests/test_vois.h"

#include "plugin/sphere_voxels.h"

glomera::VoiFileContents::Voi sphereVoi(const char* name, float x, float y, float z, float radius,
                                        std::int32_t r, std::int32_t g, std::int32_t b) {
    glomera::VoiFileContents::Voi voi;
    voi.info.name = name;
    voi.info.color[0] = r;
    voi.info.color[1] = g;
    voi.info.color[2] = b;
    std::int32_t count = 0;
    auto voxels = glomera::makeSphereVoxels(x, y, z, radius, &count);
    voi.voxels.assign(voxels.get(), voxels.get() + 3 * std::ptrdiff_t{count});
    voi.info.voxelCount = count;
    return voi;
}

glomera::VoiFileContents oneSphere(float x, float y, float z, float radius) {
    glomera::VoiFileContents contents;
    contents.vois.push_back(sphereVoi("S", x, y, z, radius));
    return contents;
}
