// The parts of the reference outputs (tests/reference/) that are not compared as text:
//
//   reference-outputs summary FILE.voi|FILE.nii[.gz]
//       prints what a reference keeps of the file: the header's fields, each VOI or label with
//       its voxel count and extent, and CRC-32 checksums of the voxels (and of a .voi file's
//       bytes), so that a change shows as the line that moved;
//   reference-outputs compare-png REFERENCE.png OUTPUT.png DIFFERENCE.png
//       compares two pictures pixel by pixel within a budget, says how they differ, and
//       draws where into DIFFERENCE.png.
//
// Exit status: 0 alike, 1 different, 2 a file that cannot be read or a usage error.
#include <cairo.h>
#include <nifti2_io.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/ends_with.h"
#include "tests/support/voi_file_loading.h"
#include "voi/voi_reader.h"

namespace {

// A pixel differs when one of its channels moves by more than this many levels of 255 (text
// drawn a shade lighter does not); a picture differs when more than the budget's share of
// its pixels do (a sphere of the example moved by a millimetre changes some 480 of its 1.2
// million).
constexpr int kChannelTolerance = 32;
constexpr double kPixelBudget = 0.0002;

std::uint32_t crc32Of(const void* data, std::size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const auto* bytes = static_cast<const Bytef*>(data);
    while (size > 0) {
        const auto chunk = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = crc32(crc, bytes, chunk);
        bytes += chunk;
        size -= chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

std::string hex(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// The low..high of each axis of x, y, z triples.
std::string extent(const std::vector<std::int32_t>& xyz) {
    if (xyz.empty()) return "no voxels";
    std::string text;
    for (int axis = 0; axis < 3; ++axis) {
        std::int32_t low = xyz[axis], high = xyz[axis];
        for (std::size_t i = axis; i < xyz.size(); i += 3) {
            low = std::min(low, xyz[i]);
            high = std::max(high, xyz[i]);
        }
        text += std::string(axis ? ", " : "") + "xyz"[axis] + " " + std::to_string(low) + ".." +
                std::to_string(high);
    }
    return text;
}

void summariseVoi(const std::string& path) {
    const glomera::VoiFileContents contents = glomera::loadVoiFile(path);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const glomera::VoiFileHeader& h = contents.header;
    std::printf("file: %zu bytes, CRC-32 %s\n", bytes.size(),
                hex(crc32Of(bytes.data(), bytes.size())).c_str());
    std::printf(
        "header: version %d, %s, resolution %d %d %d, offset %d %d %d, framing cube %d, "
        "left-right %d, naming %s, %d VOIs, %d VTCs\n",
        h.fileVersion, h.referenceSpace.c_str(), h.resolution[0], h.resolution[1], h.resolution[2],
        h.offset[0], h.offset[1], h.offset[2], h.framingCubeDim, h.leftRightConvention,
        h.namingConvention.c_str(), h.voiCount, h.vtcCount);
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& voi = contents.vois[i];
        std::printf(
            "VOI %zu %s: colour %d %d %d, %d voxels, %s, voxels CRC-32 %s\n", i + 1,
            voi.info.name.c_str(), voi.info.color[0], voi.info.color[1], voi.info.color[2],
            voi.info.voxelCount, extent(voi.voxels).c_str(),
            hex(crc32Of(voi.voxels.data(), voi.voxels.size() * sizeof(std::int32_t))).c_str());
    }
}

struct NiftiFree {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};

void printMatrix(const char* name, int code, const nifti_dmat44& m) {
    std::printf("%s: %s", name, nifti_xform_string(code));
    for (int r = 0; r < 3; ++r)
        std::printf("; %g %g %g %g", m.m[r][0], m.m[r][1], m.m[r][2], m.m[r][3]);
    std::printf("\n");
}

void summariseNifti(const std::string& path) {
    const std::unique_ptr<nifti_image, NiftiFree> image(nifti_image_read(path.c_str(), 1));
    if (!image || image->datatype != NIFTI_TYPE_INT16) {
        throw std::runtime_error(path + " is no 16-bit NIfTI label volume");
    }
    std::printf("dims: %lld x %lld x %lld, voxels %g x %g x %g %s\n",
                static_cast<long long>(image->nx), static_cast<long long>(image->ny),
                static_cast<long long>(image->nz), image->dx, image->dy, image->dz,
                nifti_units_string(image->xyz_units));
    std::printf("datatype: %s, intent: %s \"%s\", description: \"%s\"\n",
                nifti_datatype_string(image->datatype), nifti_intent_string(image->intent_code),
                image->intent_name, image->descrip);
    printMatrix("qform", image->qform_code, image->qto_xyz);
    printMatrix("sform", image->sform_code, image->sto_xyz);
    // Each label's voxel count and extent in voxel indices.
    struct Label {
        std::int64_t voxels = 0;
        std::int64_t low[3] = {INT64_MAX, INT64_MAX, INT64_MAX}, high[3] = {-1, -1, -1};
    };
    std::map<int, Label> labels;
    const auto* data = static_cast<const std::int16_t*>(image->data);
    std::int64_t at = 0;
    for (std::int64_t k = 0; k < image->nz; ++k) {
        for (std::int64_t j = 0; j < image->ny; ++j) {
            for (std::int64_t i = 0; i < image->nx; ++i, ++at) {
                Label& label = labels[data[at]];
                ++label.voxels;
                const std::int64_t index[3] = {i, j, k};
                for (int a = 0; a < 3; ++a) {
                    label.low[a] = std::min(label.low[a], index[a]);
                    label.high[a] = std::max(label.high[a], index[a]);
                }
            }
        }
    }
    for (const auto& [value, label] : labels) {
        std::printf("label %d: %lld voxels, i %lld..%lld, j %lld..%lld, k %lld..%lld\n", value,
                    static_cast<long long>(label.voxels), static_cast<long long>(label.low[0]),
                    static_cast<long long>(label.high[0]), static_cast<long long>(label.low[1]),
                    static_cast<long long>(label.high[1]), static_cast<long long>(label.low[2]),
                    static_cast<long long>(label.high[2]));
    }
    std::printf("voxels CRC-32: %s\n",
                hex(crc32Of(image->data, image->nbyper * image->nvox)).c_str());
}

// A PNG decoded into 0xRRGGBB pixels.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

Picture readPicture(const std::string& path) {
    const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error("cannot read " + path + ": " +
                                 cairo_status_to_string(cairo_surface_status(surface.get())));
    }
    Picture picture;
    picture.width = cairo_image_surface_get_width(surface.get());
    picture.height = cairo_image_surface_get_height(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t{y} * stride);
        for (int x = 0; x < picture.width; ++x) picture.pixels.push_back(row[x] & 0xFFFFFF);
    }
    return picture;
}

int channelDifference(std::uint32_t a, std::uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int d =
            std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        largest = std::max(largest, d);
    }
    return largest;
}

