// Any bytes as a .voi file: a clear error or a VOI set whose counts agree with its contents;
// taken as voxel triples or as runs up columns, the same voxels and the same verdict. Where
// LF line ends are taken too, the same again; and a file the strict reading takes reads the
// same with every CR LF made LF.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "voi/voi_reader.h"

namespace {

class Counter : public glomera::VoiFileVisitor {
  public:
    explicit Counter(bool runs) : runs_(runs) {}
    bool takesRuns() const override { return runs_; }
    void header(const glomera::VoiFileHeader& h) override { declared = h.voiCount; }
    void beginVoi(const glomera::VoiInfo& info) override {
        ++vois;
        expected = info.voxelCount;
        voxelCount = 0;
    }
    void voxels(const std::int32_t* xyz, std::size_t count) override {
        if (runs_) std::abort();
        voxelCount += static_cast<std::int64_t>(count);
        seen.insert(seen.end(), xyz, xyz + 3 * count);
    }
    void runs(const glomera::VoxelRun* runs, std::size_t count) override {
        if (!runs_) std::abort();
        for (std::size_t i = 0; i < count; ++i) {
            if (runs[i].length < 1) std::abort();
            voxelCount += runs[i].length;
            for (std::int64_t k = 0; k < runs[i].length; ++k) {
                seen.insert(seen.end(),
                            {runs[i].x, runs[i].y, static_cast<std::int32_t>(runs[i].z + k)});
            }
        }
    }
    void endVoi() override {
        if (voxelCount != expected) std::abort();
        voxelCount = 0;
    }
    void end(std::int32_t) override { ended = true; }
    std::int64_t declared = -1, vois = 0, expected = 0, voxelCount = 0;
    bool ended = false;
    std::vector<std::int32_t> seen;

  private:
    bool runs_;
};

// The parse's verdict: "" when the text is a whole file, else the error.
std::string parse(const std::uint8_t* data, std::size_t size, Counter& counter,
                  glomera::VoiLineEnds accepted = glomera::VoiLineEnds::kCrLf) {
    try {
        const glomera::VoiLineCount count =
            glomera::parseVoiText(reinterpret_cast<const char*>(data), size, counter, accepted);
        if (count.lfAlone < 0 || count.lfAlone > count.lines) std::abort();
        if (accepted == glomera::VoiLineEnds::kCrLf && count.lfAlone != 0) std::abort();
    } catch (const glomera::VoiReadError& error) {
        if (std::string(error.what()).empty() || counter.ended) std::abort();
        return error.what();
    }
    if (!counter.ended || counter.vois != counter.declared) std::abort();
    return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Counter triples(false), runs(true);
    const std::string verdict = parse(data, size, triples);
    if (parse(data, size, runs) != verdict) std::abort();
    // Up to an error each hands over what it has in its own batches.
    if (verdict.empty() && triples.seen != runs.seen) std::abort();

    Counter lenientTriples(false), lenientRuns(true);
    const std::string lenient = parse(data, size, lenientTriples, glomera::VoiLineEnds::kCrLfOrLf);
    if (parse(data, size, lenientRuns, glomera::VoiLineEnds::kCrLfOrLf) != lenient) std::abort();
    if (lenient.empty() && lenientTriples.seen != lenientRuns.seen) std::abort();
    if (!verdict.empty()) return 0;
    if (!lenient.empty() || lenientTriples.seen != triples.seen) std::abort();
    std::vector<std::uint8_t> lf;
    for (std::size_t i = 0; i < size; ++i) {
        if (!(data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')) lf.push_back(data[i]);
    }
    Counter fromLf(false);
    if (!parse(lf.data(), lf.size(), fromLf, glomera::VoiLineEnds::kCrLfOrLf).empty() ||
        fromLf.seen != triples.seen) {
        std::abort();
    }
    return 0;
}
