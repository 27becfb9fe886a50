#include "voikit/space/nifti_file.h"

#include <fmt/format.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <type_traits>

#include "voikit/io/error.h"
#include "voikit/space/gzip_whole.h"

namespace voikit {
namespace {

// Why a datatype is refused; empty for the real types read here.
std::string datatypeRefusal(int datatype) {
    switch (datatype) {
        case NIFTI_TYPE_UINT8:
        case NIFTI_TYPE_INT8:
        case NIFTI_TYPE_INT16:
        case NIFTI_TYPE_UINT16:
        case NIFTI_TYPE_INT32:
        case NIFTI_TYPE_UINT32:
        case NIFTI_TYPE_INT64:
        case NIFTI_TYPE_UINT64:
        case NIFTI_TYPE_FLOAT32:
        case NIFTI_TYPE_FLOAT64:
            return "";
        case NIFTI_TYPE_COMPLEX64:
        case NIFTI_TYPE_COMPLEX128:
        case NIFTI_TYPE_COMPLEX256:
            return "its voxels are complex numbers (datatype " + std::to_string(datatype) +
                   "), not one real value each: save the magnitude or the real part first";
        case NIFTI_TYPE_RGB24:
        case NIFTI_TYPE_RGBA32:
            return "its voxels are colours (datatype " + std::to_string(datatype) +
                   "), not one real value each";
        case NIFTI_TYPE_FLOAT128:
            return "its voxels are 128-bit floats (datatype 1536), whose layout differs from "
                   "system to system: save them as 64-bit floats first";
        default:
            return "its datatype " + std::to_string(datatype) + " is no integer or real type";
    }
}

bool finiteTransform(const nifti_dmat44& m) {
    for (const auto& row : m.m) {
        for (double value : row) {
            if (!std::isfinite(value)) return false;
        }
    }
    return true;
}

// A file that libnifti would read as a single .nii file; the data's size can be checked
// against it. Compressed files are checked as they are read.
bool isSingleUncompressedFile(const std::string& path) {
    return path.size() >= 4 && path.compare(path.size() - 4, 4, ".nii") == 0;
}

template <typename T>
T byteSwapped(T value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    std::reverse(bytes, bytes + sizeof(T));
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

// libnifti takes a NIfTI-2 header's dimension count before it checks it, and a count far
// beyond 7 overruns its stack: the count is checked here first. (NIfTI-1 counts are checked
// by the library.)
void checkNifti2DimensionCount(const std::string& path) {
    gzFile file = gzopen(path.c_str(), "rb");
    if (file == nullptr) return;  // the library says why
    unsigned char head[24];
    const int got = gzread(file, head, sizeof head);
    gzclose(file);
    if (got != static_cast<int>(sizeof head)) return;
    std::int32_t size;
    std::int64_t count;
    std::memcpy(&size, head, sizeof size);
    std::memcpy(&count, head + 16, sizeof count);
    const bool swapped = byteSwapped(size) == 540;
    if (size != 540 && !swapped) return;
    if (swapped) count = byteSwapped(count);
    if (count < 1 || count > 7) {
        throw Error(path + ": its dimension count " + std::to_string(count) + " is not 1 to 7");
    }
}

}  // namespace

bool invertAffine(const double a[3][4], double inverse[3][4]) {
    nifti_dmat33 linear{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) linear.m[r][c] = a[r][c];
    }
    const double determinant = nifti_dmat33_determ(linear);
    if (!std::isfinite(determinant) || std::fabs(determinant) < 1e-12) return false;
    nifti_dmat44 full{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) full.m[r][c] = a[r][c];
    }
    full.m[3][3] = 1.0;
    const nifti_dmat44 inv = nifti_dmat44_inverse(full);
    if (!finiteTransform(inv)) return false;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) inverse[r][c] = inv.m[r][c];
    }
    return true;
}

std::int64_t volumesOf(const nifti_image& nim) {
    std::int64_t volumes = 1;
    for (int axis = 4; axis <= nim.ndim && axis <= 7; ++axis) volumes *= nim.dim[axis];
    return volumes;
}

