// Any bytes as a .voi file: a clear error or a VOI set whose counts agree with its contents.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "headless-host/voi_file_reader.h"

namespace {

class Counter : public headless::VoiFileVisitor {
  public:
    void header(const headless::VoiFileHeader& h) override { declared = h.voiCount; }
    void beginVoi(const headless::VoiInfo& info) override {
        ++vois;
        expected = info.voxelCount;
        voxels = 0;
    }
    void voxel(std::int32_t, std::int32_t, std::int32_t) override { ++voxels; }
    void endVoi() override {
        if (voxels != expected) std::abort();
    }
    std::int64_t declared = -1, vois = 0, expected = 0, voxels = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Counter counter;
    std::string error;
    const bool ok =
        headless::parseVoiText(reinterpret_cast<const char*>(data), size, counter, error);
    if (ok && (!error.empty() || counter.vois != counter.declared)) std::abort();
    if (!ok && error.empty()) std::abort();
    return 0;
}
