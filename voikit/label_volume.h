#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/voi_statistics.h"

namespace voikit {

// A voxel grid and its transform from voxel indices (i, j, k) to Talairach millimetres.
struct LabelGrid {
    std::int64_t dims[3] = {};
    double affine[3][4] = {};  // x = affine[0] . (i, j, k, 1), likewise y and z
    int transformCode = 3;     // the NIfTI code of the space the millimetres belong to
};

// The most cells an image's grid may have for labels (512 MB of 16-bit labels).
constexpr std::int64_t kMaxImageGridCells = kMaxGridCells * 4;

// The default grid: 1 mm voxels covering every VOI with `margin` voxels to spare. Throws
// Error when that grid would pass kMaxGridCells.
LabelGrid defaultGrid(const VoiStatistics& statistics, int margin);

// The grid of a NIfTI image: its sform, else its qform, else its voxel sizes alone. Throws
// Error for a file that is no NIfTI image, a grid beyond kMaxImageGridCells or a transform
// that cannot be inverted.
LabelGrid gridOfImage(const std::string& path);

// Labels on a grid: 0 for background, i for the i-th VOI (from 1). Where VOIs overlap, the
// later VOI wins.
struct LabelVolume {
    LabelGrid grid;
    std::vector<std::int16_t> labels;    // i fastest, then j, then k
    std::vector<std::int64_t> outside;   // per VOI: voxels that fall outside the grid
    std::vector<std::int64_t> labelled;  // per VOI: grid cells that end up with its label
    std::int64_t overwritten = 0;        // cells a later VOI took from an earlier one
};

// The most VOIs 16-bit labels can tell apart.
constexpr std::size_t kMaxLabels = 32767;

// Each VOI voxel goes to the grid cell nearest to its millimetre position. Throws Error for
// more than kMaxLabels VOIs or a transform that cannot be inverted.
LabelVolume fillLabels(const glomera::VoiFileContents& contents, const LabelGrid& grid);

// Writes the labels as a NIfTI-1 volume (.nii or .nii.gz, 16-bit integers, the transform in
// both qform and sform) and, beside it, the label table (a .tsv of index, name, colour and
// counts); returns the table's path. Both appear whole or not at all; throws Error on
// failure.
std::string writeLabelVolume(const std::string& path, const glomera::VoiFileContents& contents,
                             const LabelVolume& volume);

// The label table's path for a volume's path: its name without .nii/.nii.gz, with .tsv.
std::string labelTablePath(const std::string& volumePath);

}  // namespace voikit