NiftiImage readImageHeader(const std::string& path, VoxelLimit limit) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        throw Error("cannot read " + path + ": " + std::strerror(errno));
    }
    // The library's own complaints would only repeat what the refusal says.
    static const bool quiet = (nifti_set_debug_level(0), true);
    (void)quiet;
    // NIfTI-1 or NIfTI-2 (which is_nifti_file does not know); no ANALYZE header, which
    // says nothing of its space.
    checkNifti2DimensionCount(path);
    NiftiImage image(nifti_image_read(path.c_str(), 0));
    if (!image || image->nifti_type == NIFTI_FTYPE_ANALYZE) {
        throw Error(path + " is not a readable NIfTI image");
    }
    const nifti_image& nim = *image;
    const auto refuse = [&](const std::string& why) { throw Error(path + ": " + why); };
    if (nim.ndim < 1 || nim.ndim > 7)
        refuse(fmt::format("its dimension count {} is not 1 to 7", nim.ndim));
    std::int64_t voxels = 1;
    for (int axis = 1; axis <= 3; ++axis) {
        const std::int64_t size = axis <= nim.ndim ? nim.dim[axis] : 1;
        if (size < 1 || size > kMaxImageVoxels) {
            refuse(fmt::format("axis {} has {} voxels", axis, size));
        }
        voxels *= size;
        if (voxels > kMaxImageVoxels) refuse("it has more than 2^27 voxels in a volume");
    }
    std::int64_t volumes = 1;
    for (int axis = 4; axis <= nim.ndim; ++axis) {
        if (nim.dim[axis] < 1 || nim.dim[axis] > kMaxImageVolumes) {
            refuse("axis " + std::to_string(axis) + " has " + std::to_string(nim.dim[axis]) +
                   " volumes");
        }
        volumes *= nim.dim[axis];
        if (volumes > kMaxImageVolumes) refuse("it has more than 2^20 volumes");
    }
    if (limit == VoxelLimit::kWholeImage && voxels * volumes > kMaxImageVoxels) {
        refuse("it has more than 2^27 voxels in all its volumes");
    }
    const std::string datatype = datatypeRefusal(nim.datatype);
    if (!datatype.empty()) refuse(datatype);
    const double sizes[3] = {nim.dx, nim.dy, nim.dz};
    for (double size : sizes) {
        if (!std::isfinite(size) || std::fabs(size) > 1000.0) {
            refuse("its voxel sizes are not sane millimetres");
        }
    }
    const std::int64_t headerSize = nim.nifti_type == NIFTI_FTYPE_NIFTI1_1   ? 348
                                    : nim.nifti_type == NIFTI_FTYPE_NIFTI2_1 ? 540
                                                                             : 0;
    if (nim.iname_offset < headerSize) {
        refuse(fmt::format("its voxel offset {} lies inside the header", nim.iname_offset));
    }
    // libnifti allocates all volumes at once before it reads them; a series read volume by
    // volume holds one at a time.
    const std::int64_t bytes = voxels * nim.nbyper;
    if ((limit == VoxelLimit::kWholeImage ? bytes * volumes : bytes) > kMaxImageBytes) {
        refuse(limit == VoxelLimit::kWholeImage
                   ? "its voxels would take more than 512 MB"
                   : "one volume's voxels would take more than 512 MB");
    }
    if (isSingleUncompressedFile(path)) {
        if (static_cast<std::int64_t>(status.st_size) < nim.iname_offset + bytes * volumes) {
            refuse("the file is shorter than its header says (" +
                   std::to_string(nim.iname_offset + bytes * volumes) + " bytes)");
        }
    }
    const ImageGrid grid = gridOf(nim);
    double unused[3][4];
    if (!invertAffine(grid.affine, unused)) refuse("its transform is not finite and invertible");
    return image;
}

ImageGrid gridOf(const nifti_image& nim) {
    ImageGrid grid;
    for (int axis = 0; axis < 3; ++axis) grid.dims[axis] = axis < nim.ndim ? nim.dim[axis + 1] : 1;
    const nifti_dmat44* transform = nim.sform_code > 0   ? &nim.sto_xyz
                                    : nim.qform_code > 0 ? &nim.qto_xyz
                                                         : nullptr;
    if (transform) {
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) grid.affine[r][c] = transform->m[r][c];
        }
        grid.spaceCode = nim.sform_code > 0 ? nim.sform_code : nim.qform_code;
    } else {
        const double sizes[3] = {nim.dx, nim.dy, nim.dz};
        for (int axis = 0; axis < 3; ++axis)
            grid.affine[axis][axis] = sizes[axis] > 0 ? sizes[axis] : 1.0;
    }
    return grid;
}

