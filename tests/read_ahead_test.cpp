#include "voi/read_ahead.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "tests/test_files.h"

namespace {

using glomera::ReadAhead;

constexpr std::size_t kBlock = 4096;

class OpenFile {
  public:
    explicit OpenFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {}
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reads the file back block by block, carrying a random part of each block's end into the
// next as a parser carries an unfinished line; returns what it saw, each byte once.
std::string reassembled(const std::string& path, std::mt19937& random) {
    const OpenFile file(path);
    ReadAhead ahead(file.get(), kBlock, kBlock);
    std::string seen;
    const char* kept = nullptr;
    std::size_t keptSize = 0;
    for (;;) {
        const ReadAhead::Block block = ahead.next(kept, keptSize);
        EXPECT_EQ(block.error, 0);
        // The carried bytes come first, unchanged.
        EXPECT_EQ(std::string(block.data, keptSize),
                  std::string(seen.end() - keptSize, seen.end()));
        seen.append(block.data + keptSize, block.size - keptSize);
        if (block.last) return seen;
        keptSize =
            std::uniform_int_distribution<std::size_t>(0, std::min(block.size, kBlock))(random);
        kept = block.data + block.size - keptSize;
    }
}

TEST(ReadAhead, BlocksPutTogetherAreTheFile) {
    TempFolder folder;
    std::mt19937 random(7);
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kBlock - 1, kBlock, 3 * kBlock,
                                   3 * kBlock + 5, 200 * kBlock + 17}) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        const std::string path = folder.file("f" + std::to_string(size));
        writeFile(path, bytes);
        EXPECT_EQ(reassembled(path, random), bytes) << size << " bytes";
    }
}

TEST(ReadAhead, StoppingEarlyAndFailedReads) {
    TempFolder folder;
    const std::string path = folder.file("long");
    writeFile(path, std::string(100 * kBlock, 'x'));
    {
        // Dropped after one block, while the thread is ahead: the destructor waits for it.
        const OpenFile file(path);
        ReadAhead ahead(file.get(), kBlock, kBlock);
        EXPECT_EQ(ahead.next(nullptr, 0).size, kBlock);
    }
    const OpenFile folderItself(folder.path());
    ReadAhead ahead(folderItself.get(), kBlock, kBlock);
    const ReadAhead::Block block = ahead.next(nullptr, 0);
    EXPECT_TRUE(block.last);
    EXPECT_EQ(block.error, EISDIR);
    // Asked again after the end, it hands back what it was given and says it is the last.
    const char kept[] = "abc";
    const ReadAhead::Block after = ahead.next(kept, 3);
    EXPECT_TRUE(after.last);
    EXPECT_EQ(std::string(after.data, after.size), "abc");
}

}  // namespace
