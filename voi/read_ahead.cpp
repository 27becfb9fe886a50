#include "voi/read_ahead.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace glomera {

BlockRead readBlock(int fd, char* to, std::size_t size) {
    BlockRead read;
    while (read.filled < size) {
        const ssize_t got = ::read(fd, to + read.filled, size - read.filled);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            read.last = true;
            read.error = got < 0 ? errno : 0;
            break;
        }
        read.filled += static_cast<std::size_t>(got);
    }
    return read;
}

ReadAhead::ReadAhead(int fd, std::size_t blockSize, std::size_t headroom)
    : fd_(fd), blockSize_(blockSize), headroom_(headroom) {
    for (Buffer& buffer : buffers_) buffer.bytes.reset(new char[headroom + blockSize]);
    thread_ = std::thread([this] { fill(); });
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

// The thread: fills the two buffers in turn, each as soon as the caller has given it back,
// until the end of the file or a failed read.
void ReadAhead::fill() {
    for (int turn = 0;; turn ^= 1) {
        Buffer& buffer = buffers_[turn];
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || (!buffer.ready && !buffer.inUse); });
            if (stop_) return;
        }
        // Without the lock: the caller keeps off a buffer until it is ready.
        const BlockRead read = readBlock(fd_, buffer.bytes.get() + headroom_, blockSize_);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            buffer.filled = read.filled;
            buffer.last = read.last;
            buffer.error = read.error;
            buffer.ready = true;
        }
        changed_.notify_all();
        if (read.last) return;
    }
}

ReadAhead::Block ReadAhead::next(const char* kept, std::size_t keptSize) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (finished_ || keptSize > headroom_) return {kept, keptSize, true, finished_ ? 0 : EOVERFLOW};
    Buffer& buffer = buffers_[nextOut_];
    changed_.wait(lock, [&] { return buffer.ready; });
    buffer.ready = false;
    buffer.inUse = true;
    // The kept bytes go in front of the new ones; they may lie in the buffer handed out
    // before, which the thread refills only once it is given back below.
    char* const start = buffer.bytes.get() + headroom_ - keptSize;
    if (keptSize > 0) std::memcpy(start, kept, keptSize);
    if (handedOut_ >= 0) buffers_[handedOut_].inUse = false;
    handedOut_ = nextOut_;
    nextOut_ ^= 1;
    finished_ = buffer.last;
    const Block block{start, keptSize + buffer.filled, buffer.last, buffer.error};
    lock.unlock();
    changed_.notify_all();
    return block;
}

}  // namespace glomera