namespace {

// One voxel as a float; not-a-number and infinities as 0.
template <typename T>
float asFloat(T value) {
    const auto v = static_cast<double>(value);
    return std::isfinite(v) ? static_cast<float>(v) : 0.0f;
}

// Converts the voxels of one datatype with `as`, in file order or with k running fastest.
// The latter goes a slab of 32 planes of k at a time: the rows it reads along i and the
// pieces of columns it writes along k stay in the cache.
template <typename T, typename Out, typename As>
void convert(const T* in, const std::int64_t dims[3], VoxelOrder order, Out* out, As as) {
    const auto nx = static_cast<std::size_t>(dims[0]);
    const auto ny = static_cast<std::size_t>(dims[1]);
    const auto nz = static_cast<std::size_t>(dims[2]);
    if (order == VoxelOrder::kIFastest) {
        for (std::size_t i = 0; i < nx * ny * nz; ++i) out[i] = as(in[i]);
        return;
    }
    constexpr std::size_t kSlab = 32;
    const std::size_t plane = nx * ny;
    for (std::size_t j = 0; j < ny; ++j) {
        for (std::size_t k0 = 0; k0 < nz; k0 += kSlab) {
            const std::size_t depth = std::min(nz - k0, kSlab);
            const T* row = in + k0 * plane + j * nx;
            Out* columns = out + j * nz + k0;
            for (std::size_t i = 0; i < nx; ++i) {
                const T* voxel = row + i;
                Out* column = columns + i * ny * nz;
                for (std::size_t k = 0; k < depth; ++k) column[k] = as(voxel[k * plane]);
            }
        }
    }
}

// Loads a checked image's voxels and calls use(voxels, dims) with them as an array of their
// own type; unloads them afterwards. Throws Error when they cannot be read whole.
template <typename Use>
void withVoxels(const std::string& path, nifti_image& image, Use use) {
    const std::int64_t dims[3] = {image.dim[1], image.ndim >= 2 ? image.dim[2] : 1,
                                  image.ndim >= 3 ? image.dim[3] : 1};
    const std::int64_t voxels = dims[0] * dims[1] * dims[2];
    const auto cannotRead = [&path] { return Error("cannot read the voxels of " + path); };
    if (static_cast<std::int64_t>(image.nvox) < voxels) throw cannotRead();
    // A compressed image is decompressed at once where it is the one gzip member its header
    // implies, with the voxels where any type can be read; the library reads anything else.
    std::optional<GzipBytes> whole;
    if (image.iname != nullptr && nifti_is_gzfile(image.iname) && image.iname_offset % 8 == 0) {
        whole = readGzipWhole(image.iname, static_cast<std::size_t>(image.iname_offset) +
                                               image.nvox * static_cast<std::size_t>(image.nbyper));
    }
    struct Unload {
        nifti_image& image;
        ~Unload() { nifti_image_unload(&image); }
    } unload{image};
    void* data = nullptr;
    if (whole) {
        data = whole->bytes.get() + image.iname_offset;
        // As the library does for the voxels it reads.
        if (image.swapsize > 1 && image.byteorder != nifti_short_order()) {
            nifti_swap_Nbytes(static_cast<std::int64_t>(image.nvox), image.swapsize, data);
        }
    } else {
        if (nifti_image_load(&image) != 0 || image.data == nullptr) throw cannotRead();
        data = image.data;
    }
    switch (image.datatype) {
        case NIFTI_TYPE_UINT8:
            return use(static_cast<const std::uint8_t*>(data), dims);
        case NIFTI_TYPE_INT8:
            return use(static_cast<const std::int8_t*>(data), dims);
        case NIFTI_TYPE_INT16:
            return use(static_cast<const std::int16_t*>(data), dims);
        case NIFTI_TYPE_UINT16:
            return use(static_cast<const std::uint16_t*>(data), dims);
        case NIFTI_TYPE_INT32:
            return use(static_cast<const std::int32_t*>(data), dims);
        case NIFTI_TYPE_UINT32:
            return use(static_cast<const std::uint32_t*>(data), dims);
        case NIFTI_TYPE_INT64:
            return use(static_cast<const std::int64_t*>(data), dims);
        case NIFTI_TYPE_UINT64:
            return use(static_cast<const std::uint64_t*>(data), dims);
        case NIFTI_TYPE_FLOAT32:
            return use(static_cast<const float*>(data), dims);
        case NIFTI_TYPE_FLOAT64:
            return use(static_cast<const double*>(data), dims);
        default:
            // readImageHeader admits no other datatype.
            return;
    }
}

// Loads a checked image's voxels and converts them, whatever their datatype, with as(value).
template <typename Out, typename As>
std::vector<Out> readConverted(const std::string& path, nifti_image& image, VoxelOrder order,
                               As as) {
    std::vector<Out> values;
    withVoxels(path, image, [&](const auto* voxels, const std::int64_t dims[3]) {
        values.assign(static_cast<std::size_t>(dims[0] * dims[1] * dims[2]), Out{});
        convert(voxels, dims, order, values.data(), as);
    });
    return values;
}

// A voxel value as a label: a whole number from 0 to kMostLabel, rounded to nearest, halves
// up; not-a-number and infinities count as 0. The first value that is no label is kept for
// the refusal.
struct LabelOf {
    double refused = 0;
    bool clean = true;

