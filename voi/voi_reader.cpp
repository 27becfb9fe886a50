#include "voi/voi_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "voi/read_ahead.h"
#include "voi/voi_format.h"

namespace glomera {
namespace {

namespace key = voi_format;

// The longest voxel line: three 11-character integers, two blanks, CR LF.
constexpr std::size_t kLongestVoxelLine = 3 * 11 + 2 + 2;

// A canonical decimal integer at p: optional minus, no leading zeros, no "-0", fits 32
// bits. Returns the end of its digits, or null. What follows the digits is the caller's.
inline const char* canonicalInt(const char* p, const char* end, std::int32_t& value) {
    const bool negative = p != end && *p == '-';
    if (negative) ++p;
    if (p == end) return nullptr;
    unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit > 9) return nullptr;
    if (digit == 0) {
        value = 0;
        return negative ? nullptr : p + 1;
    }
    std::uint64_t magnitude = digit;
    int digits = 1;
    for (++p; p != end && (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) <= 9; ++p) {
        if (++digits > 10) return nullptr;
        magnitude = magnitude * 10 + digit;
    }
    if (magnitude > (negative ? 2147483648ULL : 2147483647ULL)) return nullptr;
    value = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                               : static_cast<std::int64_t>(magnitude));
    return p;
}

// `count` canonical integers separated by single blanks, filling the whole text.
bool parseInts(std::string_view text, std::int32_t* values, int count) {
    const char* p = text.data();
    const char* const end = p + text.size();
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            if (p == end || *p != ' ') return false;
            ++p;
        }
        p = canonicalInt(p, end, values[i]);
        if (p == nullptr) return false;
    }
    return p == end;
}

// The text of each small z with its line end (CR LF, or LF alone), in 8-byte slots, with a
// mask of its length: the next voxel of a row is most often the last one's z + 1, and its
// bytes are compared, not parsed.
class ZLineEnds {
  public:
    static constexpr std::int32_t kLimit = 99999;

    explicit ZLineEnds(bool lfAlone) : entries_(2 * kLimit + 1) {
        for (std::int32_t z = -kLimit; z <= kLimit; ++z) {
            char text[8] = {};
            char* end = std::to_chars(text, text + 6, z).ptr;
            if (!lfAlone) *end++ = '\r';
            *end++ = '\n';
            const auto length = static_cast<std::size_t>(end - text);
            unsigned char mask[8] = {};
            std::memset(mask, 0xFF, length);
            Entry& entry = entries_[static_cast<std::size_t>(std::int64_t{z} + kLimit)];
            std::memcpy(&entry.word, text, 8);
            std::memcpy(&entry.mask, mask, 8);
            entry.length = length;
        }
    }

    // The length of the text of z = last + 1 with its line end at p (8 bytes readable), or 0
    // when the bytes are not it.
    std::size_t matchNext(const char* p, std::int32_t last) const {
        if (last < -kLimit - 1 || last >= kLimit) return 0;
        const Entry& entry = entries_[static_cast<std::size_t>(std::int64_t{last} + 1 + kLimit)];
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        return ((word ^ entry.word) & entry.mask) == 0 ? entry.length : 0;
    }

    // The text of one z with its line end: the bytes under the mask, and how many.
    struct Entry {
        std::uint64_t word = 0;
        std::uint64_t mask = 0;
        std::size_t length = 0;
    };
    // The entry of z = last + 1 and, one after another, those of the z above it up to the
    // end of the table; null when last + 1 is not in the table.
    const Entry* after(std::int32_t last) const {
        if (last < -kLimit - 1 || last >= kLimit) return nullptr;
        return entries_.data() + (std::int64_t{last} + 1 + kLimit);
    }
    const Entry* end() const { return entries_.data() + entries_.size(); }

  private:
    std::vector<Entry> entries_;
};

// Where the fast path puts voxels: as (x, y, z) triples, up to the count asked for.
struct TripleSink {
    std::int32_t* xyz;
    std::size_t count = 0;

    bool room() const { return true; }
    void add(std::int32_t x, std::int32_t y, std::int32_t z) {
        std::int32_t* out = xyz + 3 * count++;
        out[0] = x;
        out[1] = y;
        out[2] = z;
    }
    // The next voxel up the column of the last one added.
    void up() {
        const std::int32_t* last = xyz + 3 * (count - 1);
        add(last[0], last[1], last[2] + 1);
    }
};

