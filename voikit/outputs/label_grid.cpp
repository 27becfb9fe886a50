#include "voikit/outputs/label_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "voikit/io/error.h"
#include "voikit/space/nifti_file.h"

namespace voikit {
namespace {

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

// A position bounded for conversion to a whole number: far off the grid or the lattice is as
// good as just off it (NaN, from a transform at the edge of what doubles hold, too).
double bounded(double value, double low, double high) {
    return std::isnan(value) ? high : std::clamp(value, low, high);
}

}  // namespace

double LabelGrid::cellVolume() const {
    const double(&a)[3][4] = affine;
    return std::fabs(a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                     a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                     a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]));
}

LabelGrid defaultGrid(const std::string& voiPath, const VoiStatistics& statistics, int margin) {
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
        if (cells > kMaxGridCells) throw Error(voiPath, "the VOIs spread too far for a 1 mm grid");
    }
    grid.space = Space::kTal;
    return grid;
}

LabelGrid gridOfImage(const std::string& path, std::optional<Space> declared, MniToTal transform) {
    const NiftiImage image = readImageHeader(path, VoxelLimit::kPerVolume);
    return gridOfHeader(path, *image, declared, transform);
}

LabelGrid gridOfHeader(const std::string& path, const nifti_image& header,
                       std::optional<Space> declared, MniToTal transform) {
    const ImageGrid found = gridOf(header);
    LabelGrid grid;
    for (int axis = 0; axis < 3; ++axis) grid.dims[axis] = found.dims[axis];
    std::memcpy(grid.affine, found.affine, sizeof grid.affine);
    grid.transform = transform;
    // Checked axis by axis first, so that the product cannot overflow.
    if (grid.dims[0] > kMaxImageGridCells || grid.dims[1] > kMaxImageGridCells ||
        grid.dims[2] > kMaxImageGridCells || grid.dims[0] * grid.dims[1] > kMaxImageGridCells ||
        grid.dims[0] * grid.dims[1] * grid.dims[2] > kMaxImageGridCells) {
        throw Error(path, "the grid is too large");
    }
    const std::optional<Space> coded =
        found.spaceCode == NIFTI_XFORM_TALAIRACH ? std::optional<Space>(Space::kTal)
        : found.spaceCode == NIFTI_XFORM_MNI_152 ? std::optional<Space>(Space::kMni)
                                                 : std::nullopt;
    if (coded && declared && *coded != *declared) {
        throw Error(path, std::string("its header says its millimetres are ") + spaceName(*coded) +
                              ", not what --grid-space says (" + spaceName(*declared) + ")");
    }
    if (!coded && !declared) {
        throw Error(
            path,
            "the image does not say which space its millimetres are in (its transform's "
            "code is " +
                std::to_string(found.spaceCode) + ", " + spaceCodeName(found.spaceCode) +
                "): give --grid-space mni for an image in MNI space (registered to an MNI "
                "template such as ch2, SPM's or FSL's), or --grid-space tal for an image "
                "in Talairach space. An image in a subject's own (native) space has to be "
                "normalised to one of them first: a sphere's millimetres mean nothing there");
    }
    grid.space = coded ? *coded : *declared;
    return grid;
}

LabelGrid mniTemplateGrid(const std::string& path, MniToTal transform) {
    const ImageGrid found = gridOf(*readImageHeader(path));
    LabelGrid grid;
    for (int axis = 0; axis < 3; ++axis) grid.dims[axis] = found.dims[axis];
    std::memcpy(grid.affine, found.affine, sizeof grid.affine);
    grid.space = Space::kMni;
    grid.transform = transform;
    return grid;
}

std::optional<LabelGrid> namedGrid(const std::string& name, MniToTal transform) {
    // The MNI152 templates' grids: x runs from the right (+90 mm) to the left, y from -126 mm,
    // z from -72 mm.
    const double size = name == "mni1mm" ? 1.0 : name == "mni2mm" ? 2.0 : 0.0;
    if (size == 0.0) return std::nullopt;
    LabelGrid grid;
    const std::int64_t onePerMm[3] = {182, 218, 182};
    const std::int64_t twoPerMm[3] = {91, 109, 91};
    for (int a = 0; a < 3; ++a) grid.dims[a] = size == 1.0 ? onePerMm[a] : twoPerMm[a];
    grid.affine[0][0] = -size;
    grid.affine[1][1] = size;
    grid.affine[2][2] = size;
    grid.affine[0][3] = 90;
    grid.affine[1][3] = -126;
    grid.affine[2][3] = -72;
    grid.space = Space::kMni;
    grid.transform = transform;
    return grid;
}

