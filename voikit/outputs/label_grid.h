#pragma once

#include <nifti2_io.h>

#include <cstdint>
#include <optional>
#include <string>

#include "voikit/space/coordinate_space.h"
#include "voikit/voxels/voi_statistics.h"
#include "voikit/voxels/voxel_runs.h"

namespace voikit {

// A voxel grid, its transform from voxel indices (i, j, k) to millimetres, and the space
// those millimetres are in. VOIs are TAL; a grid in MNI takes them through the inverse of
// the chosen MNI to TAL transform.
struct LabelGrid {
    std::int64_t dims[3] = {};
    double affine[3][4] = {};  // x = affine[0] . (i, j, k, 1), likewise y and z
    Space space = Space::kTal;
    MniToTal transform = MniToTal::kSpm;  // for a grid in MNI

    // The volume of one cell, mm^3 of the grid's space.
    double cellVolume() const;
    std::int64_t cells() const { return dims[0] * dims[1] * dims[2]; }
};

// The most cells an image's grid may have for labels (512 MB of 16-bit labels).
constexpr std::int64_t kMaxImageGridCells = kMaxGridCells * 4;

// The default grid: 1 mm TAL voxels covering every VOI with `margin` voxels to spare. Throws
// Error naming `voiPath`, where the VOIs come from, when that grid would pass kMaxGridCells.
LabelGrid defaultGrid(const std::string& voiPath, const VoiStatistics& statistics, int margin);

// The grid of a NIfTI image: its sform, else its qform, else its voxel sizes alone. Its space
// comes from the same form's code: Talairach or MNI_152; for any other code `declared` must
// say it, else Error explains the choice. Throws Error too for a file that is no NIfTI image,
// a grid beyond kMaxImageGridCells or a transform that cannot be inverted. Only the header is
// read: a series of any length has the grid of its first volume.
LabelGrid gridOfImage(const std::string& path, std::optional<Space> declared, MniToTal transform);

// The same for a header already read and checked.
LabelGrid gridOfHeader(const std::string& path, const nifti_image& header,
                       std::optional<Space> declared, MniToTal transform);

// The grid of an MNI template, whose millimetres are MNI whatever its header's codes say (as
// the templates and atlases of mricron-data are taken). Throws Error for a file that is no
// NIfTI image.
LabelGrid mniTemplateGrid(const std::string& path, MniToTal transform);

// The usual MNI grids named without an image: "mni1mm" (182 x 218 x 182, 1 mm) and "mni2mm"
// (91 x 109 x 91, 2 mm), with the MNI152 templates' transforms; nullopt for other names.
std::optional<LabelGrid> namedGrid(const std::string& name, MniToTal transform);

// The grid `grid` names: one of namedGrid's names, else a NIfTI image as gridOfImage reads it.
LabelGrid gridNamedOrOfImage(const std::string& grid, std::optional<Space> declared,
                             MniToTal transform);

// The rule that puts VOIs on a grid: each cell's centre is taken to TAL through the grid's
// space and belongs to the 1 mm lattice voxel nearest to it. Throws Error for a grid whose
// transform cannot be inverted (never one of an image: reading it refuses such a transform,
// naming the file).
class GridPull {
  public:
    explicit GridPull(const LabelGrid& grid);

    const LabelGrid& grid() const { return grid_; }

    // The lattice voxel (TAL, whole millimetres) nearest to the centre of cell (i, j, k).
    void latticeVoxel(std::int64_t i, std::int64_t j, std::int64_t k, std::int64_t out[3]) const;

    // The cells, per axis from[a] to to[a] inclusive, that can take a voxel of the lattice
    // box from `low` over `size` voxels: its corners taken to the grid, with a cell to spare.
    // False when no cell can.
    bool cellRange(const std::int32_t low[3], const std::int64_t size[3], std::int64_t from[3],
                   std::int64_t to[3]) const;

    // How many voxels of the run have their nearest cell off the grid.
    std::int64_t offTheGrid(const VoxelRun& run) const;

    // Whether the cells are the lattice's own voxels, shifted: 1 mm TAL cells on whole
    // millimetres, each the voxel at its centre.
    bool onLattice() const { return onLattice_; }

  private:
    LabelGrid grid_;
    double inverse_[3][4] = {};
    bool onLattice_ = false;
};

}  // namespace voikit
