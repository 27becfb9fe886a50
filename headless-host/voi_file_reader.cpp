#include "headless-host/voi_file_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <string_view>

namespace headless {
namespace {

// Hands out CR LF terminated lines from a source of bytes, holding at most one buffer.
class LineSource {
  public:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

    // From a file descriptor, read in blocks.
    explicit LineSource(int fd) : fd_(fd), storage_(new char[kBufferSize]) {
        data_ = storage_.get();
    }
    // From memory.
    LineSource(const char* data, std::size_t size) : data_(data), end_(size), atEof_(true) {}

    // The next line without its CR LF. False at the end of the input or on an error, which
    // `error` then describes.
    bool next(std::string_view& line, std::string& error) {
        for (;;) {
            const char* start = data_ + begin_;
            const void* lf = std::memchr(start, '\n', end_ - begin_);
            if (lf != nullptr) {
                const auto length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
                ++number_;
                if (length == 0 || start[length - 1] != '\r') {
                    error = lineError("does not end with CR LF");
                    return false;
                }
                line = std::string_view(start, length - 1);
                begin_ += length + 1;
                if (line.find('\r') != std::string_view::npos) {
                    error = lineError("holds a stray carriage return");
                    return false;
                }
                return true;
            }
            if (atEof_) {
                if (begin_ < end_) {
                    ++number_;
                    error = lineError("does not end with CR LF");
                }
                return false;
            }
            if (!refill(error)) return false;
        }
    }

    bool atEnd(std::string& error) {
        while (begin_ == end_ && !atEof_) {
            if (!refill(error)) return false;
        }
        return begin_ == end_;
    }

    long number() const { return number_; }

    std::string lineError(const std::string& what) const {
        return "line " + std::to_string(number_) + " " + what;
    }

  private:
    bool refill(std::string& error) {
        char* buffer = storage_.get();
        const std::size_t kept = end_ - begin_;
        if (kept == kBufferSize) {
            error = "line " + std::to_string(number_ + 1) + " is longer than 1 MiB";
            return false;
        }
        std::memmove(buffer, buffer + begin_, kept);
        begin_ = 0;
        end_ = kept;
        for (;;) {
            const ssize_t got = ::read(fd_, buffer + end_, kBufferSize - end_);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error = std::string("read failed: ") + std::strerror(errno);
                return false;
            }
            if (got == 0) atEof_ = true;
            end_ += static_cast<std::size_t>(got);
            return true;
        }
    }

    int fd_ = -1;
    std::unique_ptr<char[]> storage_;
    const char* data_ = nullptr;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool atEof_ = false;
    long number_ = 0;
};

// A canonical decimal integer: optional minus, no leading zeros, no "-0", fits 32 bits.
bool parseInt(std::string_view text, std::int32_t& value) {
    if (text.empty()) return false;
    const bool negative = text[0] == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || (digits[0] == '0' && (digits.size() > 1 || negative))) return false;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
    }
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// Integers separated by single blanks, exactly `count` of them.
bool parseInts(std::string_view text, std::int32_t* values, int count) {
    for (int i = 0; i < count; ++i) {
        const std::size_t blank = i + 1 < count ? text.find(' ') : text.size();
        if (blank == std::string_view::npos) return false;
        if (!parseInt(text.substr(0, blank), values[i])) return false;
        text.remove_prefix(i + 1 < count ? blank + 1 : blank);
    }
    return true;
}

class Parser {
  public:
    Parser(LineSource& lines, VoiFileVisitor& visitor, std::string& error)
        : lines_(lines), visitor_(visitor), error_(error) {}

    bool run() {
        VoiFileHeader h;
        const bool header =
            empty() && intLine("FileVersion:                ", h.fileVersion) && empty() &&
            textLine("ReferenceSpace:             ", h.referenceSpace) && empty() &&
            intLine("OriginalVMRResolutionX:     ", h.resolution[0]) &&
            intLine("OriginalVMRResolutionY:     ", h.resolution[1]) &&
            intLine("OriginalVMRResolutionZ:     ", h.resolution[2]) &&
            intLine("OriginalVMROffsetX:         ", h.offset[0]) &&
            intLine("OriginalVMROffsetY:         ", h.offset[1]) &&
            intLine("OriginalVMROffsetZ:         ", h.offset[2]) &&
            intLine("OriginalVMRFramingCubeDim:  ", h.framingCubeDim) && empty() &&
            intLine("LeftRightConvention:        ", h.leftRightConvention) && empty() &&
            textLine("SubjectVOINamingConvention: ", h.namingConvention) && empty() && empty() &&
            intLine("NrOfvois:                   ", h.voiCount) &&
            notNegative(h.voiCount, "NrOfvois") && empty();
        if (!header) return false;
        visitor_.header(h);
        for (std::int32_t i = 0; i < h.voiCount; ++i) {
            if (!voi()) return false;
        }
        if (!empty() || !intLine("NrOfVOIVTCs: ", h.vtcCount)) return false;
        if (!lines_.atEnd(error_)) {
            if (error_.empty()) error_ = "text follows the last line \"NrOfVOIVTCs:\"";
            return false;
        }
        return true;
    }

