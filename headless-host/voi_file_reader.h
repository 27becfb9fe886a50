#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace headless {

struct VoiFileHeader {
    std::int32_t fileVersion = 0;
    std::string referenceSpace;
    std::int32_t resolution[3] = {};
    std::int32_t offset[3] = {};
    std::int32_t framingCubeDim = 0;
    std::int32_t leftRightConvention = 0;
    std::string namingConvention;
    std::int32_t voiCount = 0;
    std::int32_t vtcCount = 0;
};

struct VoiInfo {
    std::string name;
    std::int32_t color[3] = {};
    std::int32_t voxelCount = 0;
};

// Receives the parts of a .voi file in file order while it is read.
class VoiFileVisitor {
  public:
    virtual ~VoiFileVisitor() = default;
    virtual void header(const VoiFileHeader&) {}
    virtual void beginVoi(const VoiInfo&) {}
    virtual void voxel(std::int32_t, std::int32_t, std::int32_t) {}
    virtual void endVoi() {}
};

// Reads a .voi file and checks it strictly against the format the plug-in writes: every
// key with its exact spacing, every empty line, CR LF line ends, canonical integers, and
// counts that match what follows. Streams through the file in bounded memory. False, with
// `error` naming the line and what was wrong, when the file cannot be read or is
// malformed; vtcCount in the header arrives once the end is reached.
bool readVoiFile(const std::string& path, VoiFileVisitor& visitor, std::string& error);

// The same check on text already in memory.
bool parseVoiText(const char* data, std::size_t size, VoiFileVisitor& visitor, std::string& error);

// A whole file in memory, for callers that need every voxel.
struct VoiFileContents {
    struct Voi {
        VoiInfo info;
        std::vector<std::int32_t> voxels;  // x, y, z triples
    };
    VoiFileHeader header;
    std::vector<Voi> vois;
};

bool loadVoiFile(const std::string& path, VoiFileContents& contents, std::string& error);

}  // namespace headless
