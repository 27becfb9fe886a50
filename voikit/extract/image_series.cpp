#include "voikit/extract/image_series.h"

#include <cerrno>
#include <cstring>

#include "voikit/io/error.h"

namespace voikit {
namespace {

// Reads whole volumes straight into their buffer; the stream's own buffer only serves the
// header and the gap before the first volume.
constexpr unsigned kStreamBuffer = 1u << 17;

template <typename T>
T swapped(T value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

template <typename T, typename Out>
void gather(const unsigned char* volume, const std::int64_t* cells, std::size_t count, bool swap,
            Out* out) {
    for (std::size_t c = 0; c < count; ++c) {
        T value;
        std::memcpy(&value, volume + static_cast<std::size_t>(cells[c]) * sizeof(T), sizeof(T));
        out[c] = static_cast<Out>(swap ? swapped(value) : value);
    }
}

template <typename Out>
void gatherAny(int datatype, const unsigned char* volume, const std::int64_t* cells,
               std::size_t count, bool swap, Out* out, const std::string& path) {
    switch (datatype) {
        case NIFTI_TYPE_UINT8:
            return gather<std::uint8_t>(volume, cells, count, swap, out);
        case NIFTI_TYPE_INT8:
            return gather<std::int8_t>(volume, cells, count, swap, out);
        case NIFTI_TYPE_INT16:
            return gather<std::int16_t>(volume, cells, count, swap, out);
        case NIFTI_TYPE_UINT16:
            return gather<std::uint16_t>(volume, cells, count, swap, out);
        case NIFTI_TYPE_INT32:
            return gather<std::int32_t>(volume, cells, count, swap, out);
        case NIFTI_TYPE_UINT32:
            return gather<std::uint32_t>(volume, cells, count, swap, out);
        case NIFTI_TYPE_INT64:
            return gather<std::int64_t>(volume, cells, count, swap, out);
        case NIFTI_TYPE_UINT64:
            return gather<std::uint64_t>(volume, cells, count, swap, out);
        case NIFTI_TYPE_FLOAT32:
            return gather<float>(volume, cells, count, swap, out);
        case NIFTI_TYPE_FLOAT64:
            return gather<double>(volume, cells, count, swap, out);
        default:
            // readImageHeader admits no other datatype.
            throw Error(path + ": datatype " + std::to_string(datatype));
    }
}

}  // namespace

ImageSeries::ImageSeries(const std::string& path)
    : path_(path), header_(readImageHeader(path, VoxelLimit::kPerVolume)) {
    const nifti_image& nim = *header_;
    volumes_ = volumesOf(nim);
    // As the standard says: a slope of 0 means the values are stored as they are. (libnifti
    // reads a slope or intercept that is not finite as 0.)
    scaled_ = nim.scl_slope != 0;
    if (scaled_) {
        slope_ = nim.scl_slope;
        inter_ = nim.scl_inter;
    }
    swap_ = nim.byteorder != nifti_short_order() && nim.nbyper > 1;
    const std::int64_t voxels =
        nim.dim[1] * (nim.ndim >= 2 ? nim.dim[2] : 1) * (nim.ndim >= 3 ? nim.dim[3] : 1);
    volume_.resize(static_cast<std::size_t>(voxels * nim.nbyper));
    // The voxels may lie in a file of their own (.hdr with .img); zlib reads plain files too.
    const char* data = nim.iname != nullptr ? nim.iname : path.c_str();
    file_.reset(gzopen(data, "rb"));
    if (!file_) throw Error("cannot open " + std::string(data) + ": " + std::strerror(errno));
    gzbuffer(file_.get(), kStreamBuffer);
    if (gzseek(file_.get(), static_cast<z_off_t>(nim.iname_offset), SEEK_SET) !=
        static_cast<z_off_t>(nim.iname_offset)) {
        throw Error(path + ": the file ends before its voxels begin (offset " +
                    std::to_string(nim.iname_offset) + ")");
    }
}

ImageSeries::~ImageSeries() = default;

void ImageSeries::readVolume() {
    unsigned char* at = volume_.data();
    std::size_t left = volume_.size();
    // gzread takes at most an unsigned int's worth at a time.
    constexpr std::size_t kMostAtOnce = std::size_t{1} << 30;
    while (left > 0) {
        const auto asked = static_cast<unsigned>(std::min(left, kMostAtOnce));
        const int got = gzread(file_.get(), at, asked);
        if (got <= 0) {
            int code = Z_OK;
            const char* message = gzerror(file_.get(), &code);
            const std::string where = path_ + ": volume " + std::to_string(read_) + " of " +
                                      std::to_string(volumes_) + " (counted from 0) ";
            if (got == 0 || code == Z_BUF_ERROR) {
                throw Error(where + "cannot be read whole: the file ends early (truncated?)");
            }
            throw Error(where +
                        "cannot be read: " + (code == Z_ERRNO ? std::strerror(errno) : message));
        }
        at += got;
        left -= static_cast<std::size_t>(got);
    }
    ++read_;
}

void ImageSeries::values(const std::int64_t* cells, std::size_t count, double* out) const {
    gatherAny(header_->datatype, volume_.data(), cells, count, swap_, out, path_);
    if (scaled_) {
        for (std::size_t c = 0; c < count; ++c) out[c] = out[c] * slope_ + inter_;
    }
}

bool ImageSeries::storedInFloat() const {
    switch (header_->datatype) {
        case NIFTI_TYPE_UINT8:
        case NIFTI_TYPE_INT8:
        case NIFTI_TYPE_INT16:
        case NIFTI_TYPE_UINT16:
        case NIFTI_TYPE_FLOAT32:
            return true;
        default:
            return false;
    }
}

void ImageSeries::storedValues(const std::int64_t* cells, std::size_t count, float* out) const {
    gatherAny(header_->datatype, volume_.data(), cells, count, swap_, out, path_);
}

void ImageSeries::storedValues(const std::int64_t* cells, std::size_t count, double* out) const {
    gatherAny(header_->datatype, volume_.data(), cells, count, swap_, out, path_);
}

}  // namespace voikit
