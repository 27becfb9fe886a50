#include "coordlist/text_files.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "common/atomic_file.h"
#include "common/format_line.h"
#include "host/host_operations.h"

namespace glomera {
namespace {

constexpr std::size_t kTextLimit = host::kTextCapacity - 1;

// Joins lines into the caller's text buffer as they arrive, without ever writing past it.
// The line being read is built in place after the text kept so far; it is kept when its
// line feed (or the end of the file) arrives, and only if it fits whole.
class LineJoiner {
  public:
    explicit LineJoiner(char* text) : text_(text) { text_[0] = '\0'; }

    // Returns false once the text is full and reading should stop.
    bool add(char byte) {
        if (byte == '\n') return finishLine();
        ++pending_;
        if (afterZero_) return true;
        if (byte == '\0') {
            afterZero_ = true;
            return true;
        }
        if (lineStart() + lineLength_ >= kTextLimit + 1) {
            // Room for one more byte beyond the limit lets a final CR be dropped later.
            full_ = true;
            return false;
        }
        text_[lineStart() + lineLength_++] = byte;
        return true;
    }

    // The end of the file, or a read error, which ends the reading the same way.
    void finish() {
        if (pending_ > 0 && !full_) keep(false);
        text_[used_] = '\0';
    }

    std::int32_t lines() const { return lines_; }
    bool cut() const { return full_; }

  private:
    std::size_t lineStart() const { return used_ + (lines_ > 0 ? 1 : 0); }

    bool finishLine() {
        keep(true);
        return !full_;
    }

    void keep(bool endedByLineFeed) {
        // CR LF is one line end; a lone CR at the very end of the file stays.
        if (endedByLineFeed && !afterZero_ && lineLength_ > 0 &&
            text_[lineStart() + lineLength_ - 1] == '\r') {
            --lineLength_;
        }
        const std::size_t end = lineStart() + lineLength_;
        if (end > kTextLimit) {
            full_ = true;
        } else {
            if (lines_ > 0) text_[used_] = '\n';
            used_ = end;
            ++lines_;
        }
        pending_ = 0;
        lineLength_ = 0;
        afterZero_ = false;
    }

    char* text_;
    std::size_t used_ = 0;        // length of the joined text kept so far
    std::size_t lineLength_ = 0;  // bytes of the current line stored after it
    std::size_t pending_ = 0;     // bytes of the current line read, stored or not
    std::int32_t lines_ = 0;
    bool afterZero_ = false;
    bool full_ = false;
};

}  // namespace

std::int32_t readTextFile(const char* path, char* text) {
    LineJoiner joiner(text);
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return 0;
    char chunk[1 << 16];
    bool reading = true;
    while (reading) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (got == 0) break;
        for (std::size_t i = 0; i < got && reading; ++i) reading = joiner.add(chunk[i]);
    }
    std::fclose(file);
    joiner.finish();
    if (joiner.cut()) {
        host::ztLogText(formatLine("Plugin>  The file does not fit the text box: only its "
                                   "first %i lines were read.",
                                   joiner.lines())
                            .c_str());
    }
    return joiner.lines();
}

bool saveTextFile(const char* path, const char* text) {
    AtomicFile out;
    bool saved = out.open(path);
    if (saved) {
        for (const char* p = text; *p != '\0'; ++p) {
            if (*p == '\n') out.append('\r');
            out.append(*p);
        }
        saved = out.commit();
    }
    if (!saved) host::ztLogText("Plugin>  Error while writing *.txt file.");
    return saved;
}

}  // namespace glomera
