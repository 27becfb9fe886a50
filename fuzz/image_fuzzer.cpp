// Any bytes as a NIfTI image given to --grid or --atlas: as a .nii file, as a .nii.gz file
// of those very bytes, or gzip-compressed into a .nii.gz. Every image is refused with an
// Error or read whole; nothing crashes, leaks or reads past what the file holds.
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "voikit/io/error.h"
#include "voikit/outputs/label_volume.h"
#include "voikit/space/atlas.h"
#include "voikit/space/mni_image.h"

namespace {

// A folder of this process's own for the image file.
const std::string& folder() {
    static const std::string path = [] {
        char name[] = "/tmp/glomera-image-fuzz-XXXXXX";
        return std::string(mkdtemp(name) ? name : "/tmp");
    }();
    return path;
}

void writeRaw(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}

void writeCompressed(const std::string& path, const std::uint8_t* data, std::size_t size) {
    gzFile file = gzopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0) gzwrite(file, data, static_cast<unsigned>(size));
    gzclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Only the library's own complaints would fill the log.
    nifti_set_debug_level(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int mode = data[0] % 3;
    const std::string path = folder() + (mode == 0 ? "/image.nii" : "/image.nii.gz");
    if (mode == 2) {
        writeCompressed(path, data + 1, size - 1);
    } else {
        writeRaw(path, data + 1, size - 1);
    }
    try {
        const voikit::LabelGrid grid =
            voikit::gridOfImage(path, voikit::Space::kMni, voikit::MniToTal::kSpm);
        if (grid.dims[0] < 1 || grid.dims[1] < 1 || grid.dims[2] < 1) std::abort();
    } catch (const voikit::Error&) {
    }
    // As a template and as an atlas, looked up point by point and up a column: every index
    // within the voxels read.
    try {
        const voikit::MniImage image(path);
        std::int64_t column[64];
        image.indicesUpColumn(3, -4, -30, 64, voikit::MniToTal::kSpm, column);
        for (const std::int64_t index : column) {
            if (index >= static_cast<std::int64_t>(image.values().size())) std::abort();
        }
    } catch (const voikit::Error&) {
    }
    try {
        const voikit::Atlas atlas(path);
        (void)atlas.labelAt({0, 0, 0}, voikit::MniToTal::kSpm);
        std::int64_t column[64];
        atlas.image().indicesUpColumn(3, -4, -30, 64, voikit::MniToTal::kBrett, column);
        for (const std::int64_t index : column) {
            if (atlas.regionAtIndex(index) >= atlas.labels().size()) std::abort();
        }
    } catch (const voikit::Error&) {
    }
    std::remove(path.c_str());
    return 0;
}