// The reference faint in grey, the pixels that differ in magenta.
void drawDifference(const Picture& reference, const std::vector<bool>& differs,
                    const std::string& path) {
    const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, reference.width, reference.height),
        cairo_surface_destroy);
    cairo_surface_flush(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    for (int y = 0; y < reference.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t{y} * stride);
        for (int x = 0; x < reference.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * reference.width + x;
            const std::uint32_t c = reference.pixels[i];
            const std::uint32_t grey = (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 6;
            row[x] = differs[i] ? 0xFF00FF : grey * 0x010101;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    cairo_surface_write_to_png(surface.get(), path.c_str());
}

int comparePictures(const std::string& referencePath, const std::string& outputPath,
                    const std::string& differencePath) {
    const Picture reference = readPicture(referencePath), output = readPicture(outputPath);
    const std::string name = outputPath.substr(outputPath.rfind('/') + 1);
    if (reference.width != output.width || reference.height != output.height) {
        std::printf("%s: %d x %d pixels, its reference %d x %d\n", name.c_str(), output.width,
                    output.height, reference.width, reference.height);
        return 1;
    }
    std::vector<bool> differs(reference.pixels.size());
    std::size_t count = 0;
    int largest = 0, low[2] = {reference.width, reference.height}, high[2] = {-1, -1};
    for (int y = 0; y < reference.height; ++y) {
        for (int x = 0; x < reference.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * reference.width + x;
            const int d = channelDifference(reference.pixels[i], output.pixels[i]);
            largest = std::max(largest, d);
            if (d <= kChannelTolerance) continue;
            differs[i] = true;
            ++count;
            low[0] = std::min(low[0], x), high[0] = std::max(high[0], x);
            low[1] = std::min(low[1], y), high[1] = std::max(high[1], y);
        }
    }
    const auto budget = static_cast<std::size_t>(kPixelBudget * reference.pixels.size());
    if (count == 0) return 0;
    std::printf(
        "%s: %zu pixels differ by more than %d of 255 (budget %zu), in columns %d..%d, "
        "rows %d..%d; the largest difference %d\n",
        name.c_str(), count, kChannelTolerance, budget, low[0], high[0], low[1], high[1], largest);
    if (count <= budget) return 0;
    drawDifference(reference, differs, differencePath);
    std::printf("%s: where, in magenta: %s\n", name.c_str(), differencePath.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "summary" && glomera::endsWith(args[1], ".voi")) {
            summariseVoi(args[1]);
            return 0;
        }
        if (args.size() == 2 && args[0] == "summary") {
            summariseNifti(args[1]);
            return 0;
        }
        if (args.size() == 4 && args[0] == "compare-png") {
            return comparePictures(args[1], args[2], args[3]);
        }
        std::fprintf(stderr,
                     "usage: reference-outputs summary FILE.voi|FILE.nii[.gz]\n"
                     "       reference-outputs compare-png REFERENCE.png OUTPUT.png "
                     "DIFFERENCE.png\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "reference-outputs: %s\n", error.what());
    }
    return 2;
}
