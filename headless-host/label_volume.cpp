#include "headless-host/label_volume.h"

#include <nifti2_io.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/atomic_file.h"
#include "headless-host/text_output.h"

namespace headless {
namespace {

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

struct ImageFree {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};
using Image = std::unique_ptr<nifti_image, ImageFree>;

// Solves affine . (i, j, k, 1) = p for (i, j, k).
bool invert(const double a[3][4], double inverse[3][4]) {
    const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                       a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                       a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
    double m[3][3];
    m[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) / det;
    m[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
    m[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
    m[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) / det;
    m[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
    m[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
    m[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) / det;
    m[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
    m[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) inverse[r][c] = m[r][c];
        inverse[r][3] = -(m[r][0] * a[0][3] + m[r][1] * a[1][3] + m[r][2] * a[2][3]);
    }
    return true;
}

nifti_dmat44 toMatrix(const LabelGrid& grid) {
    nifti_dmat44 matrix{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) matrix.m[r][c] = grid.affine[r][c];
    }
    matrix.m[3][3] = 1.0;
    return matrix;
}

bool writeTable(const std::string& path, const VoiFileContents& contents, const LabelVolume& volume,
                std::string& error) {
    std::string text = "index\tname\tr\tg\tb\tvoxels\tlabelled\toutside\n";
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& info = contents.vois[i].info;
        text += std::to_string(i + 1) + "\t" + info.name + "\t" + std::to_string(info.color[0]) +
                "\t" + std::to_string(info.color[1]) + "\t" + std::to_string(info.color[2]) + "\t" +
                std::to_string(info.voxelCount) + "\t" + std::to_string(volume.labelled[i]) + "\t" +
                std::to_string(volume.outside[i]) + "\n";
    }
    return writeTextOutput(path, text, error);
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

bool defaultGrid(const VoiStatistics& statistics, int margin, LabelGrid& grid, std::string& error) {
    grid = LabelGrid();
    const bool empty = statistics.low[0] > statistics.high[0];
    std::int64_t cells = 1;
    for (int axis = 0; axis < 3; ++axis) {
        const std::int64_t low = empty ? -margin : std::int64_t{statistics.low[axis]} - margin;
        const std::int64_t high = empty ? margin : std::int64_t{statistics.high[axis]} + margin;
        grid.dims[axis] = high - low + 1;
        grid.affine[axis][axis] = 1.0;
        grid.affine[axis][3] = static_cast<double>(low);
        cells *= grid.dims[axis];
        if (cells > kMaxGridCells) {
            error = "the VOIs spread too far for a 1 mm grid";
            return false;
        }
    }
    grid.transformCode = NIFTI_XFORM_TALAIRACH;
    return true;
}

bool gridOfImage(const std::string& path, LabelGrid& grid, std::string& error) {
    grid = LabelGrid();
    if (is_nifti_file(path.c_str()) <= 0) {
        error = path + " is not a readable NIfTI image";
        return false;
    }
    const Image image(nifti_image_read(path.c_str(), 0));
    if (!image) {
        error = "cannot read the NIfTI header of " + path;
        return false;
    }
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
    constexpr std::int64_t kMaxCells = kMaxGridCells * 4;
    if (grid.dims[0] > kMaxCells || grid.dims[1] > kMaxCells || grid.dims[2] > kMaxCells ||
        grid.dims[0] * grid.dims[1] > kMaxCells ||
        grid.dims[0] * grid.dims[1] * grid.dims[2] > kMaxCells) {
        error = "the grid of " + path + " is too large";
        return false;
    }
    double unused[3][4];
    if (!invert(grid.affine, unused)) {
        error = "the transform of " + path + " cannot be inverted";
        return false;
    }
    return true;
}

bool fillLabels(const VoiFileContents& contents, const LabelGrid& grid, LabelVolume& volume,
                std::string& error) {
    if (contents.vois.size() > 32767) {
        error = "more than 32767 VOIs do not fit 16-bit labels";
        return false;
    }
    double inverse[3][4];
    if (!invert(grid.affine, inverse)) {
        error = "the grid's transform cannot be inverted";
        return false;
    }
    volume = LabelVolume();
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
                const double value = inverse[r][0] * v[n] + inverse[r][1] * v[n + 1] +
                                     inverse[r][2] * v[n + 2] + inverse[r][3];
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
    return true;
}

bool writeLabelVolume(const std::string& path, const VoiFileContents& contents,
                      const LabelVolume& volume, std::string& tablePath, std::string& error) {
    const bool compressed = endsWith(path, ".nii.gz");
    if (!compressed && !endsWith(path, ".nii")) {
        error = "a NIfTI volume's name ends with .nii or .nii.gz, not like " + path;
        return false;
    }
    const LabelGrid& grid = volume.grid;
    const std::int64_t dims[8] = {3, grid.dims[0], grid.dims[1], grid.dims[2], 1, 1, 1, 1};
    Image image(nifti_make_new_nim(dims, NIFTI_TYPE_INT16, 0));
    if (!image) {
        error = "cannot make a NIfTI image";
        return false;
    }
    nifti_image& nim = *image;
    nim.data = std::malloc(volume.labels.size() * sizeof(std::int16_t));
    if (nim.data == nullptr) {
        error = "not enough memory for the label volume";
        return false;
    }
    std::memcpy(nim.data, volume.labels.data(), volume.labels.size() * sizeof(std::int16_t));
    const nifti_dmat44 matrix = toMatrix(grid);
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
        error = "cannot name the NIfTI file " + path;
        return false;
    }
    nifti_image_write(image.get());
    // The library reports no failure; a header that reads back is the proof of a write.
    const Image written(nifti_image_read(temporary.c_str(), 1));
    if (!written || written->nvox != nim.nvox ||
        std::memcmp(written->data, nim.data, volume.labels.size() * sizeof(std::int16_t)) != 0) {
        std::remove(temporary.c_str());
        error = "cannot write " + path;
        return false;
    }
    tablePath = labelTablePath(path);
    if (!writeTable(tablePath, contents, volume, error)) {
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        std::remove(tablePath.c_str());
        return false;
    }
    return true;
}

}  // namespace headless
