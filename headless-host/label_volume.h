#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "headless-host/voi_file_reader.h"
#include "headless-host/voi_statistics.h"

namespace headless {

// A voxel grid and its transform from voxel indices (i, j, k) to Talairach millimetres.
struct LabelGrid {
    std::int64_t dims[3] = {};
    double affine[3][4] = {};  // x = affine[0] . (i, j, k, 1), likewise y and z
    int transformCode = 3;     // the NIfTI code of the space the millimetres belong to
};

// The default grid: 1 mm voxels covering every VOI with `margin` voxels to spare.
bool defaultGrid(const VoiStatistics& statistics, int margin, LabelGrid& grid, std::string& error);

// The grid of a NIfTI image: its sform, else its qform, else its voxel sizes alone.
bool gridOfImage(const std::string& path, LabelGrid& grid, std::string& error);

// Labels on a grid: 0 for background, i for the i-th VOI (from 1). Where VOIs overlap, the
// later VOI wins.
struct LabelVolume {
    LabelGrid grid;
    std::vector<std::int16_t> labels;    // i fastest, then j, then k
    std::vector<std::int64_t> outside;   // per VOI: voxels that fall outside the grid
    std::vector<std::int64_t> labelled;  // per VOI: grid cells that end up with its label
    std::int64_t overwritten = 0;        // cells a later VOI took from an earlier one
};

// Each VOI voxel goes to the grid cell nearest to its millimetre position.
bool fillLabels(const VoiFileContents& contents, const LabelGrid& grid, LabelVolume& volume,
                std::string& error);

// Writes the labels as a NIfTI-1 volume (.nii or .nii.gz, 16-bit integers, the transform in
// both qform and sform) and, beside it, the label table (a .tsv of index, name, colour and
// counts). Both appear whole or not at all.
bool writeLabelVolume(const std::string& path, const VoiFileContents& contents,
                      const LabelVolume& volume, std::string& tablePath, std::string& error);

// The label table's path for a volume's path: its name without .nii/.nii.gz, with .tsv.
std::string labelTablePath(const std::string& volumePath);

}  // namespace headless
