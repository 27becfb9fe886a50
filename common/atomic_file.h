#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace glomera {

// Writes a file so that it either appears complete or not at all: the bytes go into a
// temporary file in the target's folder, which replaces the target by rename only when
// every write and the close succeeded. Until then an earlier file of that name keeps its
// old contents, and a failed or abandoned write removes the temporary file. A target that
// is there and is no regular file or folder (a device such as /dev/null, a pipe, a socket,
// or a link to one, as /dev/stdout) is written straight through: renaming over it would
// put a regular file in its place.
//
// Output is collected in a bounded buffer and handed to the system in large blocks. The
// first failure is sticky: later appends do nothing and commit() reports false.
class AtomicFile {
  public:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 18;
    static constexpr std::size_t kPage = 4096;

    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for target. False when it cannot be created (the folder
    // is missing or not writable, the path is empty or names a folder, memory ran out).
    bool open(const std::string& target);

    void append(const char* data, std::size_t size);
    void append(char c) {
        if (used_ == kBufferSize) flush();
        buffer_[used_++] = c;
    }

    // A writable stretch of at least `size` bytes (size at most kBufferSize - kPage) at the
    // end of the buffer; confirm what was written with advance().
    char* reserve(std::size_t size) {
        if (kBufferSize - used_ < size) flushWholePages();
        return buffer_.get() + used_;
    }
    void advance(std::size_t size) { used_ += size; }

    // Flushes, closes and renames over the target. False on any failure, in which case the
    // temporary file is gone and the target untouched.
    bool commit();

    bool failed() const { return failed_; }

    // The system's error number of the first call that failed (ENOMEM when the buffer could
    // not be had, EISDIR for a path that names a folder, ENOENT for an empty path); 0 while
    // nothing failed.
    int error() const { return error_; }

    // A new name for a temporary file beside `target`, ending in `suffix`, for writers that
    // must create the file themselves and rename it over the target once it is complete:
    // ".glomera-PID-N" and the suffix, PID being the writing process.
    static std::string temporaryPathFor(const std::string& target, const char* suffix);

    // Removes, from the folder of `target`, the temporary files of writers that were killed
    // before they could finish: files named as temporaryPathFor names them whose process is
    // gone. Everything else stays, the temporaries of running processes included. Returns
    // how many were removed.
    static int removeStaleTemporaries(const std::string& target);

  private:
    void flush();
    // Hands the system the buffer's whole pages and keeps the rest, less than a page, at its
    // start: writes that end on a page boundary never leave the page cache a page half
    // written, to be found and filled again by the next write.
    void flushWholePages();
    void discard();
    // Marks the write failed with `number` unless an earlier failure was recorded.
    void fail(int number);

    std::string target_;
    std::string temporary_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    int fd_ = -1;
    bool failed_ = false;
    int error_ = 0;
    bool direct_ = false;  // writing straight into a device or pipe, with no temporary
};

}  // namespace glomera
