#include "voikit/outputs/label_volume.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>

#include "common/atomic_file.h"
#include "common/ends_with.h"
#include "voikit/io/error.h"
#include "voikit/io/text_output.h"
#include "voikit/io/utf8.h"
#include "voikit/io/width_in_bytes.h"
#include "voikit/space/nifti_file.h"
#include "voikit/space/nifti_writing.h"

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

// A VOI's name as a cell of a BIDS table: UTF-8, blanks for tabs and line ends, which would
// break the table, and "n/a" for none.
std::string tableCell(const std::string& name) {
    std::string cell = asUtf8(name);
    for (char& c : cell) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return cell.empty() ? "n/a" : cell;
}

// "#e6194b": a colour as BIDS writes it, each component held to 0..255.
std::string hexColour(const std::int32_t (&rgb)[3]) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", std::clamp(rgb[0], 0, 255),
                  std::clamp(rgb[1], 0, 255), std::clamp(rgb[2], 0, 255));
    return text;
}

// The BIDS sidecar of the label table: what each column holds, then, when given, what made
// the table, under a key no column has.
std::string tableSidecar(const Provenance* provenance) {
    nlohmann::ordered_json columns = {
        {"index",
         {{"LongName", "Label"},
          {"Description",
           "The VOI's label in the volume: i for the i-th VOI of the .voi file; 0, the background, "
           "is not listed"}}},
        {"name",
         {{"LongName", "VOI name"},
          {"Description", "The VOI's name in the .voi file, as UTF-8 (tabs as blanks)"}}},
        {"color",
         {{"LongName", "Colour"},
          {"Description", "The VOI's colour as #rrggbb, each component held to 0..255"}}},
        {"r",
         {{"LongName", "Red"},
          {"Description", "Red component of the VOI's colour as the .voi file gives it"}}},
        {"g",
         {{"LongName", "Green"},
          {"Description", "Green component of the VOI's colour as the .voi file gives it"}}},
        {"b",
         {{"LongName", "Blue"},
          {"Description", "Blue component of the VOI's colour as the .voi file gives it"}}},
        {"voxels",
         {{"LongName", "VOI voxels"},
          {"Description", "How many 1 mm voxels the .voi file lists for the VOI"}}},
        {"labelled",
         {{"LongName", "Labelled cells"},
          {"Description",
           "How many cells of the volume's grid carry the VOI's label: each cell takes the label "
           "of the VOI voxel nearest to its centre, and a later VOI takes the cells it shares with "
           "an earlier one"}}},
        {"outside",
         {{"LongName", "Voxels off the grid"},
          {"Description",
           "How many of the VOI's voxels have their nearest cell off the volume's grid"}}},
        {"volume_voi_mm3",
         {{"LongName", "VOI volume"},
          {"Description", "The VOI's volume in the .voi file: its voxels times 1 mm^3"},
          {"Units", "mm^3"}}},
        {"volume_grid_mm3",
         {{"LongName", "Labelled volume"},
          {"Description", "The volume of the cells carrying the VOI's label in the volume's grid"},
          {"Units", "mm^3"}}},
    };
    if (provenance) columns["provenance"] = provenanceJson(*provenance);
    return columns.dump(2) + "\n";
}

void writeTables(const std::string& path, const VoiFileContents& contents,
                 const LabelVolume& volume, const Provenance* provenance,
                 std::vector<std::string>& written) {
    const double cell = volume.grid.cellVolume();
    // BIDS's columns of a discrete segmentation's table first, then our own.
    std::string table =
        "index\tname\tcolor\tr\tg\tb\tvoxels\tlabelled\toutside\tvolume_voi_mm3\t"
        "volume_grid_mm3\n";
    std::string lut;
    if (provenance) {
        for (const std::string& line : provenanceLines(*provenance)) lut += "# " + line + "\n";
    }
    lut += "#No. Label Name                                 R   G   B   A\n";
    lut += "0   Unknown                                    0   0   0   0\n";
    std::string workbench;
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& info = contents.vois[i].info;
        const auto [r, g, b] = info.color;
        fmt::format_to(std::back_inserter(table),
                       "{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{:.1f}\n", i + 1,
                       tableCell(info.name), hexColour(info.color), r, g, b, info.voxelCount,
                       volume.labelled[i], volume.outside[i], info.voxelCount,
                       static_cast<double>(volume.labelled[i]) * cell);
        fmt::format_to(std::back_inserter(lut), "{:<3} {:<42} {:>3} {:>3} {:>3}   0\n", i + 1,
                       InBytes{info.name}, r, g, b);
        fmt::format_to(std::back_inserter(workbench), "{}\n{} {} {} {} 255\n", info.name, i + 1, r,
                       g, b);
    }
    const LabelTableFiles names = labelTableFiles(path);
    const std::string sidecar = tableSidecar(provenance);
    const std::pair<std::string, const std::string*> files[] = {{names.table, &table},
                                                                {names.sidecar, &sidecar},
                                                                {names.colourLut, &lut},
                                                                {names.workbench, &workbench}};
    for (const auto& [file, text] : files) {
        writeTextOutput(file, *text);
        written.push_back(file);
    }
}

}  // namespace