// Or as runs up columns: a voxel extends the last run when it is the next one up its column.
struct RunSink {
    VoxelRun* runs;
    std::size_t capacity;
    std::size_t count = 0;

    bool room() const { return count < capacity; }
    void add(std::int32_t x, std::int32_t y, std::int32_t z) {
        if (count > 0) {
            VoxelRun& last = runs[count - 1];
            if (x == last.x && y == last.y &&
                std::int64_t{z} == std::int64_t{last.z} + last.length) {
                ++last.length;
                return;
            }
        }
        runs[count++] = {x, y, z, 1};
    }
    void up() { ++runs[count - 1].length; }
};

// Hands out CR LF terminated lines from a source of bytes, holding at most one buffer; where
// the caller takes LF alone too, such lines as well, counted.
class LineSource {
  public:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

    LineSource(int fd, VoiLineEnds accepted)
        : fd_(fd), acceptsLf_(accepted == VoiLineEnds::kCrLfOrLf) {
        // A large file is read ahead on a second thread while the lines before are parsed;
        // where no thread can be had, it is read here as any other.
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
            status.st_size >= kReadAheadFrom) {
            try {
                readAhead_ = std::make_unique<ReadAhead>(fd, kBufferSize, kBufferSize);
                return;
            } catch (const std::system_error&) {
            }
        }
        storage_.reset(new char[kBufferSize]);
        data_ = storage_.get();
    }
    LineSource(const char* data, std::size_t size, VoiLineEnds accepted)
        : data_(data), end_(size), atEof_(true), acceptsLf_(accepted == VoiLineEnds::kCrLfOrLf) {}

    // The next line without its line end; false at the end of the input.
    bool next(std::string_view& line) {
        for (;;) {
            const char* start = data_ + begin_;
            // Read ahead, the bytes at hand may pass a whole buffer: a line still must fit one.
            const std::size_t window =
                readAhead_ ? std::min(end_ - begin_, kBufferSize) : end_ - begin_;
            // No bytes at all before the first block is read ahead: nothing to search.
            const void* lf = window > 0 ? std::memchr(start, '\n', window) : nullptr;
            if (lf == nullptr && window == kBufferSize) tooLong();
            if (lf != nullptr) {
                const auto length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
                ++number_;
                // Voxel lines that follow are looked for with the line end of this one.
                lfAlone_ = length == 0 || start[length - 1] != '\r';
                if (lfAlone_ && !acceptsLf_) fail("does not end with CR LF");
                lfLines_ += lfAlone_ ? 1 : 0;
                zLineEnds_ = &lineEndTable(lfAlone_);
                line = std::string_view(start, lfAlone_ ? length : length - 1);
                begin_ += length + 1;
                if (line.find('\r') != std::string_view::npos) {
                    fail("holds a stray carriage return");
                }
                return true;
            }
            if (atEof_) {
                if (begin_ < end_) {
                    ++number_;
                    fail(acceptsLf_ ? "does not end with CR LF or LF" : "does not end with CR LF");
                }
                return false;
            }
            refill();
        }
    }

    // Reads up to `wanted` voxel lines "X Y Z" and the line end of the line before straight
    // from the buffer into the sink,
    // stopping early at a line that is anything else (next() then tells what), where the
    // buffer runs short or the sink is full; returns how many. Consecutive voxels of a sphere
    // share "X Y ": when a line begins with the very bytes of the last prefix read, its x and
    // y are those, already checked, and only z is parsed.
    template <typename Sink>
    std::size_t voxels(Sink& sink, std::size_t wanted) {
        if (end_ - begin_ < kLongestVoxelLine && !atEof_) refill();
        const char* p = data_ + begin_;
        const char* const end = data_ + end_;
        // Lines are taken while a whole longest line fits, or to the end of the input.
        const auto fits = [&](const char* at) {
            return atEof_ ? at < end : end - at >= static_cast<std::ptrdiff_t>(kLongestVoxelLine);
        };
        std::size_t done = 0;
        std::int32_t out[3];
        while (done < wanted && fits(p) && sink.room()) {
            const char* q = p;
            if (samePrefix(q, end)) {
                out[0] = prefixX_;
                out[1] = prefixY_;
                q += prefixLength_;
            } else {
                const char* const start = q;
                bool ok = true;
                for (int i = 0; i < 2 && ok; ++i) {
                    q = canonicalInt(q, end, out[i]);
                    ok = q != nullptr && q != end && *q == ' ';
                    if (ok) ++q;
                }
                if (!ok) break;
                rememberPrefix(start, q, out);
            }
            const std::size_t next = end - q >= 8 ? zLineEnds().matchNext(q, lastZ_) : 0;
            if (next > 0) {
                out[2] = lastZ_ + 1;
                p = q + next;
            } else {
                q = canonicalInt(q, end, out[2]);
                const std::ptrdiff_t lineEnd = lfAlone_ ? 1 : 2;
                if (q == nullptr || end - q < lineEnd || (!lfAlone_ && q[0] != '\r') ||
                    q[lineEnd - 1] != '\n') {
                    break;
                }
                p = q + lineEnd;
            }
            lastZ_ = out[2];
            sink.add(out[0], out[1], out[2]);
            ++done;
            // Up the column: lines of the same "X Y " and the next z, taken by comparing
            // words held in registers with the bytes, where all of them can be read.
            if (prefixLength_ <= 16) {
                const std::uint64_t w0 = prefixWords_[0], w1 = prefixWords_[1];
                const std::uint64_t m0 = prefixMasks_[0], m1 = prefixMasks_[1];
                const std::size_t length = prefixLength_;
                const ZLineEnds::Entry* entry = zLineEnds().after(lastZ_);
                const ZLineEnds::Entry* const last = zLineEnds().end();
                std::int32_t z = lastZ_;
                while (done < wanted && entry != nullptr && entry != last && end - p >= 24) {
                    std::uint64_t head[2], tail;
                    std::memcpy(head, p, sizeof head);
                    if ((((head[0] ^ w0) & m0) | ((head[1] ^ w1) & m1)) != 0) break;
                    std::memcpy(&tail, p + length, sizeof tail);
                    if (((tail ^ entry->word) & entry->mask) != 0) break;
                    p += length + entry->length;
                    ++entry;
                    ++z;
                    sink.up();
                    ++done;
                }
                lastZ_ = z;
            }
        }
        begin_ = static_cast<std::size_t>(p - data_);
        number_ += static_cast<long>(done);
        if (lfAlone_) lfLines_ += static_cast<long>(done);
        return done;
    }

    bool atEnd() {
        while (begin_ == end_ && !atEof_) refill();
        return begin_ == end_;
    }

    long number() const { return number_; }
    long lfLines() const { return lfLines_; }

    [[noreturn]] void fail(const std::string& what) const {
        throw VoiReadError("line " + std::to_string(number_) + " " + what);
    }

  private:
    static constexpr std::size_t kLongestPrefix = 2 * 11 + 2;

    static const ZLineEnds& lineEndTable(bool lfAlone) {
        if (lfAlone) {
            static const ZLineEnds lfTable(true);
            return lfTable;
        }
        static const ZLineEnds table(false);
        return table;
    }
    const ZLineEnds& zLineEnds() const { return *zLineEnds_; }

    bool samePrefix(const char* p, const char* end) const {
        if (prefixLength_ == 0) return false;
        // Two words compared under a mask where 16 bytes can be read; else byte by byte.
        if (end - p >= 16 && prefixLength_ <= 16) {
            std::uint64_t words[2];
            std::memcpy(words, p, sizeof words);
            return ((words[0] ^ prefixWords_[0]) & prefixMasks_[0]) == 0 &&
                   ((words[1] ^ prefixWords_[1]) & prefixMasks_[1]) == 0;
        }
        return static_cast<std::size_t>(end - p) >= prefixLength_ &&
               std::memcmp(p, prefixBytes_, prefixLength_) == 0;
    }

    void rememberPrefix(const char* begin, const char* end, const std::int32_t* xy) {
        prefixLength_ = static_cast<std::size_t>(end - begin);
        prefixX_ = xy[0];
        prefixY_ = xy[1];
        std::memset(prefixBytes_, 0, sizeof prefixBytes_);
        std::memcpy(prefixBytes_, begin, prefixLength_);
        std::memcpy(prefixWords_, prefixBytes_, sizeof prefixWords_);
        unsigned char mask[16] = {};
        std::memset(mask, 0xFF, std::min<std::size_t>(prefixLength_, sizeof mask));
        std::memcpy(prefixMasks_, mask, sizeof prefixMasks_);
    }

    [[noreturn]] void tooLong() const {
        throw VoiReadError("line " + std::to_string(number_ + 1) + " is longer than 1 MiB");
    }

    void refill() {
        const std::size_t kept = end_ - begin_;
        if (kept >= kBufferSize) tooLong();
        if (readAhead_) {
            const ReadAhead::Block block = readAhead_->next(data_ + begin_, kept);
            if (block.error != 0) {
                throw VoiReadError(std::string("read failed: ") + std::strerror(block.error));
            }
            data_ = block.data;
            begin_ = 0;
            end_ = block.size;
            atEof_ = block.last;
            return;
        }
        char* buffer = storage_.get();
        std::memmove(buffer, buffer + begin_, kept);
        begin_ = 0;
        end_ = kept;
        const BlockRead read = readBlock(fd_, buffer + end_, kBufferSize - end_);
        if (read.error != 0) {
            throw VoiReadError(std::string("read failed: ") + std::strerror(read.error));
        }
        end_ += read.filled;
        atEof_ = read.last;
    }

    // Files this large are read ahead.
    static constexpr off_t kReadAheadFrom = off_t{4} << 20;

    int fd_ = -1;
    std::unique_ptr<char[]> storage_;
    std::unique_ptr<ReadAhead> readAhead_;
    const char* data_ = nullptr;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool atEof_ = false;
    bool acceptsLf_ = false;
    bool lfAlone_ = false;                  // the last line ended with LF alone
    const ZLineEnds* zLineEnds_ = nullptr;  // for the line end of the last line
    long number_ = 0;
    long lfLines_ = 0;
    // The "X Y " of the last voxel line parsed in full.
    std::size_t prefixLength_ = 0;
    char prefixBytes_[kLongestPrefix] = {};
    std::uint64_t prefixWords_[2] = {};
    std::uint64_t prefixMasks_[2] = {};
    std::int32_t prefixX_ = 0;
    std::int32_t prefixY_ = 0;
    std::int32_t lastZ_ = std::numeric_limits<std::int32_t>::max();  // none yet
};

