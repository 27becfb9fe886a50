#pragma once

#include <nifti2_io.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace voikit {

struct NiftiFree {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};
using NiftiImage = std::unique_ptr<nifti_image, NiftiFree>;

// The most voxels an image from elsewhere may have, and the most bytes its voxels may take:
// far beyond any brain image, well within memory.
constexpr std::int64_t kMaxImageVoxels = std::int64_t{1} << 27;
constexpr std::int64_t kMaxImageBytes = std::int64_t{1} << 29;

// An image's grid: sizes and the transform from voxel indices (i, j, k) to millimetres,
// with the NIfTI code of the space those millimetres are in.
struct ImageGrid {
    std::int64_t dims[3] = {1, 1, 1};
    double affine[3][4] = {};  // x = affine[0] . (i, j, k, 1), likewise y and z
    int spaceCode = 0;         // sform code, else qform code; 0 when neither is set
};

// The most volumes a series may have: far beyond any scan (a two-hour series at 0.1 s).
constexpr std::int64_t kMaxImageVolumes = std::int64_t{1} << 20;

// What the header checks bound: all the image's voxels, which are read at once, or each
// volume's, for images read volume by volume (and grids, for which no voxel is read).
enum class VoxelLimit { kWholeImage, kPerVolume };

// Reads a NIfTI image's header and checks it before any voxel is read: an image of a known
// real datatype, sane sizes and voxel sizes, a voxel offset and, for an uncompressed file, a
// file size that hold its data, and a finite, invertible
// transform. Throws Error naming the file and what is wrong.
NiftiImage readImageHeader(const std::string& path, VoxelLimit limit = VoxelLimit::kWholeImage);

// The volumes of a checked header: the product of its sizes beyond the third axis.
std::int64_t volumesOf(const nifti_image& image);

// The grid of a checked header: its sform, else its qform, else its voxel sizes alone.
ImageGrid gridOf(const nifti_image& image);

// The order voxels are held in: as in the file, i running fastest, or k running fastest, for
// lookups up columns along z.
enum class VoxelOrder { kIFastest, kKFastest };

// Reads a checked image's voxels, as the numbers they stand for (scaled by the header's
// slope and intercept when its slope is not 0), in the order asked for; the first volume
// only. Throws Error when they cannot be read whole.
std::vector<float> readImageValues(const std::string& path, nifti_image& image,
                                   VoxelOrder order = VoxelOrder::kIFastest);

// The largest label a label image may hold.
constexpr double kMostLabel = 1 << 20;

// The most different labels a label image may hold: their places fit 16 bits.
constexpr std::size_t kMostLabelPlaces = 65536;

// The most labels whose places a byte holds.
constexpr std::size_t kMostNarrowPlaces = 256;

// A label image as the labels it holds and, per voxel, its label's place among them: a byte
// a voxel where there are at most kMostNarrowPlaces labels (as in every atlas of the field),
// half the memory that lookups go through; else two.
struct LabelPlaces {
    std::vector<std::int32_t> labels;  // ascending, 0 always first
    std::vector<std::uint8_t> narrow;  // per voxel, in the order asked for; or empty
    std::vector<std::uint16_t> wide;   // the same where the places take two bytes; or empty

    std::uint16_t at(std::size_t voxel) const { return wide.empty() ? narrow[voxel] : wide[voxel]; }
};

// Reads a label image: the numbers its voxels stand for (scaled as for readImageValues),
// whole numbers from 0 to kMostLabel, rounded to nearest. Throws Error
// naming a value beyond them, or when it holds more than kMostLabelPlaces labels.
LabelPlaces readImageLabelPlaces(const std::string& path, nifti_image& image, VoxelOrder order);

// The inverse of a grid's transform; false when it has none.
bool invertAffine(const double affine[3][4], double inverse[3][4]);

}  // namespace voikit
