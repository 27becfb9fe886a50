#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/io/log.h"

namespace voikit {

// Voxels (x, y, z) to (x, y, z + length - 1): a file of spheres shrinks some thirty times
// held this way.
using glomera::VoxelRun;

// A .voi file held in memory as runs along z: every VOI's info and voxels in file order,
// duplicates and all, with the header.
struct VoiRuns {
    glomera::VoiFileContents skeleton;  // header and every VOI's info; no voxels
    std::vector<VoxelRun> runs;
    std::vector<std::size_t> firstRun;  // per VOI, and one past the last VOI's runs

    std::size_t vois() const { return skeleton.vois.size(); }
    const VoxelRun* begin(std::size_t voi) const { return runs.data() + firstRun[voi]; }
    std::size_t count(std::size_t voi) const { return firstRun[voi + 1] - firstRun[voi]; }
};

// Reads a .voi file once, as readToolboxVoiFile does. Throws Error naming the file when it
// cannot be read or breaks the format.
VoiRuns readVoiRuns(const std::string& path, const Log& log = Log{});

// The runs of VOIs held in memory.
VoiRuns runsOf(const glomera::VoiFileContents& contents);

}  // namespace voikit