class Parser {
  public:
    Parser(LineSource& lines, VoiFileVisitor& visitor) : lines_(lines), visitor_(visitor) {}

    void run() {
        VoiFileHeader h;
        empty();
        h.fileVersion = intLine(key::kFileVersion);
        empty();
        h.referenceSpace = textLine(key::kReferenceSpace);
        empty();
        h.resolution[0] = intLine(key::kResolutionX);
        h.resolution[1] = intLine(key::kResolutionY);
        h.resolution[2] = intLine(key::kResolutionZ);
        h.offset[0] = intLine(key::kOffsetX);
        h.offset[1] = intLine(key::kOffsetY);
        h.offset[2] = intLine(key::kOffsetZ);
        h.framingCubeDim = intLine(key::kFramingCubeDim);
        empty();
        h.leftRightConvention = intLine(key::kLeftRightConvention);
        empty();
        h.namingConvention = textLine(key::kNamingConvention);
        empty();
        empty();
        h.voiCount = count(key::kVoiCount, "NrOfvois");
        empty();
        visitor_.header(h);
        for (std::int32_t i = 0; i < h.voiCount; ++i) voi();
        empty();
        const std::int32_t vtcCount = intLine(key::kVtcCount);
        if (!lines_.atEnd()) throw VoiReadError("text follows the last line \"NrOfVOIVTCs:\"");
        visitor_.end(vtcCount);
    }

