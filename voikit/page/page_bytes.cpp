#include "voikit/page/page_bytes.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>

namespace voikit {

std::string gzipped(std::string_view bytes) {
    z_stream stream{};
    // Window bits 15 + 16: a gzip header and trailer around the deflate stream.
    // With these settings zlib can fail only for want of memory; no file is involved yet.
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        throw std::bad_alloc();
    }
    std::string out;
    constexpr std::size_t kChunk = std::size_t{1} << 16;
    constexpr std::size_t kMostIn = std::numeric_limits<uInt>::max();
    std::size_t consumed = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0 && consumed < bytes.size()) {
            const std::size_t take = std::min(kMostIn, bytes.size() - consumed);
            // zlib reads the input without changing it.
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + consumed));
            stream.avail_in = static_cast<uInt>(take);
            consumed += take;
        }
        const std::size_t before = out.size();
        out.resize(before + kChunk);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + before);
        stream.avail_out = static_cast<uInt>(kChunk);
        status = deflate(&stream, consumed == bytes.size() ? Z_FINISH : Z_NO_FLUSH);
        out.resize(before + kChunk - stream.avail_out);
        // Once started, deflate fails only on a stream this loop set up wrongly.
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
            deflateEnd(&stream);
            throw std::logic_error("zlib refused the page's data");
        }
    }
    deflateEnd(&stream);
    return out;
}

std::string base64(std::string_view bytes) {
    constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto byte = [&](std::size_t i) -> std::uint32_t {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
    };
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::uint32_t group = byte(at) << 16 | byte(at + 1) << 8 | byte(at + 2);
        // Three bytes make four digits; one or two make two or three, padded with '='.
        const std::size_t present = std::min<std::size_t>(3, bytes.size() - at);
        for (std::size_t digit = 0; digit < 4; ++digit) {
            out += digit <= present ? kDigits[(group >> (18 - 6 * digit)) & 0x3F] : '=';
        }
    }
    return out;
}

}  // namespace voikit
