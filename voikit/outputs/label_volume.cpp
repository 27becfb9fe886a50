#include "voikit/outputs/label_volume.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "common/atomic_file.h"
#include "common/ends_with.h"
#include "voikit/io/error.h"
#include "voikit/io/text_output.h"
#include "voikit/space/nifti_file.h"
#include "voikit/voxels/voi_passes.h"

namespace voikit {
namespace {

using glomera::endsWith;
using glomera::VoiFileContents;

nifti_dmat44 toMatrix(const double affine[3][4]) {
    nifti_dmat44 matrix{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) matrix.m[r][c] = affine[r][c];
    }
    matrix.m[3][3] = 1.0;
    return matrix;
}

Point transformed(const double m[3][4], const Point& p) {
    Point out{};
    for (int r = 0; r < 3; ++r) out[r] = m[r][0] * p[0] + m[r][1] * p[1] + m[r][2] * p[2] + m[r][3];
    return out;
}

// A TAL position in the grid's space, and back.
Point talToGrid(const LabelGrid& grid, const Point& tal) {
    return grid.space == Space::kMni ? talToMni(tal, grid.transform) : tal;
}
Point gridToTal(const LabelGrid& grid, const Point& p) {
    return grid.space == Space::kMni ? mniToTal(p, grid.transform) : p;
}

const char* spaceCodeName(int code) {
    switch (code) {
        case NIFTI_XFORM_SCANNER_ANAT:
            return "scanner coordinates";
        case NIFTI_XFORM_ALIGNED_ANAT:
            return "aligned to another image";
        case NIFTI_XFORM_TEMPLATE_OTHER:
            return "some other template";
        default:
            return "unknown";
    }
}

// A TAL grid of 1 mm cells on the integer positions: every VOI voxel is one cell's centre.
bool onTheVoiLattice(const LabelGrid& grid) {
    if (grid.space != Space::kTal) return false;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            if (grid.affine[r][c] != (r == c ? 1.0 : 0.0)) return false;
        }
        if (grid.affine[r][3] != std::floor(grid.affine[r][3])) return false;
    }
    return true;
}

// The VOI voxels on their 1 mm TAL lattice, the later VOI winning shared voxels.
struct Lattice {
    VoxelExtent extent;
    std::vector<std::int16_t> labels;

    std::int16_t at(const std::int64_t p[3]) const {
        return extent.contains(p[0], p[1], p[2]) ? labels[extent.index(p[0], p[1], p[2])] : 0;
    }
};

// On a grid whose cells are the lattice's voxels, shifted, each cell is the lattice voxel
// at its centre: a copy from z running fastest to i running fastest, in blocks of i so that
// both the columns read and the rows written stay in the cache.
void copyFromLattice(const Lattice& lattice, const LabelGrid& grid,
                     std::vector<std::int16_t>& labels) {
    const VoxelExtent& extent = lattice.extent;
    std::int64_t shift[3], from[3], to[3];  // lattice position of cell 0; cells over the lattice
    for (int r = 0; r < 3; ++r) {
        shift[r] = static_cast<std::int64_t>(grid.affine[r][3]) - extent.low[r];
        from[r] = std::max<std::int64_t>(0, -shift[r]);
        to[r] = std::min<std::int64_t>(grid.dims[r], extent.size[r] - shift[r]);
        if (from[r] >= to[r]) return;
    }
    constexpr std::int64_t kBlock = 32;
    const std::int64_t nx = grid.dims[0], ny = grid.dims[1];
    for (std::int64_t j = from[1]; j < to[1]; ++j) {
        for (std::int64_t i0 = from[0]; i0 < to[0]; i0 += kBlock) {
            const std::int64_t i1 = std::min(to[0], i0 + kBlock);
            for (std::int64_t k = from[2]; k < to[2]; ++k) {
                std::int16_t* row = labels.data() + (k * ny + j) * nx;
                for (std::int64_t i = i0; i < i1; ++i) {
                    row[i] = lattice.labels[static_cast<std::size_t>(
                        ((i + shift[0]) * extent.size[1] + (j + shift[1])) * extent.size[2] +
                        (k + shift[2]))];
                }
            }
        }
    }
}