LabelTableFiles labelTableFiles(const std::string& volumePath) {
    std::string base = volumePath;
    for (const char* extension : {".nii.gz", ".nii"}) {
        if (endsWith(volumePath, extension)) {
            base = volumePath.substr(0, volumePath.size() - std::strlen(extension));
            break;
        }
    }
    return {base + ".tsv", base + ".json", base + "_ColorLUT.txt", base + "_wb_labels.txt"};
}

std::string labelTablePath(const std::string& volumePath) {
    return labelTableFiles(volumePath).table;
}

struct LabelPass::Work {
    explicit Work(const LabelGrid& grid) : pull(grid) {}
    GridPull pull;
    Lattice lattice;
    bool allOnTheGrid = false;  // every voxel of the VOIs' extent has a cell of its own
};

LabelPass::LabelPass(const std::string& voiPath, const LabelGrid& grid,
                     const VoiStatistics& figures)
    : work_(std::make_unique<Work>(grid)) {
    if (figures.vois.size() > kMaxLabels) {
        throw Error(voiPath, fmt::format("more than {} VOIs do not fit 16-bit labels", kMaxLabels));
    }
    volume_.grid = grid;
    volume_.outside.assign(figures.vois.size(), 0);
    volume_.labelled.assign(figures.vois.size(), 0);
    Lattice& lattice = work_->lattice;
    lattice.extent = VoxelExtent(figures);
    lattice.extent.checkFits(voiPath);
    lattice.labels.assign(static_cast<std::size_t>(lattice.extent.cells), 0);
    // On the lattice a run is off the grid by its x, its y or its z range alone, so the two
    // corner columns of the extent, whole, stand for every run in it: the default grid,
    // which has a margin around the VOIs, need not be asked run by run.
    const VoxelExtent& e = lattice.extent;
    const auto wholeColumn = [&](std::int64_t x, std::int64_t y) {
        return VoxelRun{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), e.low[2],
                        static_cast<std::int32_t>(e.size[2])};
    };
    work_->allOnTheGrid = e.cells > 0 && work_->pull.onLattice() &&
                          work_->pull.offTheGrid(wholeColumn(e.low[0], e.low[1])) == 0 &&
                          work_->pull.offTheGrid(
                              wholeColumn(e.low[0] + e.size[0] - 1, e.low[1] + e.size[1] - 1)) == 0;
}

LabelPass::~LabelPass() = default;

void LabelPass::beginVoi(const glomera::VoiInfo&) { ++voi_; }

void LabelPass::runs(const VoxelRun* runs, std::size_t count) {
    Lattice& lattice = work_->lattice;
    const auto label = static_cast<std::int16_t>(voi_ + 1);
    std::int64_t& outside = volume_.outside[static_cast<std::size_t>(voi_)];
    std::int64_t overwritten = 0;
    for (const VoxelRun* run = runs; run != runs + count; ++run) {
        // z runs fastest on the lattice: a run is one stretch of cells. Counted without a
        // branch, so that the compiler takes the cells many at a time.
        std::int16_t* cell = &lattice.labels[lattice.extent.index(run->x, run->y, run->z)];
        for (std::int16_t* const end = cell + run->length; cell != end; ++cell) {
            overwritten += static_cast<int>(*cell != 0) & static_cast<int>(*cell != label);
            *cell = label;
        }
        if (!work_->allOnTheGrid) outside += work_->pull.offTheGrid(*run);
    }
    volume_.overwritten += overwritten;
}

