#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

namespace glomera {

// What reading a block brought: the bytes read, whether the file ended (or a read failed),
// and the failed read's errno, else 0.
struct BlockRead {
    std::size_t filled = 0;
    bool last = false;
    int error = 0;
};

// Reads up to `size` bytes at `to`, as many read() calls as it takes to fill them or to
// reach the end of the file; interrupted calls are repeated.
BlockRead readBlock(int fd, char* to, std::size_t size);

// Reads a file ahead on a thread of its own, one block while the caller works through the
// block before, so that copying the bytes out of the page cache costs the caller no time.
// Two blocks take turns; each has room in front of it for the unfinished end of the block
// before, so that a line across the border of two blocks lies in one piece.
//
// Meant for regular files: the thread finishes the read() it is in before the destructor
// returns.
class ReadAhead {
  public:
    struct Block {
        const char* data;  // the carried end of the block before, then the new bytes
        std::size_t size;
        bool last;  // nothing follows: the end of the file, or a failed read
        int error;  // the failed read's errno, else 0
    };

    // Blocks of `blockSize` bytes, each with `headroom` bytes in front. Starts the thread;
    // throws std::system_error when it cannot, std::bad_alloc without memory.
    ReadAhead(int fd, std::size_t blockSize, std::size_t headroom);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next block, with the `keptSize` bytes at `kept` (at most the headroom; they may
    // lie in the block handed out before, which is given back only now) in front of it.
    Block next(const char* kept, std::size_t keptSize);

  private:
    struct Buffer {
        std::unique_ptr<char[]> bytes;
        std::size_t filled = 0;
        bool ready = false;  // filled and not yet handed out
        bool inUse = false;  // handed out and not yet given back
        bool last = false;
        int error = 0;
    };

    void fill();

    const int fd_;
    const std::size_t blockSize_;
    const std::size_t headroom_;
    Buffer buffers_[2];
    int handedOut_ = -1;     // the buffer the caller holds
    int nextOut_ = 0;        // the buffer it gets next
    bool finished_ = false;  // the last block has been handed out
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

}  // namespace glomera
