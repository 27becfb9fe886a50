#include "tests/support/voi_file_loading.h"

#include <cstddef>
#include <cstdint>

namespace glomera {
namespace {

class Collector : public VoiFileVisitor {
  public:
    explicit Collector(VoiFileContents& contents) : contents_(contents) {}
    void header(const VoiFileHeader& h) override { contents_.header = h; }
    void beginVoi(const VoiInfo& info) override {
        contents_.vois.push_back({info, {}});
        contents_.vois.back().voxels.reserve(3 * static_cast<std::size_t>(info.voxelCount));
    }
    void voxels(const std::int32_t* xyz, std::size_t count) override {
        auto& voxels = contents_.vois.back().voxels;
        voxels.insert(voxels.end(), xyz, xyz + 3 * count);
    }
    void end(std::int32_t vtcCount) override { contents_.header.vtcCount = vtcCount; }

  private:
    VoiFileContents& contents_;
};

}  // namespace

VoiFileContents loadVoiFile(const std::string& path) {
    VoiFileContents contents;
    Collector collector(contents);
    readVoiFile(path, collector);
    return contents;
}

}  // namespace glomera
