#include "voikit/label_volume.h"

#include <nifti2_io.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/atomic_file.h"
#include "common/ends_with.h"
#include "voikit/error.h"
#include "voikit/text_output.h"

namespace voikit {
namespace {

using glomera::endsWith;
using glomera::VoiFileContents;

struct ImageFree {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};
using Image = std::unique_ptr<nifti_image, ImageFree>;

nifti_dmat44 toMatrix(const double affine[3][4]) {
    nifti_dmat44 matrix{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) matrix.m[r][c] = affine[r][c];
    }
    matrix.m[3][3] = 1.0;
    return matrix;
}

// The transform from millimetres back to voxel indices; false when there is none.
bool invert(const double affine[3][4], nifti_dmat44& inverse) {
    nifti_dmat33 linear{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) linear.m[r][c] = affine[r][c];
    }
    const double determinant = nifti_dmat33_determ(linear);
    if (!std::isfinite(determinant) || std::fabs(determinant) < 1e-12) return false;
    inverse = nifti_dmat44_inverse(toMatrix(affine));
    for (const auto& row : inverse.m) {
        for (double value : row) {
            if (!std::isfinite(value)) return false;
        }
    }
    return true;
}

void writeTable(const std::string& path, const VoiFileContents& contents,
                const LabelVolume& volume) {
    std::string text = "index\tname\tr\tg\tb\tvoxels\tlabelled\toutside\n";
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& info = contents.vois[i].info;
        text += std::to_string(i + 1) + "\t" + info.name + "\t" + std::to_string(info.color[0]) +
                "\t" + std::to_string(info.color[1]) + "\t" + std::to_string(info.color[2]) + "\t" +
                std::to_string(info.voxelCount) + "\t" + std::to_string(volume.labelled[i]) + "\t" +
                std::to_string(volume.outside[i]) + "\n";
    }
    writeTextOutput(path, text);
}

}  // namespace

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
    grid.transformCode = NIFTI_XFORM_TALAIRACH;
    return grid;
}

LabelGrid gridOfImage(const std::string& path) {
    LabelGrid grid;
    if (is_nifti_file(path.c_str()) <= 0) throw Error(path + " is not a readable NIfTI image");
    const Image image(nifti_image_read(path.c_str(), 0));
    if (!image) throw Error("cannot read the NIfTI header of " + path);
    const nifti_image& nim = *image;
    for (int axis = 0; axis < 3; ++axis)
        grid.dims[axis] = nim.dim[axis + 1] > 0 ? nim.dim[axis + 1] : 1;
    const nifti_dmat44* transform = nim.sform_code > 0   ? &nim.sto_xyz
                                    : nim.qform_code > 0 ? &nim.qto_xyz
                                                         : nullptr;
    if (transform) {
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) grid.affine[r][c] = transform->m[r][c];
        }
        grid.transformCode = nim.sform_code > 0 ? nim.sform_code : nim.qform_code;
    } else {
        const double sizes[3] = {nim.dx, nim.dy, nim.dz};
        for (int axis = 0; axis < 3; ++axis)
            grid.affine[axis][axis] = sizes[axis] > 0 ? sizes[axis] : 1.0;
        grid.transformCode = NIFTI_XFORM_UNKNOWN;
    }
    // Checked axis by axis first, so that the product cannot overflow.
    if (grid.dims[0] > kMaxImageGridCells || grid.dims[1] > kMaxImageGridCells ||
        grid.dims[2] > kMaxImageGridCells || grid.dims[0] * grid.dims[1] > kMaxImageGridCells ||
        grid.dims[0] * grid.dims[1] * grid.dims[2] > kMaxImageGridCells) {
        throw Error("the grid of " + path + " is too large");
    }
    nifti_dmat44 unused;
    if (!invert(grid.affine, unused)) {
        throw Error("the transform of " + path + " cannot be inverted");
    }
    return grid;
}

