#include "common/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
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

namespace {

constexpr char kTemporaryPrefix[] = ".glomera-";

// The process id in a name made by temporaryPathFor, or 0 when the name is not one.
pid_t writerOf(const char* name) {
    const std::size_t prefix = sizeof kTemporaryPrefix - 1;
    if (std::strncmp(name, kTemporaryPrefix, prefix) != 0) return 0;
    const char* p = name + prefix;
    long pid = 0;
    const char* digits = p;
    while (*p >= '0' && *p <= '9' && pid < 100000000) pid = pid * 10 + (*p++ - '0');
    if (p == digits || *p++ != '-') return 0;
    const char* counter = p;
    while (*p >= '0' && *p <= '9') ++p;
    if (p == counter || std::strncmp(p, ".tmp", 4) != 0) return 0;
    return static_cast<pid_t>(pid);
}

bool processIsGone(pid_t pid) { return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

int AtomicFile::removeStaleTemporaries(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const pid_t writer = writerOf(entry->d_name);
        if (writer == 0 || writer == getpid() || !processIsGone(writer)) continue;
        const std::string path = (folder == "." ? std::string() : folder) + entry->d_name;
        struct stat status {};
        // Only regular files, as a writer leaves them.
        if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            ::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    ::closedir(directory);
    return removed;
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(const std::string& target) {
    discard();
    failed_ = false;
    error_ = 0;
    if (target.empty() || target.back() == '/') {
        fail(target.empty() ? ENOENT : EISDIR);
        return false;
    }
    buffer_.reset(new (std::nothrow) char[kBufferSize]);
    if (!buffer_) {
        fail(ENOMEM);
        return false;
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
        fd_ = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) {
            fail(errno);
            return false;
        }
        target_ = target;
        direct_ = true;
        used_ = 0;
        return true;
    }
    // What killed writers left in this folder goes before a new write begins.
    removeStaleTemporaries(target);

    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = temporaryPathFor(target, ".tmp");
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        fail(errno);
        temporary_.clear();
        return false;
    }
    // A replaced file keeps its permissions; a new one gets the usual ones from the umask.
    if (exists && S_ISREG(existing.st_mode)) {
        ::fchmod(fd_, existing.st_mode & 07777);
    }
    target_ = target;
    used_ = 0;
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
            fail(written < 0 ? errno : ENOSPC);
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (fd_ < 0) fail(EBADF);
}

void AtomicFile::flushWholePages() {
    const std::size_t whole = used_ - used_ % kPage;
    const std::size_t rest = used_ - whole;
    used_ = whole;
    flush();
    std::memmove(buffer_.get(), buffer_.get() + whole, rest);
    used_ = rest;
}

bool AtomicFile::commit() {
    if (fd_ < 0) {
        fail(EBADF);
        return false;
    }
    if (!failed_) flush();
    if (::close(fd_) != 0) fail(errno);
    fd_ = -1;
    if (direct_) {
        discard();
        return !failed_;
    }
    if (!failed_ && ::rename(temporary_.c_str(), target_.c_str()) != 0) fail(errno);
    if (failed_) {
        discard();
        return false;
    }
    temporary_.clear();
    buffer_.reset();
    return true;
}

void AtomicFile::fail(int number) {
    if (!failed_) error_ = number;
    failed_ = true;
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
    direct_ = false;
}

}  // namespace glomera
