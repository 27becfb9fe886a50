// Labels pulled onto grids of other sizes and spaces keep each VOI's volume and centre.
#include <gtest/gtest.h>
#include <nifti2_io.h>

#include <cmath>
#include <random>
#include <string>

#include "plugin/sphere_voxels.h"
#include "tests/support/vois_in_memory.h"
#include "tests/test_vois.h"
#include "voikit/outputs/label_volume.h"

namespace {

using voikit::LabelGrid;
using voikit::MniToTal;
using voikit::Point;
using voikit::Space;

constexpr const char* kCh2 = "/usr/share/mricron/templates/ch2.nii.gz";

LabelGrid isotropicGrid(double size, Space space, const Point& origin, std::int64_t cells) {
    LabelGrid grid;
    grid.space = space;
    for (int a = 0; a < 3; ++a) {
        grid.dims[a] = cells;
        grid.affine[a][a] = size;
        grid.affine[a][3] = origin[a];
    }
    return grid;
}

// The labelled cells' volume in TAL mm^3 and their centre of mass in TAL mm.
struct Pulled {
    double volume = 0;
    Point centre{};
};

Pulled measure(const voikit::LabelVolume& volume) {
    const LabelGrid& grid = volume.grid;
    // A cell's TAL volume: its own, times how the transform scales volume locally.
    double scale = 1.0;
    if (grid.space == Space::kMni) {
        const Point o = voikit::mniToTal({0, 0, 0}, grid.transform);
        const Point ex = voikit::mniToTal({1, 0, 0}, grid.transform);
        const Point ey = voikit::mniToTal({0, 1, 0}, grid.transform);
        const Point ez = voikit::mniToTal({0, 0, 1}, grid.transform);
        double m[3][3];
        for (int r = 0; r < 3; ++r) {
            m[r][0] = ex[r] - o[r];
            m[r][1] = ey[r] - o[r];
            m[r][2] = ez[r] - o[r];
        }
        scale = std::fabs(m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                          m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                          m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]));
    }
    Pulled pulled;
    std::int64_t count = 0;
    for (std::int64_t k = 0; k < grid.dims[2]; ++k) {
        for (std::int64_t j = 0; j < grid.dims[1]; ++j) {
            for (std::int64_t i = 0; i < grid.dims[0]; ++i) {
                if (volume.labels[static_cast<std::size_t>((k * grid.dims[1] + j) * grid.dims[0] +
                                                           i)] == 0) {
                    continue;
                }
                Point p{};
                for (int r = 0; r < 3; ++r) {
                    p[r] = grid.affine[r][0] * i + grid.affine[r][1] * j + grid.affine[r][2] * k +
                           grid.affine[r][3];
                }
                if (grid.space == Space::kMni) p = voikit::mniToTal(p, grid.transform);
                for (int r = 0; r < 3; ++r) pulled.centre[r] += p[r];
                ++count;
            }
        }
    }
    for (double& c : pulled.centre) c /= static_cast<double>(count);
    pulled.volume = static_cast<double>(count) * grid.cellVolume() * scale;
    return pulled;
}

Point centreOfVoxels(const glomera::VoiFileContents& contents) {
    Point centre{};
    const auto& v = contents.vois[0].voxels;
    for (std::size_t n = 0; n < v.size(); n += 3) {
        for (int a = 0; a < 3; ++a) centre[a] += v[n + a];
    }
    const std::size_t voxels = v.size() / 3;
    for (double& c : centre) c /= static_cast<double>(voxels);
    return centre;
}

TEST(LabelPull, VolumeAndCentreKeptOnTalGridsOfEverySize) {
    const auto contents = oneSphere(20.3f, -31.7f, 12.4f, 6.0f);
    const Point centre = centreOfVoxels(contents);
    const double voiVolume = contents.vois[0].info.voxelCount;  // 1 mm^3 each
    // The cells' centre can lie half a lattice step from the voxels' own, never more.
    const struct {
        double size;
        double volumeTolerance;  // share of the VOI's volume
    } grids[] = {{0.5, 0.03}, {1.0, 0.03}, {2.0, 0.10}, {3.0, 0.10}};
    for (const auto& g : grids) {
        // An origin off the integers, as real images have.
        const LabelGrid grid = isotropicGrid(g.size, Space::kTal, {-0.37, -60.21, -20.83},
                                             static_cast<std::int64_t>(60 / g.size) + 1);
        const voikit::LabelVolume volume = voikit::fillLabels(contents, grid);
        const Pulled pulled = measure(volume);
        EXPECT_NEAR(pulled.volume / voiVolume, 1.0, g.volumeTolerance) << g.size << " mm";
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(pulled.centre[a], centre[a], 0.5) << g.size << " mm axis " << a;
        }
        EXPECT_EQ(volume.outside[0], 0);
        EXPECT_EQ(volume.labelled[0] > 0, true);
    }
}

