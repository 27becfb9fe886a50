#include "voikit/space/nifti_writing.h"

#include <libdeflate.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "voikit/io/error.h"

namespace voikit {
namespace {

// The bytes in front of the voxels: the 348-byte header, the four bytes that say whether
// extensions follow, and each extension as its size, its code and its data (which the
// library keeps padded to its size).
std::string headerAndExtensions(nifti_image& image) {
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

struct FreeCompressor {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};

}  // namespace

void writeNifti1(nifti_image& image, const void* data, std::size_t bytes, bool compressed,
                 glomera::AtomicFile& out) {
    const std::string head = headerAndExtensions(image);
    if (!compressed) {
        out.append(head.data(), head.size());
        out.append(static_cast<const char*>(data), bytes);
        return;
    }
    // One gzip member, as every reader takes, compressed from one buffer: header and voxels
    // together. Only the pages of the output that the compressed bytes fill are ever made
    // present, a small part of its bound for labels and masks.
    constexpr int kFastLevel = 1;
    const std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(
        libdeflate_alloc_compressor(kFastLevel));
    const std::size_t whole = head.size() + bytes;
    const std::unique_ptr<char[]> plain(new (std::nothrow) char[whole]);
    if (!compressor || !plain) throw Error("not enough memory to compress a NIfTI volume");
    std::memcpy(plain.get(), head.data(), head.size());
    std::memcpy(plain.get() + head.size(), data, bytes);
    const std::size_t bound = libdeflate_gzip_compress_bound(compressor.get(), whole);
    const std::unique_ptr<char[]> packed(new (std::nothrow) char[bound]);
    if (!packed) throw Error("not enough memory to compress a NIfTI volume");
    const std::size_t size =
        libdeflate_gzip_compress(compressor.get(), plain.get(), whole, packed.get(), bound);
    if (size == 0) throw Error("cannot compress a NIfTI volume");
    out.append(packed.get(), size);
}

}  // namespace voikit