// The range of cells, per axis, that can hold a lattice voxel: the lattice's corners taken
// to the grid (both halves of Brett's transform), with a cell to spare.
void cellRange(const Lattice& lattice, const LabelGrid& grid, const double inverse[3][4],
               std::int64_t from[3], std::int64_t to[3]) {
    for (int a = 0; a < 3; ++a) {
        from[a] = grid.dims[a];
        to[a] = -1;
    }
    const VoxelExtent& e = lattice.extent;
    std::vector<double> zs = {e.low[2] - 0.5, e.low[2] + e.size[2] - 0.5};
    if (zs[0] < 0 && zs[1] > 0) zs.push_back(0.0);
    for (int corner = 0; corner < 4; ++corner) {
        for (double z : zs) {
            const Point tal = {corner & 1 ? e.low[0] + e.size[0] - 0.5 : e.low[0] - 0.5,
                               corner & 2 ? e.low[1] + e.size[1] - 0.5 : e.low[1] - 0.5, z};
            const Point ijk = transformed(inverse, talToGrid(grid, tal));
            for (int a = 0; a < 3; ++a) {
                from[a] = std::min(from[a], static_cast<std::int64_t>(std::floor(ijk[a])) - 1);
                to[a] = std::max(to[a], static_cast<std::int64_t>(std::ceil(ijk[a])) + 1);
            }
        }
    }
    for (int a = 0; a < 3; ++a) {
        from[a] = std::max<std::int64_t>(from[a], 0);
        to[a] = std::min<std::int64_t>(to[a], grid.dims[a] - 1);
    }
}

void writeTables(const std::string& path, const VoiFileContents& contents,
                 const LabelVolume& volume, std::vector<std::string>& written) {
    const double cell = volume.grid.cellVolume();
    std::string table =
        "index\tname\tr\tg\tb\tvoxels\tlabelled\toutside\tvolume_voi_mm3\tvolume_grid_mm3\n";
    std::string lut = "#No. Label Name                                 R   G   B   A\n";
    lut += "0   Unknown                                    0   0   0   0\n";
    std::string workbench;
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& info = contents.vois[i].info;
        const std::string rgb = std::to_string(info.color[0]) + "\t" +
                                std::to_string(info.color[1]) + "\t" +
                                std::to_string(info.color[2]);
        char volumes[64];
        std::snprintf(volumes, sizeof volumes, "%d\t%.1f", info.voxelCount,
                      static_cast<double>(volume.labelled[i]) * cell);
        table += std::to_string(i + 1) + "\t" + info.name + "\t" + rgb + "\t" +
                 std::to_string(info.voxelCount) + "\t" + std::to_string(volume.labelled[i]) +
                 "\t" + std::to_string(volume.outside[i]) + "\t" + volumes + "\n";
        char line[400];
        std::snprintf(line, sizeof line, "%-3zu %-42s %3d %3d %3d   0\n", i + 1, info.name.c_str(),
                      info.color[0], info.color[1], info.color[2]);
        lut += line;
        workbench += info.name + "\n" + std::to_string(i + 1) + " " +
                     std::to_string(info.color[0]) + " " + std::to_string(info.color[1]) + " " +
                     std::to_string(info.color[2]) + " 255\n";
    }
    const std::string base = labelTablePath(path).substr(0, labelTablePath(path).size() - 4);
    const std::pair<std::string, const std::string*> files[] = {
        {base + ".tsv", &table},
        {base + "_ColorLUT.txt", &lut},
        {base + "_wb_labels.txt", &workbench}};
    for (const auto& [file, text] : files) {
        writeTextOutput(file, *text);
        written.push_back(file);
    }
}

}  // namespace

double LabelGrid::cellVolume() const {
    const double(&a)[3][4] = affine;
    return std::fabs(a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                     a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                     a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]));
}

std::string labelTablePath(const std::string& volumePath) {
    for (const char* extension : {".nii.gz", ".nii"}) {
        if (endsWith(volumePath, extension)) {
            return volumePath.substr(0, volumePath.size() - std::strlen(extension)) + ".tsv";
        }
    }
    return volumePath + ".tsv";
}

