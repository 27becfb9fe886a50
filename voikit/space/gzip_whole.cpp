#include "voikit/space/gzip_whole.h"

#include <libdeflate.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <new>
#include <vector>

namespace voikit {

std::optional<GzipBytes> readGzipWhole(const std::string& path, std::size_t size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::vector<unsigned char> compressed((std::istreambuf_iterator<char>(in)),
                                                std::istreambuf_iterator<char>());
    // The trailer's last four bytes: the content's size modulo 2^32, little-endian. Checked
    // before any memory is taken for the content.
    if (in.bad() || compressed.size() < 18) return std::nullopt;
    const unsigned char* trailer = compressed.data() + compressed.size() - 4;
    const std::uint32_t stated = trailer[0] | trailer[1] << 8 | trailer[2] << 16 |
                                 static_cast<std::uint32_t>(trailer[3]) << 24;
    if (stated != static_cast<std::uint32_t>(size)) return std::nullopt;
    GzipBytes content;
    content.bytes.reset(new (std::nothrow) unsigned char[size]);
    if (!content.bytes) return std::nullopt;
    struct Free {
        void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
    };
    const std::unique_ptr<libdeflate_decompressor, Free> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor) return std::nullopt;
    std::size_t consumed = 0, written = 0;
    const libdeflate_result result =
        libdeflate_gzip_decompress_ex(decompressor.get(), compressed.data(), compressed.size(),
                                      content.bytes.get(), size, &consumed, &written);
    if (result != LIBDEFLATE_SUCCESS || consumed != compressed.size() || written != size) {
        return std::nullopt;
    }
    content.size = size;
    return content;
}

}  // namespace voikit