    template <typename Value>
    std::int32_t operator()(Value value) {
        // Whole numbers of the image's own type are labels as they are, unless negative or
        // too large: the usual atlases go through no floating point at all.
        if constexpr (std::is_integral_v<Value>) {
            constexpr auto kMostWhole = static_cast<std::uint64_t>(kMostLabel);
            bool nonNegative = true;
            if constexpr (std::is_signed_v<Value>) nonNegative = value >= 0;
            if (nonNegative && static_cast<std::uint64_t>(value) <= kMostWhole) {
                return static_cast<std::int32_t>(value);
            }
        }
        const auto v = static_cast<double>(value);
        if (!std::isfinite(v)) return 0;
        if (!(v >= 0 && v <= kMostLabel) && clean) {
            clean = false;
            refused = v;
        }
        // Rounded to nearest, halves up: exact in double for values of this size.
        return static_cast<std::int32_t>(std::floor(std::clamp(v, 0.0, kMostLabel) + 0.5));
    }

    void check(const std::string& path) const {
        if (!clean) {
            // Shown as a float, six decimals.
            throw Error(fmt::format("{} is no label image: it holds the value {:f}", path,
                                    static_cast<double>(static_cast<float>(refused))));
        }
    }
};

// Stores each voxel's place, as placeOf(value) gives it, once the labels are known: in a byte
// where the places fit one.
template <typename Value, typename PlaceOf>
void storePlaces(const Value* voxels, const std::int64_t dims[3], VoxelOrder order, PlaceOf placeOf,
                 LabelPlaces& read) {
    const auto count = static_cast<std::size_t>(dims[0] * dims[1] * dims[2]);
    const auto store = [&](auto& places) {
        using Place = typename std::remove_reference_t<decltype(places)>::value_type;
        places.assign(count, 0);
        convert(voxels, dims, order, places.data(),
                [&placeOf](Value value) { return static_cast<Place>(placeOf(value)); });
    };
    if (read.labels.size() <= kMostNarrowPlaces) {
        store(read.narrow);
    } else {
        store(read.wide);
    }
}

// The labels of an unscaled image of 8- or 16-bit whole numbers, through a table of every
// value the type holds: the labels are the values themselves, and a negative one is refused
// as the general path refuses it, by the first in the image.
template <typename Value>
void placesThroughTable(const std::string& path, const Value* voxels, const std::int64_t dims[3],
                        VoxelOrder order, LabelPlaces& read) {
    using Slot = std::make_unsigned_t<Value>;
    constexpr std::size_t kSlots = std::size_t{std::numeric_limits<Slot>::max()} + 1;
    const auto count = static_cast<std::size_t>(dims[0] * dims[1] * dims[2]);
    std::vector<std::uint8_t> held(kSlots, 0);
    held[0] = 1;
    // Through a pointer of its own, which the bytes stored cannot be taken to change.
    std::uint8_t* const seen = held.data();
    for (std::size_t i = 0; i < count; ++i) seen[static_cast<Slot>(voxels[i])] = 1;
    constexpr auto kMost = static_cast<std::size_t>(std::numeric_limits<Value>::max());
    if (std::find(held.begin() + kMost + 1, held.end(), 1) != held.end()) {
        LabelOf refusal;
        refusal(*std::find_if(voxels, voxels + count, [](Value value) { return value < 0; }));
        refusal.check(path);
    }
    // At most 65,536 labels: their places fit 16 bits.
    std::vector<std::uint16_t> place(kSlots, 0);
    for (std::size_t value = 0; value <= kMost; ++value) {
        if (held[value] == 0) continue;
        place[value] = static_cast<std::uint16_t>(read.labels.size());
        read.labels.push_back(static_cast<std::int32_t>(value));
    }
    storePlaces(
        voxels, dims, order,
        [table = place.data()](Value value) { return table[static_cast<Slot>(value)]; }, read);
}

}  // namespace