LabelGrid defaultGrid(const VoiStatistics& statistics, int margin) {
    LabelGrid grid;
    const bool empty = statistics.low[0] > statistics.high[0];
    std::int64_t cells = 1;
    for (int axis = 0; axis < 3; ++axis) {
        const std::int64_t low = empty ? -margin : std::int64_t{statistics.low[axis]} - margin;
        const std::int64_t high = empty ? margin : std::int64_t{statistics.high[axis]} + margin;
        grid.dims[axis] = high - low + 1;
        grid.affine[axis][axis] = 1.0;
        grid.affine[axis][3] = static_cast<double>(low);
        cells *= grid.dims[axis];
        if (cells > kMaxGridCells) throw Error("the VOIs spread too far for a 1 mm grid");
    }
    grid.space = Space::kTal;
    return grid;
}

LabelGrid gridOfImage(const std::string& path, std::optional<Space> declared, MniToTal transform) {
    const NiftiImage image = readImageHeader(path);
    const ImageGrid found = gridOf(*image);
    LabelGrid grid;
    for (int axis = 0; axis < 3; ++axis) grid.dims[axis] = found.dims[axis];
    std::memcpy(grid.affine, found.affine, sizeof grid.affine);
    grid.transform = transform;
    // Checked axis by axis first, so that the product cannot overflow.
    if (grid.dims[0] > kMaxImageGridCells || grid.dims[1] > kMaxImageGridCells ||
        grid.dims[2] > kMaxImageGridCells || grid.dims[0] * grid.dims[1] > kMaxImageGridCells ||
        grid.dims[0] * grid.dims[1] * grid.dims[2] > kMaxImageGridCells) {
        throw Error("the grid of " + path + " is too large");
    }
    const std::optional<Space> coded =
        found.spaceCode == NIFTI_XFORM_TALAIRACH ? std::optional<Space>(Space::kTal)
        : found.spaceCode == NIFTI_XFORM_MNI_152 ? std::optional<Space>(Space::kMni)
                                                 : std::nullopt;
    if (coded && declared && *coded != *declared) {
        throw Error(path + " says its millimetres are " + spaceName(*coded) +
                    ", not what --grid-space says (" + spaceName(*declared) + ")");
    }
    if (!coded && !declared) {
        throw Error(path +
                    " does not say which space its millimetres are in (its transform's "
                    "code is " +
                    std::to_string(found.spaceCode) + ", " + spaceCodeName(found.spaceCode) +
                    "): give --grid-space mni for an image in MNI space (registered to an MNI "
                    "template such as ch2, SPM's or FSL's), or --grid-space tal for an image "
                    "in Talairach space");
    }
    grid.space = coded ? *coded : *declared;
    return grid;
}

struct LabelPass::Work {
    Lattice lattice;
    double inverse[3][4] = {};
    bool onLattice = false;
};

LabelPass::LabelPass(const LabelGrid& grid, const VoiStatistics& figures)
    : work_(std::make_unique<Work>()) {
    if (figures.vois.size() > kMaxLabels) {
        throw Error("more than " + std::to_string(kMaxLabels) + " VOIs do not fit 16-bit labels");
    }
    if (!invertAffine(grid.affine, work_->inverse)) {
        throw Error("the grid's transform cannot be inverted");
    }
    volume_.grid = grid;
    volume_.outside.assign(figures.vois.size(), 0);
    volume_.labelled.assign(figures.vois.size(), 0);
    work_->onLattice = onTheVoiLattice(grid);
    Lattice& lattice = work_->lattice;
    lattice.extent = VoxelExtent(figures);
    lattice.extent.checkFits();
    lattice.labels.assign(static_cast<std::size_t>(lattice.extent.cells), 0);
}

LabelPass::~LabelPass() = default;

void LabelPass::beginVoi(const glomera::VoiInfo&) { ++voi_; }

