#include "voikit/voxels/voi_passes.h"

namespace voikit {

void FanOut::beginVoi(const glomera::VoiInfo& info) {
    for (auto* target : targets_) target->beginVoi(info);
}

void FanOut::runs(const VoxelRun* runs, std::size_t count) {
    for (auto* target : targets_) target->runs(runs, count);
}

void FanOut::endVoi() {
    for (auto* target : targets_) target->endVoi();
}

void replay(const VoiRuns& runs, RunVisitor& visitor) {
    for (std::size_t voi = 0; voi < runs.vois(); ++voi) {
        visitor.beginVoi(runs.skeleton.vois[voi].info);
        if (runs.count(voi) > 0) visitor.runs(runs.begin(voi), runs.count(voi));
        visitor.endVoi();
    }
}

}  // namespace voikit
