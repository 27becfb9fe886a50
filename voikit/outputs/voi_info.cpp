#include "voikit/outputs/voi_info.h"

#include <fmt/format.h>

#include <iterator>

#include "voi/voi_reader.h"
#include "voikit/outputs/voi_columns.h"
#include "voikit/voxels/voi_file_reading.h"

namespace voikit {
namespace {

class InfoText : public glomera::VoiFileVisitor {
  public:
    void header(const glomera::VoiFileHeader& h) override {
        fmt::format_to(std::back_inserter(text),
                       "format version {}, reference space {}, naming convention {}\n"
                       "VMR resolution {} {} {}, offset {} {} {}, framing cube {}, "
                       "left-right convention {}\n\n{}\n",
                       h.fileVersion, h.referenceSpace, h.namingConvention, h.resolution[0],
                       h.resolution[1], h.resolution[2], h.offset[0], h.offset[1], h.offset[2],
                       h.framingCubeDim, h.leftRightConvention, voiColumnsHeading());
    }
    void beginVoi(const glomera::VoiInfo& info) override {
        ++vois;
        voxels += info.voxelCount;
        text += voiColumns(vois, info.name, info.color, info.voxelCount) + "\n";
    }
    void end(std::int32_t vtcCount) override { vtcs = vtcCount; }

    std::string text;
    std::size_t vois = 0;
    long long voxels = 0;
    std::int32_t vtcs = 0;
};

}  // namespace

std::string voiInfo(const std::string& path, const Log& log) {
    InfoText info;
    readToolboxVoiFile(path, info, log);
    return fmt::format("{}: {} VOIs, {} voxels, {} VTCs\n{}", path, info.vois, info.voxels,
                       info.vtcs, info.text);
}

}  // namespace voikit