TEST(LabelPull, OnCh2sMniGridTheSphereSitsAtItsConvertedCentre) {
    const voikit::LabelGrid ch2 = voikit::gridOfImage(kCh2, std::nullopt, MniToTal::kSpm);
    ASSERT_EQ(ch2.space, Space::kMni);  // ch2 says MNI_152 in its sform
    const Point tal = {-40.5, -60.0, 42.0};
    const auto contents = oneSphere(-40.5f, -60.0f, 42.0f, 6.0f);
    const voikit::LabelVolume volume = voikit::fillLabels(contents, ch2);
    const Pulled pulled = measure(volume);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(pulled.centre[a], tal[a], 1.0) << a;
    // Where that is in MNI: the inverse transform of the centre, within a millimetre.
    const Point mni = voikit::talToMni(tal, MniToTal::kSpm);
    EXPECT_NEAR(mni[2], 48.8, 0.5);
    EXPECT_NEAR(pulled.volume / contents.vois[0].info.voxelCount, 1.0, 0.05);
    // Coarser MNI grids, as SPM writes them, keep the volume within a tenth. (A sphere a few
    // cells across is whole cells or none: how its edge meets the grid decides the rest.)
    const auto larger = oneSphere(-40.5f, -60.0f, 42.0f, 8.0f);
    for (double size : {2.0, 3.0}) {
        const LabelGrid grid = isotropicGrid(size, Space::kMni, {-90, -126, -72},
                                             static_cast<std::int64_t>(200 / size));
        const Pulled coarse = measure(voikit::fillLabels(larger, grid));
        EXPECT_NEAR(coarse.volume / larger.vois[0].info.voxelCount, 1.0, 0.10) << size;
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(coarse.centre[a], tal[a], 1.0) << size << " " << a;
    }
}

TEST(LabelPull, CoarseGridsNeitherSwellNorDrift) {
    // Pushing each voxel to its nearest cell made 6 mm spheres 40 to 90 % too large on 2 and
    // 3 mm grids and moved them by +0.6 mm. Pulled, over many spheres and grid origins, the
    // volume is right on average and the centre does not move one way.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> position(-40.0, 40.0), origin(0.0, 3.0);
    for (double size : {2.0, 3.0}) {
        for (Space space : {Space::kTal, Space::kMni}) {
            double bias = 0, worst = 0;
            Point drift{};
            const int spheres = 60;
            for (int n = 0; n < spheres; ++n) {
                const auto contents = oneSphere(static_cast<float>(position(random)),
                                                static_cast<float>(position(random)),
                                                static_cast<float>(position(random) / 2), 6.0f);
                const LabelGrid grid = isotropicGrid(
                    size, space,
                    {-100 + origin(random), -100 + origin(random), -100 + origin(random)},
                    static_cast<std::int64_t>(200 / size));
                const Pulled pulled = measure(voikit::fillLabels(contents, grid));
                const double error = pulled.volume / contents.vois[0].info.voxelCount - 1.0;
                bias += error / spheres;
                worst = std::max(worst, std::fabs(error));
                const Point centre = centreOfVoxels(contents);
                for (int a = 0; a < 3; ++a) drift[a] += (pulled.centre[a] - centre[a]) / spheres;
            }
            EXPECT_LT(std::fabs(bias), 0.03) << size << " mm";
            EXPECT_LT(worst, 0.25) << size << " mm";
            for (int a = 0; a < 3; ++a) EXPECT_LT(std::fabs(drift[a]), 0.25) << size << " mm";
        }
    }
}

}  // namespace