LabelVolume LabelPass::finish() {
    LabelVolume volume = std::move(volume_);
    const LabelGrid& grid = volume.grid;
    const Lattice& lattice = work_->lattice;
    const std::int64_t nx = grid.dims[0], ny = grid.dims[1];
    volume.labels.assign(static_cast<std::size_t>(nx * ny * grid.dims[2]), 0);
    std::int64_t from[3], to[3];
    if (!lattice.labels.empty() && work_->pull.onLattice()) {
        copyFromLattice(lattice, grid, volume.labels);
    } else if (!lattice.labels.empty() &&
               work_->pull.cellRange(lattice.extent.low, lattice.extent.size, from, to)) {
        for (std::int64_t k = from[2]; k <= to[2]; ++k) {
            for (std::int64_t j = from[1]; j <= to[1]; ++j) {
                for (std::int64_t i = from[0]; i <= to[0]; ++i) {
                    // Each cell takes the label of the lattice voxel nearest to its centre; on
                    // the lattice itself that is the voxel at the cell's centre.
                    std::int64_t nearest[3];
                    work_->pull.latticeVoxel(i, j, k, nearest);
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

namespace {

// The header of a NIfTI-1 image of voxels on a grid, the transform in both qform and sform
// with the code of the grid's space; its voxels are not held.
NiftiImage gridImage(const LabelGrid& grid, int datatype, std::int64_t volumes, int intent,
                     double calMax, const std::string& description) {
    const std::int64_t dims[8] = {
        volumes > 1 ? 4 : 3, grid.dims[0], grid.dims[1], grid.dims[2], volumes, 1, 1, 1};
    NiftiImage image(nifti_make_new_nim(dims, datatype, 0));
    // With the grid's sizes checked, libnifti fails here only for want of memory.
    if (!image) throw std::bad_alloc();
    nifti_image& nim = *image;
    const nifti_dmat44 matrix = toMatrix(grid.affine);
    nim.sto_xyz = matrix;
    // The codes say the truth: the space the voxels were put in.
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
    nim.intent_code = intent;
    nim.cal_min = 0;
    nim.cal_max = calMax;
    std::snprintf(nim.descrip, sizeof nim.descrip, "%s", description.c_str());
    nim.nifti_type = NIFTI_FTYPE_NIFTI1_1;
    return image;
}

// Why a file could not be written, as far as the system said.
std::string cannotWrite() {
    return "cannot write" + (errno != 0 ? std::string(": ") + std::strerror(errno) : "");
}

std::string labelDescription(const VoiFileContents& contents) {
    return fmt::format("Glomera VOIs, {} labels", contents.vois.size());
}

}  // namespace

GridVolumeFile::GridVolumeFile(const std::string& path, const LabelGrid& grid, int datatype,
                               std::int64_t volumes, const void* data, int intent, double calMax,
                               const std::string& description, const Provenance* provenance)
    : path_(path) {
    const bool compressed = endsWith(path, ".nii.gz");
    if (!compressed && !endsWith(path, ".nii")) {
        throw Error(path, "a NIfTI volume's name ends with .nii or .nii.gz");
    }
    NiftiImage image = gridImage(grid, datatype, volumes, intent, calMax, description);
    const std::size_t bytes =
        static_cast<std::size_t>(image->nvox) * static_cast<std::size_t>(image->nbyper);
    if (provenance) {
        // A comment extension holds ASCII: the JSON escapes everything else.
        const std::string made = provenanceJson(*provenance).dump(-1, ' ', true);
        if (nifti_add_extension(image.get(), made.c_str(), static_cast<int>(made.size()),
                                NIFTI_ECODE_COMMENT) != 0) {
            throw Error(path, "cannot note what made it");
        }
    }
    errno = 0;
    if (!file_.open(path)) throw Error(path, cannotWrite());
    writeNifti1(*image, data, bytes, compressed, file_);
    if (file_.failed()) throw Error(path, cannotWrite());
}

void GridVolumeFile::commit() {
    errno = 0;
    if (!file_.commit()) throw Error(path_, cannotWrite());
}

std::string labelVolumeBytes(const VoiFileContents& contents, const LabelVolume& volume) {
    const NiftiImage image =
        gridImage(volume.grid, NIFTI_TYPE_INT16, 1, NIFTI_INTENT_LABEL,
                  static_cast<double>(contents.vois.size()), labelDescription(contents));
    // The header, then four zero bytes (no extensions), then the voxels.
    std::string bytes = niftiHeadBytes(*image);
    bytes.append(reinterpret_cast<const char*>(volume.labels.data()),
                 volume.labels.size() * sizeof(std::int16_t));
    return bytes;
}

std::string writeLabelVolume(const std::string& path, const VoiFileContents& contents,
                             const LabelVolume& volume, const Provenance* provenance) {
    GridVolumeFile file(path, volume.grid, NIFTI_TYPE_INT16, 1, volume.labels.data(),
                        NIFTI_INTENT_LABEL, static_cast<double>(contents.vois.size()),
                        labelDescription(contents), provenance);
    std::vector<std::string> tables;
    try {
        writeTables(path, contents, volume, provenance, tables);
        file.commit();
    } catch (const Error&) {
        for (const std::string& table : tables) std::remove(table.c_str());
        throw;
    }
    return tables.front();
}

}  // namespace voikit
