#include "voi/voi_writer.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "common/atomic_file.h"
#include "common/format_line.h"
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

// The small numbers every sphere in Talairach space uses, each followed by CR LF, ready to
// copy: formatting is most of the cost of a large file.
class ShortNumbers {
  public:
    static constexpr std::int32_t kLimit = 9999;
    static constexpr std::size_t kSlot = 8;  // "-9999" CR LF fits

    ShortNumbers() {
        for (std::int32_t n = -kLimit; n <= kLimit; ++n) {
            char* slot = text_[n + kLimit];
            char* end = writeInt(slot, n);
            digits_[n + kLimit] = static_cast<unsigned char>(end - slot);
            *end++ = '\r';
            *end++ = '\n';
        }
    }

    static bool covers(std::int32_t n) { return n >= -kLimit && n <= kLimit; }
    // kSlot bytes: the digits, CR LF, and whatever follows.
    const char* text(std::int32_t n) const { return text_[n + kLimit]; }
    std::size_t digits(std::int32_t n) const { return digits_[n + kLimit]; }

  private:
    char text_[2 * kLimit + 1][kSlot];
    unsigned char digits_[2 * kLimit + 1];
};

constexpr std::size_t kPrefixSize = 2 * kLongestInt + 2;

// "x y " for a row, into a buffer of kPrefixSize bytes; returns its length.
std::size_t writePrefix(char* prefix, std::int32_t x, std::int32_t y, const ShortNumbers& numbers) {
    char* q = prefix;
    for (const std::int32_t n : {x, y}) {
        if (ShortNumbers::covers(n)) {
            std::memcpy(q, numbers.text(n), ShortNumbers::kSlot);
            q += numbers.digits(n);
        } else {
            q = writeInt(q, n);
        }
        *q++ = ' ';
    }
    return static_cast<std::size_t>(q - prefix);
}

// Voxel lines "x y z" CR LF. Consecutive voxels of a sphere share x and y along each row,
// so the "x y " prefix is formatted once per row and only z per voxel; a row of short
// numbers copies its prefix in one 16-byte move. Lines are formatted in batches through a
// local pointer, which the compiler can keep in a register; a batch is small beside the
// buffer, so that the buffer is nearly full before it is handed to the system (a batch of
// 4,096 lines made blocks of 90 KB, three times as many writes as the 256 KiB a copy makes).
void appendVoxelLines(const std::int32_t* voxels, std::int32_t count, AtomicFile& out) {
    static const ShortNumbers numbers;
    constexpr std::size_t kShortPrefix = 16;
    // Fixed-size copies of the whole prefix and slot are cheaper than exact ones; the line
    // is then cut to its real length.
    constexpr std::size_t kLongestLine = kPrefixSize + kLongestInt + 2 + ShortNumbers::kSlot;
    constexpr std::int32_t kBatchLines = 1024;
    static_assert(kBatchLines * kLongestLine <= AtomicFile::kBufferSize - AtomicFile::kPage,
                  "a batch fits the buffer");

    char prefix[kPrefixSize];
    for (std::int32_t done = 0; done < count;) {
        const std::int32_t batch = std::min(count - done, kBatchLines);
        char* const begin = out.reserve(static_cast<std::size_t>(batch) * kLongestLine);
        char* p = begin;
        const std::int32_t* const end = voxels + 3 * static_cast<std::ptrdiff_t>(batch);
        while (voxels != end) {
            // One row: the voxels from here on that share this x and y.
            const std::int32_t x = voxels[0], y = voxels[1];
            const std::size_t prefixLength = writePrefix(prefix, x, y, numbers);
            const bool longPrefix = prefixLength > kShortPrefix;
            do {
                std::memcpy(p, prefix, kShortPrefix);
                if (longPrefix) {
                    std::memcpy(p + kShortPrefix, prefix + kShortPrefix,
                                kPrefixSize - kShortPrefix);
                }
                p += prefixLength;
                const std::int32_t z = voxels[2];
                if (ShortNumbers::covers(z)) {
                    std::memcpy(p, numbers.text(z), ShortNumbers::kSlot);
                    p += numbers.digits(z) + 2;
                } else {
                    p = writeInt(p, z);
                    *p++ = '\r';
                    *p++ = '\n';
                }
                voxels += 3;
            } while (voxels != end && voxels[0] == x && voxels[1] == y);
        }
        out.advance(static_cast<std::size_t>(p - begin));
        done += batch;
    }
}

