#pragma once

#include <vector>

#include "voi/voi_reader.h"

namespace voikit {

// Shows what one reading of a .voi file finds to several visitors in turn, so that every
// output is made VOI by VOI from a single pass over the voxels.
class FanOut : public glomera::VoiFileVisitor {
  public:
    explicit FanOut(std::vector<glomera::VoiFileVisitor*> targets) : targets_(std::move(targets)) {}
    void header(const glomera::VoiFileHeader& h) override;
    void beginVoi(const glomera::VoiInfo& info) override;
    void voxels(const std::int32_t* xyz, std::size_t count) override;
    void endVoi() override;
    void end(std::int32_t vtcCount) override;

  private:
    std::vector<glomera::VoiFileVisitor*> targets_;
};

// Shows VOIs held in memory to a visitor as reading their file would.
void replay(const glomera::VoiFileContents& contents, glomera::VoiFileVisitor& visitor);

}  // namespace voikit