  private:
    bool voi() {
        VoiInfo info;
        if (!textLine("NameOfVOI:  ", info.name)) return false;
        std::string_view colour;
        if (!keyLine("ColorOfVOI: ", colour)) return false;
        if (!parseInts(colour, info.color, 3)) return fail("has no colour \"R G B\"");
        if (!empty() || !intLine("NrOfVoxels: ", info.voxelCount) ||
            !notNegative(info.voxelCount, "NrOfVoxels")) {
            return false;
        }
        visitor_.beginVoi(info);
        for (std::int32_t j = 0; j < info.voxelCount; ++j) {
            std::string_view line;
            std::int32_t xyz[3];
            if (!next(line)) return false;
            if (!parseInts(line, xyz, 3)) {
                return fail("is not a voxel \"X Y Z\" (VOI \"" + info.name + "\" claims " +
                            std::to_string(info.voxelCount) + " voxels)");
            }
            visitor_.voxel(xyz[0], xyz[1], xyz[2]);
        }
        visitor_.endVoi();
        return empty();
    }

    bool next(std::string_view& line) {
        if (lines_.next(line, error_)) return true;
        if (error_.empty())
            error_ = "the file ends early, after line " + std::to_string(lines_.number());
        return false;
    }

    bool fail(const std::string& what) {
        error_ = lines_.lineError(what);
        return false;
    }

    bool empty() {
        std::string_view line;
        if (!next(line)) return false;
        return line.empty() || fail("should be empty");
    }

    bool keyLine(const char* key, std::string_view& value) {
        std::string_view line;
        if (!next(line)) return false;
        const std::size_t keyLength = std::strlen(key);
        if (line.substr(0, keyLength) != key) {
            return fail(std::string("should begin with \"") + key + "\"");
        }
        value = line.substr(keyLength);
        return true;
    }

    bool intLine(const char* key, std::int32_t& value) {
        std::string_view text;
        if (!keyLine(key, text)) return false;
        return parseInt(text, value) || fail(std::string("has no integer after \"") + key + "\"");
    }

    bool textLine(const char* key, std::string& value) {
        std::string_view text;
        if (!keyLine(key, text)) return false;
        value.assign(text);
        return true;
    }

    bool notNegative(std::int32_t value, const char* key) {
        return value >= 0 || fail(std::string("has a negative ") + key);
    }

    LineSource& lines_;
    VoiFileVisitor& visitor_;
    std::string& error_;
};

class Collector : public VoiFileVisitor {
  public:
    explicit Collector(VoiFileContents& contents) : contents_(contents) {}
    void header(const VoiFileHeader& h) override { contents_.header = h; }
    void beginVoi(const VoiInfo& info) override {
        contents_.vois.push_back({info, {}});
        contents_.vois.back().voxels.reserve(3 * static_cast<std::size_t>(info.voxelCount));
    }
    void voxel(std::int32_t x, std::int32_t y, std::int32_t z) override {
        auto& voxels = contents_.vois.back().voxels;
        voxels.insert(voxels.end(), {x, y, z});
    }

  private:
    VoiFileContents& contents_;
};

}  // namespace

bool parseVoiText(const char* data, std::size_t size, VoiFileVisitor& visitor, std::string& error) {
    error.clear();
    LineSource lines(data, size);
    return Parser(lines, visitor, error).run();
}

bool readVoiFile(const std::string& path, VoiFileVisitor& visitor, std::string& error) {
    error.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    LineSource lines(fd);
    const bool ok = Parser(lines, visitor, error).run();
    ::close(fd);
    return ok;
}

bool loadVoiFile(const std::string& path, VoiFileContents& contents, std::string& error) {
    contents = VoiFileContents();
    Collector collector(contents);
    return readVoiFile(path, collector, error);
}

}  // namespace headless
