#include "voikit/voxels/voxel_runs.h"

#include "voikit/voxels/voi_file_reading.h"

namespace voikit {
namespace {

// Gathers each VOI's voxels into runs: the reader's runs while a file is read, or voxels
// held in memory.
class RunCollector : public glomera::VoiFileVisitor {
  public:
    explicit RunCollector(VoiRuns& into) : into_(into) { into_.firstRun.push_back(0); }

    void header(const glomera::VoiFileHeader& h) override { into_.skeleton.header = h; }
    void beginVoi(const glomera::VoiInfo& info) override {
        into_.skeleton.vois.push_back({info, {}});
        open_ = false;
    }
    bool takesRuns() const override { return true; }
    void runs(const VoxelRun* runs, std::size_t count) override {
        if (count == 0) return;
        std::vector<VoxelRun>& all = into_.runs;
        // A run the reader cut at the end of its last batch goes on here.
        if (open_) {
            VoxelRun& last = all.back();
            if (runs->x == last.x && runs->y == last.y &&
                std::int64_t{runs->z} == std::int64_t{last.z} + last.length) {
                last.length += runs->length;
                ++runs;
                --count;
            }
        }
        all.insert(all.end(), runs, runs + count);
        open_ = true;
    }
    void endVoi() override { into_.firstRun.push_back(into_.runs.size()); }
    void end(std::int32_t vtcCount) override { into_.skeleton.header.vtcCount = vtcCount; }

    // Voxels held in memory, as triples.
    void add(const std::int32_t* xyz, std::size_t count) {
        if (count == 0) return;
        std::vector<VoxelRun>& runs = into_.runs;
        const std::int32_t* const end = xyz + 3 * count;
        if (!open_) {
            runs.push_back({xyz[0], xyz[1], xyz[2], 1});
            open_ = true;
            xyz += 3;
        }
        // The open run in registers: a voxel extends it when it is the next one up its column.
        VoxelRun run = runs.back();
        for (; xyz != end; xyz += 3) {
            if (xyz[0] == run.x && xyz[1] == run.y &&
                std::int64_t{xyz[2]} == std::int64_t{run.z} + run.length) {
                ++run.length;
                continue;
            }
            runs.back() = run;
            run = {xyz[0], xyz[1], xyz[2], 1};
            runs.push_back(run);
        }
        runs.back() = run;
    }

  private:
    VoiRuns& into_;
    bool open_ = false;  // whether the last run belongs to the current VOI
};

}  // namespace

VoiRuns readVoiRuns(const std::string& path, const Log& log) {
    VoiRuns runs;
    RunCollector collector(runs);
    readToolboxVoiFile(path, collector, log);
    return runs;
}

VoiRuns runsOf(const glomera::VoiFileContents& contents) {
    VoiRuns runs;
    RunCollector collector(runs);
    collector.header(contents.header);
    for (const auto& voi : contents.vois) {
        glomera::VoiInfo info = voi.info;
        collector.beginVoi(info);
        collector.add(voi.voxels.data(), voi.voxels.size() / 3);
        collector.endVoi();
    }
    collector.end(contents.header.vtcCount);
    return runs;
}

}  // namespace voikit
