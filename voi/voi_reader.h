#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace glomera {

// A .voi file that cannot be read or does not follow the format; the message names the
// line and what is wrong with it.
class VoiReadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct VoiFileHeader {
    std::int32_t fileVersion = 0;
    std::string referenceSpace;
    std::int32_t resolution[3] = {};
    std::int32_t offset[3] = {};
    std::int32_t framingCubeDim = 0;
    std::int32_t leftRightConvention = 0;
    std::string namingConvention;
    std::int32_t voiCount = 0;
    std::int32_t vtcCount = 0;  // known once the end of the file is reached
};

struct VoiInfo {
    std::string name;
    std::int32_t color[3] = {};
    std::int32_t voxelCount = 0;
};

// Voxels (x, y, z) to (x, y, z + length - 1): a sphere's voxels come a column at a time.
struct VoxelRun {
    std::int32_t x;
    std::int32_t y;
    std::int32_t z;
    std::int32_t length;
};

// Receives the parts of a .voi file in file order while it is read. Voxels arrive in
// batches of consecutive (x, y, z) triples, or, for a visitor that takes runs, in batches of
// runs up columns, each as long as the voxels allow; a run may go on in the next batch.
class VoiFileVisitor {
  public:
    virtual ~VoiFileVisitor() = default;
    virtual void header(const VoiFileHeader&) {}
    virtual void beginVoi(const VoiInfo&) {}
    virtual void voxels(const std::int32_t* /*xyz*/, std::size_t /*count*/) {}
    virtual bool takesRuns() const { return false; }
    virtual void runs(const VoxelRun* /*runs*/, std::size_t /*count*/) {}
    virtual void endVoi() {}
    // The last line was read and the file is whole.
    virtual void end(std::int32_t /*vtcCount*/) {}
};

// The line ends a reading takes: the format's CR LF alone, as the host reads a file, or LF
// alone as well, for files edited with tools that write LF.
enum class VoiLineEnds { kCrLf, kCrLfOrLf };

// How many lines a reading took, and how many of them ended with LF alone.
struct VoiLineCount {
    long lines = 0;
    long lfAlone = 0;
};

// Reads a .voi file and checks it strictly against the format the plug-in writes: every
// key with its exact spacing, every empty line, CR LF line ends (or, where asked, LF alone
// too, line by line), canonical integers, and counts that match what follows. Streams
// through the file in bounded memory. Throws VoiReadError when the file cannot be read or is
// malformed; whatever the visitor was shown up to then is valid.
VoiLineCount readVoiFile(const std::string& path, VoiFileVisitor& visitor,
                         VoiLineEnds accepted = VoiLineEnds::kCrLf);

// The same check on text already in memory.
VoiLineCount parseVoiText(const char* data, std::size_t size, VoiFileVisitor& visitor,
                          VoiLineEnds accepted = VoiLineEnds::kCrLf);

// A whole file in memory, for callers that need every voxel at once.
struct VoiFileContents {
    struct Voi {
        VoiInfo info;
        std::vector<std::int32_t> voxels;  // x, y, z triples
    };
    VoiFileHeader header;
    std::vector<Voi> vois;
};

}  // namespace glomera