LabelVolume fillLabels(const VoiFileContents& contents, const LabelGrid& grid) {
    if (contents.vois.size() > kMaxLabels) {
        throw Error("more than " + std::to_string(kMaxLabels) + " VOIs do not fit 16-bit labels");
    }
    nifti_dmat44 inverse;
    if (!invert(grid.affine, inverse)) throw Error("the grid's transform cannot be inverted");
    LabelVolume volume;
    volume.grid = grid;
    const std::int64_t nx = grid.dims[0], ny = grid.dims[1], nz = grid.dims[2];
    volume.labels.assign(static_cast<std::size_t>(nx * ny * nz), 0);
    volume.outside.assign(contents.vois.size(), 0);
    volume.labelled.assign(contents.vois.size(), 0);
    for (std::size_t index = 0; index < contents.vois.size(); ++index) {
        const auto label = static_cast<std::int16_t>(index + 1);
        const auto& v = contents.vois[index].voxels;
        for (std::size_t n = 0; n < v.size(); n += 3) {
            std::int64_t ijk[3];
            bool inside = true;
            for (int r = 0; r < 3; ++r) {
                const double value = inverse.m[r][0] * v[n] + inverse.m[r][1] * v[n + 1] +
                                     inverse.m[r][2] * v[n + 2] + inverse.m[r][3];
                const double nearest = std::floor(value + 0.5);
                inside = inside && nearest >= 0 && nearest < static_cast<double>(grid.dims[r]);
                ijk[r] = inside ? static_cast<std::int64_t>(nearest) : 0;
            }
            if (!inside) {
                ++volume.outside[index];
                continue;
            }
            std::int16_t& cell =
                volume.labels[static_cast<std::size_t>((ijk[2] * ny + ijk[1]) * nx + ijk[0])];
            if (cell != label) {
                if (cell != 0) {
                    ++volume.overwritten;
                    --volume.labelled[static_cast<std::size_t>(cell - 1)];
                }
                cell = label;
                ++volume.labelled[index];
            }
        }
    }
    return volume;
}

std::string writeLabelVolume(const std::string& path, const VoiFileContents& contents,
                             const LabelVolume& volume) {
    const bool compressed = endsWith(path, ".nii.gz");
    if (!compressed && !endsWith(path, ".nii")) {
        throw Error("a NIfTI volume's name ends with .nii or .nii.gz, not like " + path);
    }
    const LabelGrid& grid = volume.grid;
    const std::int64_t dims[8] = {3, grid.dims[0], grid.dims[1], grid.dims[2], 1, 1, 1, 1};
    Image image(nifti_make_new_nim(dims, NIFTI_TYPE_INT16, 0));
    if (!image) throw Error("cannot make a NIfTI image");
    nifti_image& nim = *image;
    nim.data = std::malloc(volume.labels.size() * sizeof(std::int16_t));
    if (nim.data == nullptr) throw Error("not enough memory for the label volume");
    std::memcpy(nim.data, volume.labels.data(), volume.labels.size() * sizeof(std::int16_t));
    const nifti_dmat44 matrix = toMatrix(grid.affine);
    nim.sto_xyz = matrix;
    nim.sform_code = grid.transformCode > 0 ? grid.transformCode : NIFTI_XFORM_SCANNER_ANAT;
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
    nifti_image_write(image.get());
    // The library reports no failure; a header that reads back is the proof of a write.
    const Image written(nifti_image_read(temporary.c_str(), 1));
    if (!written || written->nvox != nim.nvox ||
        std::memcmp(written->data, nim.data, volume.labels.size() * sizeof(std::int16_t)) != 0) {
        std::remove(temporary.c_str());
        throw Error("cannot write " + path);
    }
    std::string tablePath = labelTablePath(path);
    try {
        writeTable(tablePath, contents, volume);
    } catch (const Error&) {
        std::remove(temporary.c_str());
        throw;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        std::remove(tablePath.c_str());
        throw Error("cannot write " + path + ": " + reason);
    }
    return tablePath;
}

}  // namespace voikit
