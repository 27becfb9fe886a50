#include "bench/workload.h"

#include <cstdio>
#include <random>

#include "plugin/sphere_voxels.h"

namespace bench {
namespace {

struct Centre {
    float x, y, z;
};

// Centres on a one-decimal grid inside x -68..68, y -103..69, z -42..76.
Centre centre(std::mt19937& random) {
    std::uniform_int_distribution<int> x(-680, 680), y(-1030, 690), z(-420, 760);
    return {x(random) / 10.0f, y(random) / 10.0f, z(random) / 10.0f};
}

}  // namespace

std::string makeCoordinateList(int lines, float radius) {
    std::mt19937 random(1315);
    std::string list;
    char line[96];
    for (int i = 0; i < lines; ++i) {
        const Centre c = centre(random);
        std::snprintf(line, sizeof line, "%.1f %.1f %.1f %.1f S%04d %d %d %d\n", c.x, c.y, c.z,
                      radius, i, (i * 37) % 256, (i * 91) % 256, (i * 53) % 256);
        list += line;
    }
    return list;
}

glomera::VoiSet makeVoiSet(int lines, float radius, const std::string& fileName) {
    std::mt19937 random(1315);
    glomera::VoiSet set;
    static std::string name;
    name = fileName;
    set.fileName = name.c_str();
    set.resolutionX = set.resolutionY = set.resolutionZ = 1;
    set.framingCubeDim = 256;
    set.leftRightConvention = 1;
    for (int i = 0; i < lines; ++i) {
        const Centre c = centre(random);
        glomera::VoiEntry voi;
        std::snprintf(voi.name, sizeof voi.name, "S%04d", i);
        voi.voxels = glomera::makeSphereVoxels(c.x, c.y, c.z, radius, &voi.voxelCount);
        set.vois.push_back(std::move(voi));
    }
    set.voiCount = lines;
    return set;
}

}  // namespace bench
