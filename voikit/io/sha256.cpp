#include "voikit/io/sha256.h"

#include <nettle/sha2.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
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

}  // namespace

FileChecksum sha256OfFile(const std::string& path) {
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

std::string sha256Of(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return finish(context);
}

}  // namespace voikit
