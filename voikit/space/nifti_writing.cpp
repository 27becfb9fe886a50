#include "voikit/space/nifti_writing.h"

#include <zlib.h>

#include <cstdint>
#include <string>

#include "voikit/io/error.h"

namespace voikit {
// The 348-byte header, the four bytes that say whether extensions follow, and each extension
// as its size, its code and its data (which the library keeps padded to its size).
std::string niftiHeadBytes(nifti_image& image) {
    nifti_set_iname_offset(&image, 1);
    nifti_1_header header{};
    if (nifti_convert_nim2n1hdr(&image, &header) != 0) {
        throw Error("cannot make a NIfTI header");
    }
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    const char extender[4] = {image.num_ext > 0 ? '\1' : '\0', 0, 0, 0};
    bytes.append(extender, sizeof extender);
    for (int e = 0; e < image.num_ext; ++e) {
        const nifti1_extension& extension = image.ext_list[e];
        const std::int32_t sizeAndCode[2] = {extension.esize, extension.ecode};
        bytes.append(reinterpret_cast<const char*>(sizeAndCode), sizeof sizeAndCode);
        bytes.append(extension.edata, static_cast<std::size_t>(extension.esize) - 8);
    }
    // The voxels start where the header says, on a 16-byte boundary past the extensions.
    bytes.resize(static_cast<std::size_t>(header.vox_offset), '\0');
    return bytes;
}

namespace {

// Compresses into `out` as one gzip member, a block at a time: the voxels are never copied
// whole.
class GzipStream {
  public:
    explicit GzipStream(glomera::AtomicFile& out) : out_(out) {
        constexpr int kFastLevel = 1;
        constexpr int kGzipWindow = 15 + 16;  // the largest window, with a gzip header
        constexpr int kMemoryLevel = 8;
        if (deflateInit2(&stream_, kFastLevel, Z_DEFLATED, kGzipWindow, kMemoryLevel,
                         Z_DEFAULT_STRATEGY) != Z_OK) {
            throw Error("not enough memory to compress a NIfTI volume");
        }
    }
    ~GzipStream() { deflateEnd(&stream_); }
    GzipStream(const GzipStream&) = delete;
    GzipStream& operator=(const GzipStream&) = delete;

    void add(const char* data, std::size_t size) {
        // zlib counts in 32 bits: larger pieces go in parts.
        constexpr std::size_t kLargestPart = std::size_t{1} << 30;
        while (size > 0) {
            const std::size_t part = size < kLargestPart ? size : kLargestPart;
            stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
            stream_.avail_in = static_cast<uInt>(part);
            pump(Z_NO_FLUSH);
            data += part;
            size -= part;
        }
    }
    void finish() { pump(Z_FINISH); }

  private:
    void pump(int flush) {
        int result = Z_OK;
        do {
            char* const block = out_.reserve(kBlock);
            stream_.next_out = reinterpret_cast<Bytef*>(block);
            stream_.avail_out = static_cast<uInt>(kBlock);
            result = deflate(&stream_, flush);
            if (result == Z_STREAM_ERROR) throw Error("cannot compress a NIfTI volume");
            out_.advance(kBlock - stream_.avail_out);
        } while (stream_.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
    }

    static constexpr std::size_t kBlock = std::size_t{1} << 16;
    glomera::AtomicFile& out_;
    z_stream stream_{};
};

}  // namespace

void writeNifti1(nifti_image& image, const void* data, std::size_t bytes, bool compressed,
                 glomera::AtomicFile& out) {
    const std::string head = niftiHeadBytes(image);
    if (!compressed) {
        out.append(head.data(), head.size());
        out.append(static_cast<const char*>(data), bytes);
        return;
    }
    // One gzip member, as every reader takes.
    GzipStream gzip(out);
    gzip.add(head.data(), head.size());
    gzip.add(static_cast<const char*>(data), bytes);
    gzip.finish();
}

}  // namespace voikit
