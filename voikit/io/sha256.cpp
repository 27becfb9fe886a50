#include "voikit/io/sha256.h"

#include <nettle/sha2.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

#include "voikit/io/error.h"

namespace voikit {
namespace {

std::string hex(const std::uint8_t* digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < SHA256_DIGEST_SIZE; ++i) {
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 15];
    }
    return text;
}

std::string finish(sha256_ctx& context) {
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    return hex(digest);
}

FileChecksum readChecksum(const std::string& path) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               std::fclose);
    if (!file) throw Error("cannot read " + path + " for its checksum: " + std::strerror(errno));
    sha256_ctx context;
    sha256_init(&context);
    FileChecksum checksum;
    std::vector<std::uint8_t> block(1 << 16);
    std::size_t got = 0;
    while ((got = std::fread(block.data(), 1, block.size(), file.get())) > 0) {
        sha256_update(&context, got, block.data());
        checksum.bytes += got;
    }
    if (std::ferror(file.get())) {
        throw Error("cannot read " + path + " to its end for its checksum");
    }
    checksum.sha256 = finish(context);
    return checksum;
}

// A file as checksummed: its path, inode, size and modification time. A file changed since is
// another key.
using FileKey = std::tuple<std::string, ino_t, off_t, std::int64_t>;

// A file last changed this long ago or more is remembered: one changed again later has
// another modification time, however coarse the file system's clock. One changed within it
// is read each time asked for.
constexpr std::time_t kSettledSeconds = 2;

}  // namespace

FileChecksum sha256OfFile(const std::string& path) {
    // One run reads an atlas both to know it and for the record of what made its outputs, at
    // the same time: the second asking waits for the first's checksum instead of reading the
    // file again.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 ||
        info.st_mtim.tv_sec + kSettledSeconds > std::time(nullptr)) {
        return readChecksum(path);
    }
    const FileKey key{path, info.st_ino, info.st_size,
                      std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec};
    static std::mutex mutex;
    static std::map<FileKey, std::shared_future<FileChecksum>> known;
    std::promise<FileChecksum> promise;
    std::shared_future<FileChecksum> earlier;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto [entry, fresh] = known.try_emplace(key);
        if (fresh) {
            entry->second = promise.get_future().share();
        } else {
            earlier = entry->second;
        }
    }
    if (earlier.valid()) return earlier.get();
    try {
        FileChecksum checksum = readChecksum(path);
        promise.set_value(checksum);
        return checksum;
    } catch (...) {
        // A failure is told to those waiting and not kept: the next asking tries again.
        promise.set_exception(std::current_exception());
        const std::lock_guard<std::mutex> lock(mutex);
        known.erase(key);
        throw;
    }
}

std::string sha256Of(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return finish(context);
}

}  // namespace voikit
