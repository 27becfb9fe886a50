#pragma once

#include <cstdint>
#include <vector>

#include "voi/voxel_buffer.h"

namespace glomera {

// One VOI: a name, a colour and its voxels as consecutive (x, y, z) triples.
struct VoiEntry {
    static constexpr int kNameCapacity = 256;

    char name[kNameCapacity] = {};
    std::int32_t colorR = 0;
    std::int32_t colorG = 0;
    std::int32_t colorB = 0;
    std::int32_t voxelCount = 0;
    VoxelArray voxels;
};

// The contents of one .voi file. The three texts point at storage of whoever fills the set.
struct VoiSet {
    const char* fileName = "";
    std::int32_t fileVersion = 4;
    const char* referenceSpace = "TAL";
    std::int32_t resolutionX = 0;
    std::int32_t resolutionY = 0;
    std::int32_t resolutionZ = 0;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    std::int32_t offsetZ = 0;
    std::int32_t framingCubeDim = 0;
    std::int32_t leftRightConvention = 0;
    const char* namingConvention = "<SUBJ>_<VOI>";
    std::int32_t voiCount = 0;
    std::int32_t vtcCount = 0;
    std::vector<VoiEntry> vois;
};

}  // namespace glomera