bool validEntry(const VoiEntry& voi) {
    return voi.voxelCount >= 0 && (voi.voxelCount == 0 || voi.voxels != nullptr) &&
           std::memchr(voi.name, '\0', sizeof voi.name) != nullptr;
}

}  // namespace

void VoiFileWriter::begin(const VoiSet& header, std::int32_t voiCount) {
    expected_ = voiCount;
    added_ = 0;
    problem_ = voiCount >= 0 ? nullptr : "a negative VOI count";
    path_ = header.fileName != nullptr ? header.fileName : "";
    opened_ = out_.open(path_);
    if (!opened_) return;
    VoiText text(out_);
    text.lineEnd();
    text.headerLine(key::kFileVersion, header.fileVersion, 2);
    text.text(key::kReferenceSpace).text(header.referenceSpace).lineEnd(2);
    text.headerLine(key::kResolutionX, header.resolutionX, 1);
    text.headerLine(key::kResolutionY, header.resolutionY, 1);
    text.headerLine(key::kResolutionZ, header.resolutionZ, 1);
    text.headerLine(key::kOffsetX, header.offsetX, 1);
    text.headerLine(key::kOffsetY, header.offsetY, 1);
    text.headerLine(key::kOffsetZ, header.offsetZ, 1);
    text.headerLine(key::kFramingCubeDim, header.framingCubeDim, 2);
    text.headerLine(key::kLeftRightConvention, header.leftRightConvention, 2);
    text.text(key::kNamingConvention).text(header.namingConvention).lineEnd(3);
    text.headerLine(key::kVoiCount, voiCount, 2);
}

void VoiFileWriter::add(const VoiEntry& voi) {
    if (problem_ == nullptr && added_ == expected_)
        problem_ = "more VOIs than the header announced";
    if (problem_ == nullptr && !validEntry(voi)) {
        problem_ = "a VOI without its voxels or with an unterminated name";
    }
    if (problem_ != nullptr) return;
    ++added_;
    if (!opened_ || out_.failed()) return;
    VoiText text(out_);
    text.text(key::kVoiName).text(voi.name).lineEnd();
    text.text(key::kVoiColor).number(voi.colorR).text(" ").number(voi.colorG).text(" ");
    text.number(voi.colorB).lineEnd(2);
    text.headerLine(key::kVoxelCount, voi.voxelCount, 1);
    appendVoxelLines(voi.voxels.get(), voi.voxelCount, out_);
    text.lineEnd();
}

bool VoiFileWriter::finish(std::int32_t vtcCount) {
    bool written = false;
    if (problem_ == nullptr && added_ != expected_) {
        problem_ = "fewer VOIs than the header announced";
    }
    if (opened_ && problem_ == nullptr && !out_.failed()) {
        VoiText(out_).lineEnd().headerLine(key::kVtcCount, vtcCount, 1);
        written = out_.commit();
    }
    if (!written) {
        host::ztLogText("Error while writing VOI file");
        // The second line says which file and why, in the system's words where it failed.
        const char* why = problem_ != nullptr ? problem_
                          : out_.error() != 0 ? std::strerror(out_.error())
                                              : "unknown reason";
        host::ztLogText(
            formatLine("Plugin>  Could not write the VOI file \"%s\": %s", path_.c_str(), why)
                .c_str());
    }
    return written;
}

bool writeVoiFile(const VoiSet& set) {
    VoiFileWriter writer;
    writer.begin(set, set.voiCount);
    const auto held = static_cast<std::int32_t>(set.vois.size());
    for (std::int32_t i = 0; i < set.voiCount && i < held; ++i) {
        writer.add(set.vois[static_cast<std::size_t>(i)]);
    }
    return writer.finish(set.vtcCount);
}

}  // namespace glomera
