#include "voikit/voi_passes.h"

namespace voikit {

void FanOut::header(const glomera::VoiFileHeader& h) {
    for (auto* target : targets_) target->header(h);
}

void FanOut::beginVoi(const glomera::VoiInfo& info) {
    for (auto* target : targets_) target->beginVoi(info);
}

void FanOut::voxels(const std::int32_t* xyz, std::size_t count) {
    for (auto* target : targets_) target->voxels(xyz, count);
}

void FanOut::endVoi() {
    for (auto* target : targets_) target->endVoi();
}

void FanOut::end(std::int32_t vtcCount) {
    for (auto* target : targets_) target->end(vtcCount);
}

void replay(const glomera::VoiFileContents& contents, glomera::VoiFileVisitor& visitor) {
    visitor.header(contents.header);
    for (const auto& voi : contents.vois) {
        visitor.beginVoi(voi.info);
        if (!voi.voxels.empty()) visitor.voxels(voi.voxels.data(), voi.voxels.size() / 3);
        visitor.endVoi();
    }
    visitor.end(contents.header.vtcCount);
}

}  // namespace voikit
