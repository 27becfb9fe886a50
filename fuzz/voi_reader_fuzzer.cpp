// Any bytes as a .voi file: a clear error or a VOI set whose counts agree with its contents.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "voi/voi_reader.h"

namespace {

class Counter : public glomera::VoiFileVisitor {
  public:
    void header(const glomera::VoiFileHeader& h) override { declared = h.voiCount; }
    void beginVoi(const glomera::VoiInfo& info) override {
        ++vois;
        expected = info.voxelCount;
        voxelCount = 0;
    }
    void voxels(const std::int32_t*, std::size_t count) override { voxelCount += count; }
    void endVoi() override {
        if (voxelCount != expected) std::abort();
        voxelCount = 0;
    }
    void end(std::int32_t) override { ended = true; }
    std::int64_t declared = -1, vois = 0, expected = 0, voxelCount = 0;
    bool ended = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Counter counter;
    try {
        glomera::parseVoiText(reinterpret_cast<const char*>(data), size, counter);
    } catch (const glomera::VoiReadError& error) {
        if (std::string(error.what()).empty() || counter.ended) std::abort();
        return 0;
    }
    if (!counter.ended || counter.vois != counter.declared) std::abort();
    return 0;
}