LabelGrid gridNamedOrOfImage(const std::string& grid, std::optional<Space> declared,
                             MniToTal transform) {
    if (const std::optional<LabelGrid> named = namedGrid(grid, transform)) {
        if (declared && *declared != Space::kMni) {
            throw Error(grid + " is an MNI grid, not what --grid-space says (TAL)");
        }
        return *named;
    }
    return gridOfImage(grid, declared, transform);
}

GridPull::GridPull(const LabelGrid& grid) : grid_(grid), onLattice_(onTheVoiLattice(grid)) {
    if (!invertAffine(grid.affine, inverse_)) {
        throw Error("the grid's transform cannot be inverted");
    }
}

void GridPull::latticeVoxel(std::int64_t i, std::int64_t j, std::int64_t k,
                            std::int64_t out[3]) const {
    const Point tal =
        gridToTal(grid_, transformed(grid_.affine, {static_cast<double>(i), static_cast<double>(j),
                                                    static_cast<double>(k)}));
    // Beyond any lattice a .voi file can hold, a position stays whole and far.
    constexpr double kFar = 1e15;
    for (int a = 0; a < 3; ++a) {
        out[a] = static_cast<std::int64_t>(std::floor(bounded(tal[a], -kFar, kFar) + 0.5));
    }
}

bool GridPull::cellRange(const std::int32_t low[3], const std::int64_t size[3],
                         std::int64_t from[3], std::int64_t to[3]) const {
    for (int a = 0; a < 3; ++a) {
        from[a] = grid_.dims[a];
        to[a] = -1;
    }
    // Both halves of Brett's transform: the plane z = 0 is a corner too.
    std::vector<double> zs = {low[2] - 0.5, low[2] + size[2] - 0.5};
    if (zs[0] < 0 && zs[1] > 0) zs.push_back(0.0);
    for (int corner = 0; corner < 4; ++corner) {
        for (double z : zs) {
            const Point tal = {corner & 1 ? low[0] + size[0] - 0.5 : low[0] - 0.5,
                               corner & 2 ? low[1] + size[1] - 0.5 : low[1] - 0.5, z};
            const Point ijk = transformed(inverse_, talToGrid(grid_, tal));
            for (int a = 0; a < 3; ++a) {
                const double at = bounded(ijk[a], -2.0, static_cast<double>(grid_.dims[a]) + 1);
                from[a] = std::min(from[a], static_cast<std::int64_t>(std::floor(at)) - 1);
                to[a] = std::max(to[a], static_cast<std::int64_t>(std::ceil(at)) + 1);
            }
        }
    }
    bool any = true;
    for (int a = 0; a < 3; ++a) {
        from[a] = std::max<std::int64_t>(from[a], 0);
        to[a] = std::min<std::int64_t>(to[a], grid_.dims[a] - 1);
        any = any && from[a] <= to[a];
    }
    return any;
}

std::int64_t GridPull::offTheGrid(const VoxelRun& run) const {
    if (onLattice_) {
        // The grid's cells are the lattice's voxels, shifted: a run is cut by the z range.
        const auto inRange = [&](int r, double from) {
            return from >= 0 && from < static_cast<double>(grid_.dims[r]);
        };
        if (!inRange(0, run.x - grid_.affine[0][3]) || !inRange(1, run.y - grid_.affine[1][3])) {
            return run.length;
        }
        const double low = run.z - grid_.affine[2][3];
        const double first = std::max(low, 0.0);
        const double last = std::min(low + run.length, static_cast<double>(grid_.dims[2]));
        return run.length - static_cast<std::int64_t>(std::max(0.0, last - first));
    }
    std::int64_t off = 0;
    for (std::int32_t k = 0; k < run.length; ++k) {
        const Point at = transformed(
            inverse_, talToGrid(grid_, {static_cast<double>(run.x), static_cast<double>(run.y),
                                        static_cast<double>(std::int64_t{run.z} + k)}));
        for (int r = 0; r < 3; ++r) {
            const double nearest = std::floor(at[r] + 0.5);
            if (!(nearest >= 0 && nearest < static_cast<double>(grid_.dims[r]))) {
                ++off;
                break;
            }
        }
    }
    return off;
}

}  // namespace voikit