  private:
    void voi() {
        VoiInfo info;
        info.name = textLine(key::kVoiName);
        if (!parseInts(keyLine(key::kVoiColor), info.color, 3)) {
            lines_.fail("has no colour \"R G B\"");
        }
        empty();
        info.voxelCount = count(key::kVoxelCount, "NrOfVoxels");
        visitor_.beginVoi(info);
        if (visitor_.takesRuns()) {
            voxelRuns(info);
        } else {
            voxelTriples(info);
        }
        visitor_.endVoi();
        empty();
    }

    // Up to `wanted` voxels into the sink, at least one: those the fast path takes, or else
    // the line it did not take, which is a voxel after all or the error that explains it.
    template <typename Sink>
    std::size_t takeVoxels(Sink& sink, std::size_t wanted, const VoiInfo& info) {
        const std::size_t got = lines_.voxels(sink, wanted);
        if (got > 0) return got;
        std::int32_t xyz[3];
        slowVoxel(info, xyz);
        sink.add(xyz[0], xyz[1], xyz[2]);
        return 1;
    }

    void voxelTriples(const VoiInfo& info) {
        constexpr std::size_t kBatch = 4096;
        std::int32_t batch[3 * kBatch];
        TripleSink sink{batch};
        for (std::int32_t left = info.voxelCount; left > 0;) {
            const std::size_t room =
                std::min<std::size_t>(kBatch - sink.count, static_cast<std::size_t>(left));
            left -= static_cast<std::int32_t>(takeVoxels(sink, room, info));
            if (sink.count == kBatch) {
                visitor_.voxels(batch, sink.count);
                sink.count = 0;
            }
        }
        if (sink.count > 0) visitor_.voxels(batch, sink.count);
    }