std::vector<float> readImageValues(const std::string& path, nifti_image& image, VoxelOrder order) {
    // As the standard says: a slope of 0 means the values are stored as they are. (libnifti
    // reads a slope or intercept that is not finite as 0.)
    if (image.scl_slope == 0) {
        return readConverted<float>(path, image, order, [](auto value) { return asFloat(value); });
    }
    const double slope = image.scl_slope, inter = image.scl_inter;
    return readConverted<float>(path, image, order, [slope, inter](auto value) {
        return asFloat(slope * static_cast<double>(value) + inter);
    });
}

LabelPlaces readImageLabelPlaces(const std::string& path, nifti_image& image, VoxelOrder order) {
    LabelPlaces read;
    LabelOf labelOf;
    // Labels are the numbers the voxels stand for, scaled as for readImageValues; the usual
    // atlases are not scaled, and their whole numbers stay exact.
    const bool scaled = image.scl_slope != 0 && !(image.scl_slope == 1 && image.scl_inter == 0);
    const double slope = image.scl_slope, inter = image.scl_inter;
    const auto labelAt = [&](auto value) {
        return scaled ? labelOf(slope * static_cast<double>(value) + inter) : labelOf(value);
    };
    withVoxels(path, image, [&](const auto* voxels, const std::int64_t dims[3]) {
        using Value = std::remove_const_t<std::remove_pointer_t<decltype(voxels)>>;
        if constexpr (std::is_integral_v<Value> && sizeof(Value) <= 2) {
            if (!scaled) return placesThroughTable(path, voxels, dims, order, read);
        }
        const auto count = static_cast<std::size_t>(dims[0] * dims[1] * dims[2]);
        // First the labels the image holds, then each voxel as its label's place among them.
        std::vector<std::uint8_t> held(static_cast<std::size_t>(kMostLabel) + 1, 0);
        held[0] = 1;
        std::int32_t most = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::int32_t label = labelAt(voxels[i]);
            held[static_cast<std::size_t>(label)] = 1;
            most = std::max(most, label);
        }
        labelOf.check(path);
        std::vector<std::int32_t> place(static_cast<std::size_t>(most) + 1, 0);
        for (std::int32_t label = 0; label <= most; ++label) {
            if (held[static_cast<std::size_t>(label)] == 0) continue;
            place[static_cast<std::size_t>(label)] = static_cast<std::int32_t>(read.labels.size());
            read.labels.push_back(label);
        }
        if (read.labels.size() > kMostLabelPlaces) {
            throw Error(fmt::format("{} holds {} different labels; an atlas may hold at most {}",
                                    path, read.labels.size(), kMostLabelPlaces));
        }
        storePlaces(
            voxels, dims, order,
            [&](Value value) { return place[static_cast<std::size_t>(labelAt(value))]; }, read);
    });
    return read;
}

}  // namespace voikit
