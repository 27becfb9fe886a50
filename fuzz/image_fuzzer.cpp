// Any bytes as a NIfTI image given to --grid or --atlas, or to extract values from volume by
// volume (3D or 4D): as a .nii file, as a .nii.gz file of those very bytes, or
// gzip-compressed into a .nii.gz. Every image is refused with an Error or read whole;
// nothing crashes, leaks or reads past what the file holds, and every VOI's count of finite
// and non-finite values adds up to its cells in every volume.
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "voikit/extract/extraction.h"
#include "voikit/extract/voi_file_regions.h"
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

// Two small VOIs: a cube at the origin and one a few centimetres away, overlapping nothing.
const voikit::VoiFileRegions& regions() {
    static const voikit::VoiFileRegions cubes = [] {
        glomera::VoiFileContents contents;
        for (const std::int32_t at : {0, 20}) {
            glomera::VoiFileContents::Voi voi;
            voi.info.name = "cube" + std::to_string(at);
            for (std::int32_t x = -1; x <= 1; ++x) {
                for (std::int32_t y = -1; y <= 1; ++y) {
                    for (std::int32_t z = -1; z <= 1; ++z) {
                        voi.voxels.insert(voi.voxels.end(), {x + at, y - at, z + at});
                    }
                }
            }
            voi.info.voxelCount = static_cast<std::int32_t>(voi.voxels.size() / 3);
            contents.vois.push_back(voi);
        }
        return voikit::VoiFileRegions(voikit::runsOf(contents));
    }();
    return cubes;
}

void extractFrom(const std::string& path) {
    try {
        voikit::CellCache cache(regions());
        const voikit::ImageExtraction extraction =
            voikit::extractImage(path, cache, {voikit::Space::kMni, voikit::MniToTal::kSpm});
        const std::int64_t cellsPerVolume = extraction.grid.cells();
        for (std::size_t v = 0; v < extraction.vois(); ++v) {
            const auto& cells = extraction.cells->cells[v];
            for (const std::int64_t cell : cells) {
                if (cell < 0 || cell >= cellsPerVolume) std::abort();
            }
            for (std::int64_t volume = 0; volume < extraction.volumes; ++volume) {
                const voikit::CellStatistics& s = extraction.at(volume, v);
                if (s.count + s.nonfinite != static_cast<std::int64_t>(cells.size())) std::abort();
            }
        }
    } catch (const voikit::Error&) {
    }
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
    extractFrom(path);
    std::remove(path.c_str());
    return 0;
}