void LabelPass::runs(const VoxelRun* runs, std::size_t count) {
    Lattice& lattice = work_->lattice;
    const auto label = static_cast<std::int16_t>(voi_ + 1);
    std::int64_t& outside = volume_.outside[static_cast<std::size_t>(voi_)];
    for (const VoxelRun* run = runs; run != runs + count; ++run) {
        // z runs fastest on the lattice: a run is one stretch of cells.
        std::int16_t* cell = &lattice.labels[lattice.extent.index(run->x, run->y, run->z)];
        for (std::int16_t* const end = cell + run->length; cell != end; ++cell) {
            if (*cell != 0 && *cell != label) ++volume_.overwritten;
            *cell = label;
        }
        outside += offTheGrid(*run);
    }
}

// How many voxels of the run have their nearest cell off the grid.
std::int64_t LabelPass::offTheGrid(const VoxelRun& run) const {
    const LabelGrid& grid = volume_.grid;
    if (work_->onLattice) {
        // The grid's cells are the lattice's voxels, shifted: a run is cut by the z range.
        const auto inRange = [&](int r, double from) {
            return from >= 0 && from < static_cast<double>(grid.dims[r]);
        };
        if (!inRange(0, run.x - grid.affine[0][3]) || !inRange(1, run.y - grid.affine[1][3])) {
            return run.length;
        }
        const double low = run.z - grid.affine[2][3];
        const double first = std::max(low, 0.0);
        const double last = std::min(low + run.length, static_cast<double>(grid.dims[2]));
        return run.length - static_cast<std::int64_t>(std::max(0.0, last - first));
    }
    std::int64_t off = 0;
    for (std::int32_t k = 0; k < run.length; ++k) {
        const Point at = transformed(
            work_->inverse, talToGrid(grid, {static_cast<double>(run.x), static_cast<double>(run.y),
                                             static_cast<double>(std::int64_t{run.z} + k)}));
        for (int r = 0; r < 3; ++r) {
            const double nearest = std::floor(at[r] + 0.5);
            if (!(nearest >= 0 && nearest < static_cast<double>(grid.dims[r]))) {
                ++off;
                break;
            }
        }
    }
    return off;
}

LabelVolume LabelPass::finish() {
    LabelVolume volume = std::move(volume_);
    const LabelGrid& grid = volume.grid;
    const Lattice& lattice = work_->lattice;
    const std::int64_t nx = grid.dims[0], ny = grid.dims[1];
    volume.labels.assign(static_cast<std::size_t>(nx * ny * grid.dims[2]), 0);
    if (!lattice.labels.empty() && work_->onLattice) {
        copyFromLattice(lattice, grid, volume.labels);
    } else if (!lattice.labels.empty()) {
        std::int64_t from[3], to[3];
        cellRange(lattice, grid, work_->inverse, from, to);
        for (std::int64_t k = from[2]; k <= to[2]; ++k) {
            for (std::int64_t j = from[1]; j <= to[1]; ++j) {
                for (std::int64_t i = from[0]; i <= to[0]; ++i) {
                    // Each cell takes the label of the lattice voxel nearest to its centre; on
                    // the lattice itself that is the voxel at the cell's centre.
                    const Point tal = gridToTal(
                        grid,
                        transformed(grid.affine, {static_cast<double>(i), static_cast<double>(j),
                                                  static_cast<double>(k)}));
                    const std::int64_t nearest[3] = {
                        static_cast<std::int64_t>(std::floor(tal[0] + 0.5)),
                        static_cast<std::int64_t>(std::floor(tal[1] + 0.5)),
                        static_cast<std::int64_t>(std::floor(tal[2] + 0.5))};
                    volume.labels[static_cast<std::size_t>((k * ny + j) * nx + i)] =
                        lattice.at(nearest);
                }
            }
        }
    }
    for (const std::int16_t label : volume.labels) {
        if (label > 0) ++volume.labelled[static_cast<std::size_t>(label - 1)];
    }
    // The lattice is done with; it need not be held while the volume is written.
    work_->lattice.labels = std::vector<std::int16_t>();
    return volume;
}

LabelVolume fillLabels(const VoiFileContents& contents, const LabelGrid& grid) {
    const VoiRuns runs = runsOf(contents);
    FiguresPass figures;
    replay(runs, figures);
    LabelPass labels(grid, figures.statistics);
    replay(runs, labels);
    return labels.finish();
}