    void voxelRuns(const VoiInfo& info) {
        constexpr std::size_t kBatch = 1024;
        VoxelRun batch[kBatch];
        RunSink sink{batch, kBatch};
        for (std::int32_t left = info.voxelCount; left > 0;) {
            if (!sink.room()) {
                visitor_.runs(batch, sink.count);
                sink.count = 0;
            }
            left -=
                static_cast<std::int32_t>(takeVoxels(sink, static_cast<std::size_t>(left), info));
        }
        if (sink.count > 0) visitor_.runs(batch, sink.count);
    }

    // A line the fast path did not take: it is either a voxel after all or the error that
    // explains it.
    void slowVoxel(const VoiInfo& info, std::int32_t* xyz) {
        const std::string_view line = next();
        if (!parseInts(line, xyz, 3)) {
            lines_.fail("is not a voxel \"X Y Z\" (VOI \"" + info.name + "\" claims " +
                        std::to_string(info.voxelCount) + " voxels)");
        }
    }

    std::string_view next() {
        std::string_view line;
        if (!lines_.next(line)) {
            throw VoiReadError("the file ends early, after line " +
                               std::to_string(lines_.number()));
        }
        return line;
    }

    void empty() {
        if (!next().empty()) lines_.fail("should be empty");
    }

    std::string_view keyLine(std::string_view key) {
        const std::string_view line = next();
        if (line.substr(0, key.size()) != key) {
            lines_.fail("should begin with \"" + std::string(key) + "\"");
        }
        return line.substr(key.size());
    }

    std::int32_t intLine(std::string_view key) {
        std::int32_t value = 0;
        if (!parseInts(keyLine(key), &value, 1)) {
            lines_.fail("has no integer after \"" + std::string(key) + "\"");
        }
        return value;
    }

    std::int32_t count(std::string_view key, const char* name) {
        const std::int32_t value = intLine(key);
        if (value < 0) lines_.fail(std::string("has a negative ") + name);
        return value;
    }

    std::string textLine(std::string_view key) { return std::string(keyLine(key)); }

    LineSource& lines_;
    VoiFileVisitor& visitor_;
};

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

VoiLineCount parseVoiText(const char* data, std::size_t size, VoiFileVisitor& visitor,
                          VoiLineEnds accepted) {
    LineSource lines(data, size, accepted);
    Parser(lines, visitor).run();
    return {lines.number(), lines.lfLines()};
}

VoiLineCount readVoiFile(const std::string& path, VoiFileVisitor& visitor, VoiLineEnds accepted) {
    const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) throw VoiReadError(std::string("cannot open: ") + std::strerror(errno));
    LineSource lines(fd.get(), accepted);
    Parser(lines, visitor).run();
    return {lines.number(), lines.lfLines()};
}

}  // namespace glomera
