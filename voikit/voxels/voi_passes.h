#pragma once

#include <vector>

#include "voi/voi_reader.h"
#include "voikit/voxels/voxel_runs.h"

namespace voikit {

// Builds an output VOI by VOI from the runs of a file held in memory.
class RunVisitor {
  public:
    virtual ~RunVisitor() = default;
    virtual void beginVoi(const glomera::VoiInfo&) {}
    virtual void runs(const VoxelRun* /*runs*/, std::size_t /*count*/) {}
    virtual void endVoi() {}
};

// Shows each VOI to several visitors in turn, so that every output is made in one sweep.
class FanOut : public RunVisitor {
  public:
    explicit FanOut(std::vector<RunVisitor*> targets) : targets_(std::move(targets)) {}
    void beginVoi(const glomera::VoiInfo& info) override;
    void runs(const VoxelRun* runs, std::size_t count) override;
    void endVoi() override;

  private:
    std::vector<RunVisitor*> targets_;
};

// Shows every VOI, in file order, to a visitor.
void replay(const VoiRuns& runs, RunVisitor& visitor);

}  // namespace voikit
