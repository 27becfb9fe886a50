#include "voi/voi_writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "common/atomic_file.h"
#include "host/host_operations.h"
#include "voi/voi_format.h"

namespace glomera {
namespace {

namespace key = voi_format;

constexpr std::size_t kLongestInt = 11;  // "-2147483648"

// Writes the decimal digits of value at out, which has room for kLongestInt characters.
char* writeInt(char* out, std::int32_t value) {
    return std::to_chars(out, out + kLongestInt, value).ptr;
}

// Every piece of text goes through this small wrapper so that line ends and numbers are
// written one way only.
class VoiText {
  public:
    explicit VoiText(AtomicFile& out) : out_(out) {}

    VoiText& text(const char* s) {
        out_.append(s, std::strlen(s));
        return *this;
    }
    VoiText& number(std::int32_t value) {
        char digits[kLongestInt];
        const char* end = writeInt(digits, value);
        out_.append(digits, static_cast<std::size_t>(end - digits));
        return *this;
    }
    VoiText& lineEnd(int count = 1) {
        for (int i = 0; i < count; ++i) out_.append(key::kLineEnd, 2);
        return *this;
    }
    VoiText& headerLine(const char* key, std::int32_t value, int lineEnds) {
        return text(key).number(value).lineEnd(lineEnds);
    }

  private:
    AtomicFile& out_;
};

// "z" CR LF for the small coordinates every sphere in Talairach space uses, ready to copy:
// formatting is most of the cost of a large file.
class ShortLineEnds {
  public:
    static constexpr std::int32_t kLimit = 9999;
    static constexpr std::size_t kSlot = 8;  // "-9999" CR LF fits

    ShortLineEnds() {
        for (std::int32_t z = -kLimit; z <= kLimit; ++z) {
            char* slot = text_[z + kLimit];
            char* end = writeInt(slot, z);
            *end++ = '\r';
            *end++ = '\n';
            length_[z + kLimit] = static_cast<unsigned char>(end - slot);
        }
    }

    static bool covers(std::int32_t z) { return z >= -kLimit && z <= kLimit; }
    const char* text(std::int32_t z) const { return text_[z + kLimit]; }
    std::size_t length(std::int32_t z) const { return length_[z + kLimit]; }

  private:
    char text_[2 * kLimit + 1][kSlot];
    unsigned char length_[2 * kLimit + 1];
};

// Voxel lines "x y z" CR LF. Consecutive voxels of a sphere share x and y along each row,
// so the "x y " prefix is formatted once per row and only z per voxel. Lines are formatted
// in batches through a local pointer, which the compiler can keep in a register.
void appendVoxelLines(const std::int32_t* voxels, std::int32_t count, AtomicFile& out) {
    static const ShortLineEnds lineEnds;
    constexpr std::size_t kPrefixSize = 2 * kLongestInt + 2;
    // Fixed-size copies of the whole prefix and slot are cheaper than exact ones; the line
    // is then cut to its real length.
    constexpr std::size_t kLongestLine = kPrefixSize + kLongestInt + 2 + ShortLineEnds::kSlot;
    constexpr std::int32_t kBatchLines = 4096;
    static_assert(kBatchLines * kLongestLine <= AtomicFile::kBufferSize, "a batch fits the buffer");

    char prefix[kPrefixSize];
    std::size_t prefixLength = 0;
    std::int64_t prefixX = std::int64_t{1} << 40;  // no voxel's x: the first row sets it
    std::int32_t prefixY = 0;
    for (std::int32_t done = 0; done < count;) {
        const std::int32_t batch = std::min(count - done, kBatchLines);
        char* const begin = out.reserve(static_cast<std::size_t>(batch) * kLongestLine);
        char* p = begin;
        for (const std::int32_t* end = voxels + 3 * static_cast<std::ptrdiff_t>(batch);
             voxels != end; voxels += 3) {
            if (voxels[0] != prefixX || voxels[1] != prefixY) {
                prefixX = voxels[0];
                prefixY = voxels[1];
                char* q = writeInt(prefix, voxels[0]);
                *q++ = ' ';
                q = writeInt(q, prefixY);
                *q++ = ' ';
                prefixLength = static_cast<std::size_t>(q - prefix);
            }
            std::memcpy(p, prefix, kPrefixSize);
            p += prefixLength;
            const std::int32_t z = voxels[2];
            if (ShortLineEnds::covers(z)) {
                std::memcpy(p, lineEnds.text(z), ShortLineEnds::kSlot);
                p += lineEnds.length(z);
            } else {
                p = writeInt(p, z);
                *p++ = '\r';
                *p++ = '\n';
            }
        }
        out.advance(static_cast<std::size_t>(p - begin));
        done += batch;
    }
}

}  // namespace

bool appendVoiText(const VoiSet& set, AtomicFile& out) {
    if (set.voiCount > 0 && static_cast<std::size_t>(set.voiCount) > set.vois.size()) return false;
    for (std::int32_t i = 0; i < set.voiCount; ++i) {
        const VoiEntry& voi = set.vois[static_cast<std::size_t>(i)];
        if (voi.voxelCount > 0 && voi.voxels == nullptr) return false;
        if (std::memchr(voi.name, '\0', sizeof voi.name) == nullptr) return false;
    }

    VoiText text(out);
    text.lineEnd();
    text.headerLine(key::kFileVersion, set.fileVersion, 2);
    text.text(key::kReferenceSpace).text(set.referenceSpace).lineEnd(2);
    text.headerLine(key::kResolutionX, set.resolutionX, 1);
    text.headerLine(key::kResolutionY, set.resolutionY, 1);
    text.headerLine(key::kResolutionZ, set.resolutionZ, 1);
    text.headerLine(key::kOffsetX, set.offsetX, 1);
    text.headerLine(key::kOffsetY, set.offsetY, 1);
    text.headerLine(key::kOffsetZ, set.offsetZ, 1);
    text.headerLine(key::kFramingCubeDim, set.framingCubeDim, 2);
    text.headerLine(key::kLeftRightConvention, set.leftRightConvention, 2);
    text.text(key::kNamingConvention).text(set.namingConvention).lineEnd(3);
    text.headerLine(key::kVoiCount, set.voiCount, 2);
    for (std::int32_t i = 0; i < set.voiCount; ++i) {
        const VoiEntry& voi = set.vois[static_cast<std::size_t>(i)];
        text.text(key::kVoiName).text(voi.name).lineEnd();
        text.text(key::kVoiColor).number(voi.colorR).text(" ").number(voi.colorG).text(" ");
        text.number(voi.colorB).lineEnd(2);
        text.headerLine(key::kVoxelCount, voi.voxelCount, 1);
        appendVoxelLines(voi.voxels.get(), voi.voxelCount, out);
        text.lineEnd();
    }
    text.lineEnd();
    text.headerLine(key::kVtcCount, set.vtcCount, 1);
    return true;
}

bool writeVoiFile(const VoiSet& set) {
    AtomicFile out;
    const bool written = set.fileName != nullptr && out.open(set.fileName) &&
                         appendVoiText(set, out) && out.commit();
    if (!written) host::ztLogText("Error while writing VOI file");
    return written;
}

}  // namespace glomera