std::string writeLabelVolume(const std::string& path, const VoiFileContents& contents,
                             const LabelVolume& volume) {
    const bool compressed = endsWith(path, ".nii.gz");
    if (!compressed && !endsWith(path, ".nii")) {
        throw Error("a NIfTI volume's name ends with .nii or .nii.gz, not like " + path);
    }
    const LabelGrid& grid = volume.grid;
    const std::int64_t dims[8] = {3, grid.dims[0], grid.dims[1], grid.dims[2], 1, 1, 1, 1};
    NiftiImage image(nifti_make_new_nim(dims, NIFTI_TYPE_INT16, 0));
    if (!image) throw Error("cannot make a NIfTI image");
    nifti_image& nim = *image;
    nim.data = std::malloc(volume.labels.size() * sizeof(std::int16_t));
    if (nim.data == nullptr) throw Error("not enough memory for the label volume");
    std::memcpy(nim.data, volume.labels.data(), volume.labels.size() * sizeof(std::int16_t));
    const nifti_dmat44 matrix = toMatrix(grid.affine);
    nim.sto_xyz = matrix;
    // The codes say the truth: the space the labels were put in.
    nim.sform_code = grid.space == Space::kMni ? NIFTI_XFORM_MNI_152 : NIFTI_XFORM_TALAIRACH;
    nifti_dmat44_to_quatern(matrix, &nim.quatern_b, &nim.quatern_c, &nim.quatern_d, &nim.qoffset_x,
                            &nim.qoffset_y, &nim.qoffset_z, &nim.dx, &nim.dy, &nim.dz, &nim.qfac);
    nim.pixdim[1] = nim.dx;
    nim.pixdim[2] = nim.dy;
    nim.pixdim[3] = nim.dz;
    nim.qform_code = nim.sform_code;
    nim.qto_xyz =
        nifti_quatern_to_dmat44(nim.quatern_b, nim.quatern_c, nim.quatern_d, nim.qoffset_x,
                                nim.qoffset_y, nim.qoffset_z, nim.dx, nim.dy, nim.dz, nim.qfac);
    nim.xyz_units = NIFTI_UNITS_MM;
    nim.intent_code = NIFTI_INTENT_LABEL;
    nim.cal_min = 0;
    nim.cal_max = static_cast<double>(contents.vois.size());
    std::snprintf(nim.descrip, sizeof nim.descrip, "Glomera VOIs, %zu labels",
                  contents.vois.size());
    nim.nifti_type = NIFTI_FTYPE_NIFTI1_1;

    const std::string temporary =
        glomera::AtomicFile::temporaryPathFor(path, compressed ? ".tmp.nii.gz" : ".tmp.nii");
    if (nifti_set_filenames(image.get(), temporary.c_str(), 0, 1) != 0) {
        throw Error("cannot name the NIfTI file " + path);
    }
    // Fast compression: label volumes shrink well at any level, and the best takes half as
    // long again for a file a third smaller.
    znzFile left = nifti_image_write_hdr_img(image.get(), 1, "wb1");
    if (left != nullptr) znzclose(left);
    // The library reports no failure; an image that reads back is the proof of a write. The
    // copy written goes first, so that the labels are held twice at most.
    nifti_image_unload(image.get());
    const NiftiImage written(nifti_image_read(temporary.c_str(), 1));
    if (!written || written->nvox != nim.nvox ||
        std::memcmp(written->data, volume.labels.data(),
                    volume.labels.size() * sizeof(std::int16_t)) != 0) {
        std::remove(temporary.c_str());
        throw Error("cannot write " + path);
    }
    std::vector<std::string> tables;
    try {
        writeTables(path, contents, volume, tables);
    } catch (const Error&) {
        std::remove(temporary.c_str());
        for (const std::string& table : tables) std::remove(table.c_str());
        throw;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        for (const std::string& table : tables) std::remove(table.c_str());
        throw Error("cannot write " + path + ": " + reason);
    }
    return tables.front();
}

}  // namespace voikit
