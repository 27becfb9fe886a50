#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace voikit {

// The bytes of a gzip file decompressed at once: several times faster than reading it
// through zlib's stream, for compressed images read whole.
struct GzipBytes {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
};

// The content of a gzip file that is one member of exactly `size` bytes (as its trailer
// says and decompression finds); none when the file cannot be read or is anything else, which
// the caller then reads the usual way.
std::optional<GzipBytes> readGzipWhole(const std::string& path, std::size_t size);

}  // namespace voikit
