#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace glomera {

std::string AtomicFile::temporaryPathFor(const std::string& target, const char* suffix) {
    // A short name of our own keeps the temporary inside the file-name length limit even
    // when the target's own name is near it.
    static unsigned counter = 0;
    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    char name[64];
    std::snprintf(name, sizeof name, ".glomera-%ld-%u%s", static_cast<long>(getpid()), counter++,
                  suffix);
    return folder + name;
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(const std::string& target) {
    discard();
    failed_ = true;
    if (target.empty() || target.back() == '/') return false;
    buffer_.reset(new (std::nothrow) char[kBufferSize]);
    if (!buffer_) return false;

    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = temporaryPathFor(target, ".tmp");
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temporary_.clear();
        return false;
    }
    // A replaced file keeps its permissions; a new one gets the usual ones from the umask.
    struct stat existing;
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd_, existing.st_mode & 07777);
    }
    target_ = target;
    used_ = 0;
    failed_ = false;
    return true;
}

void AtomicFile::append(const char* data, std::size_t size) {
    while (size > 0 && !failed_) {
        if (used_ == kBufferSize) flush();
        const std::size_t room = kBufferSize - used_;
        const std::size_t chunk = size < room ? size : room;
        std::memcpy(buffer_.get() + used_, data, chunk);
        used_ += chunk;
        data += chunk;
        size -= chunk;
    }
}

void AtomicFile::flush() {
    const char* data = buffer_.get();
    std::size_t left = used_;
    used_ = 0;
    while (left > 0 && !failed_ && fd_ >= 0) {
        const ssize_t written = ::write(fd_, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            failed_ = true;
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (fd_ < 0) failed_ = true;
}

bool AtomicFile::commit() {
    if (fd_ < 0) return false;
    if (!failed_) flush();
    const int closed = ::close(fd_);
    fd_ = -1;
    if (failed_ || closed != 0 || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        failed_ = true;
        discard();
        return false;
    }
    temporary_.clear();
    buffer_.reset();
    return true;
}

void AtomicFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    buffer_.reset();
    used_ = 0;
}

}  // namespace glomera
