#include "voikit/outputs/voi_info.h"

#include <cstdio>

#include "voi/voi_reader.h"
#include "voikit/io/error.h"

namespace voikit {
namespace {

class InfoText : public glomera::VoiFileVisitor {
  public:
    void header(const glomera::VoiFileHeader& h) override {
        char line[512];
        std::snprintf(line, sizeof line,
                      "format version %d, reference space %s, naming convention %s\n"
                      "VMR resolution %d %d %d, offset %d %d %d, framing cube %d, "
                      "left-right convention %d\n\n",
                      h.fileVersion, h.referenceSpace.c_str(), h.namingConvention.c_str(),
                      h.resolution[0], h.resolution[1], h.resolution[2], h.offset[0], h.offset[1],
                      h.offset[2], h.framingCubeDim, h.leftRightConvention);
        text += line;
        std::snprintf(line, sizeof line, "%5s  %-25s %-11s %9s\n", "#", "name", "colour", "voxels");
        text += line;
    }
    void beginVoi(const glomera::VoiInfo& info) override {
        ++vois;
        voxels += info.voxelCount;
        const std::string colour = std::to_string(info.color[0]) + " " +
                                   std::to_string(info.color[1]) + " " +
                                   std::to_string(info.color[2]);
        char line[512];
        std::snprintf(line, sizeof line, "%5ld  %-25s %-11s %9d\n", vois, info.name.c_str(),
                      colour.c_str(), info.voxelCount);
        text += line;
    }
    void end(std::int32_t vtcCount) override { vtcs = vtcCount; }

    std::string text;
    long vois = 0;
    long long voxels = 0;
    std::int32_t vtcs = 0;
};

}  // namespace

std::string voiInfo(const std::string& path) {
    InfoText info;
    try {
        glomera::readVoiFile(path, info);
    } catch (const glomera::VoiReadError& error) {
        throw Error(path + ": " + error.what());
    }
    return path + ": " + std::to_string(info.vois) + " VOIs, " + std::to_string(info.voxels) +
           " voxels, " + std::to_string(info.vtcs) + " VTCs\n" + info.text;
}

}  // namespace voikit
