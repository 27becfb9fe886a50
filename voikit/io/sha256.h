#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace voikit {

// A file's SHA-256 checksum as 64 lowercase hexadecimal digits, as sha256sum prints it, and
// its size. A file not changed for a few seconds is read once per process: asked for again,
// unchanged (same inode, size and modification time), its checksum is the one taken before,
// or the one being taken. Throws Error when the file cannot be read to its end.
struct FileChecksum {
    std::string sha256;
    std::uint64_t bytes = 0;
};
FileChecksum sha256OfFile(const std::string& path);

// The same for bytes in memory.
std::string sha256Of(std::string_view bytes);

}  // namespace voikit
