#include "voikit/anatomy.h"

#include <gtest/gtest.h>
#include <nifti2_io.h>

#include <map>
#include <random>
#include <string>

#include "plugin/sphere_voxels.h"
#include "tests/test_vois.h"
#include "voikit/atlas.h"
#include "voikit/error.h"
#include "voikit/nifti_file.h"

namespace {

glomera::VoiFileContents sphereAt(const voikit::Point& tal, float radius) {
    return oneSphere(static_cast<float>(tal[0]), static_cast<float>(tal[1]),
                     static_cast<float>(tal[2]), radius);
}

using voikit::MniToTal;
using voikit::Point;

const std::string kAal = std::string(voikit::kTemplateFolder) + "/aal.nii.gz";

TEST(Atlas, KnownVoxelsOfTheAtlasFileAreFoundAtTheirTalPositions) {
    // Voxels taken from the atlas file itself, away from region borders: their MNI centres,
    // converted to TAL, must be looked up as the label the file gives them.
    voikit::NiftiImage header = voikit::readImageHeader(kAal);
    const voikit::ImageGrid grid = voikit::gridOf(*header);
    const std::vector<float> labels = voikit::readImageValues(kAal, *header);
    const voikit::Atlas aal("aal");
    std::mt19937 random(3);
    int checked = 0;
    for (MniToTal transform : {MniToTal::kSpm, MniToTal::kFsl, MniToTal::kBrett}) {
        for (int attempt = 0; attempt < 20000 && checked < 300; ++attempt) {
            const std::int64_t i = 1 + random() % (grid.dims[0] - 2);
            const std::int64_t j = 1 + random() % (grid.dims[1] - 2);
            const std::int64_t k = 1 + random() % (grid.dims[2] - 2);
            const auto at = [&](std::int64_t a, std::int64_t b, std::int64_t c) {
                return labels[static_cast<std::size_t>((c * grid.dims[1] + b) * grid.dims[0] + a)];
            };
            const float label = at(i, j, k);
            if (label == 0 || at(i - 1, j, k) != label || at(i + 1, j, k) != label ||
                at(i, j - 1, k) != label || at(i, j + 1, k) != label || at(i, j, k - 1) != label ||
                at(i, j, k + 1) != label) {
                continue;
            }
            Point mni{};
            for (int r = 0; r < 3; ++r) {
                mni[r] = grid.affine[r][0] * i + grid.affine[r][1] * j + grid.affine[r][2] * k +
                         grid.affine[r][3];
            }
            const Point tal = voikit::mniToTal(mni, transform);
            ASSERT_EQ(aal.labelAt(tal, transform), static_cast<std::int32_t>(label))
                << mni[0] << " " << mni[1] << " " << mni[2];
            ++checked;
        }
    }
    EXPECT_GE(checked, 300);
    EXPECT_EQ(aal.regionName(37), "Hippocampus_L");
    EXPECT_EQ(voikit::Atlas("brodmann").regionName(17), "BA 17");
}

TEST(Anatomy, RegionsAndTheirSharesAtAKnownPlace) {
    // MNI (-24, -1, -17), the centre of AAL's left amygdala in the atlas file; the sphere is
    // placed at its TAL point.
    const Point tal = voikit::mniToTal({-24, -1, -17}, MniToTal::kSpm);
    const auto contents = sphereAt(tal, 2.0f);
    voikit::AnatomySettings settings;
    settings.atlases = {"aal"};
    const voikit::Anatomy anatomy =
        voikit::describeAnatomy(contents, voikit::computeStatistics(contents), settings);
    ASSERT_EQ(anatomy.vois.size(), 1u);
    const voikit::AtlasRegions& aal = anatomy.vois[0].atlases.at(0);
    EXPECT_EQ(aal.atlas, "AAL");
    EXPECT_EQ(aal.atCentre, "Amygdala_L");
    double total = 0;
    for (const voikit::RegionShare& region : aal.regions) total += region.share;
    EXPECT_NEAR(total, 1.0, 1e-9);
    EXPECT_EQ(aal.regions.front().region, "Amygdala_L");
    EXPECT_GT(aal.regions.front().share, 0.5);
    EXPECT_TRUE(anatomy.vois[0].centreInBrain);
    EXPECT_EQ(anatomy.vois[0].warning, "");
}

TEST(Anatomy, SpheresOutsideTheBrainAreWarnedOf) {
    // Inside the accepted box, but above the cortex: no brain there in ch2bet.
    const auto scalp = sphereAt({0, 60, 70}, 6.0f);
    const voikit::Anatomy anatomy =
        voikit::describeAnatomy(scalp, voikit::computeStatistics(scalp), voikit::AnatomySettings{});
    EXPECT_FALSE(anatomy.vois[0].centreInBrain);
    EXPECT_EQ(anatomy.vois[0].warning.rfind("its centre lies outside the brain", 0), 0u);
    // A sphere straddling the brain's edge with its centre just inside.
    const auto edge = sphereAt(voikit::mniToTal({0, 0, 76}, MniToTal::kSpm), 10.0f);
    const voikit::Anatomy half =
        voikit::describeAnatomy(edge, voikit::computeStatistics(edge), voikit::AnatomySettings{});
    if (half.vois[0].centreInBrain) {
        EXPECT_LT(half.vois[0].shareInBrain, 0.5);
        EXPECT_EQ(half.vois[0].warning.rfind("only ", 0), 0u) << half.vois[0].warning;
    } else {
        EXPECT_FALSE(half.vois[0].warning.empty());
    }
}

TEST(Anatomy, AnAtlasOfTheUsersMustBeReadable) {
    voikit::AnatomySettings settings;
    settings.atlases = {"/nonexistent/atlas.nii.gz:labels.txt"};
    const auto contents = sphereAt({0, 0, 0}, 2.0f);
    EXPECT_THROW(voikit::describeAnatomy(contents, voikit::computeStatistics(contents), settings),
                 voikit::Error);
    // Any label image with its label text works.
    settings.atlases = {kAal + ":" + voikit::kTemplateFolder + "/aal.nii.txt"};
    const auto anatomy =
        voikit::describeAnatomy(contents, voikit::computeStatistics(contents), settings);
    EXPECT_EQ(anatomy.vois[0].atlases.at(0).atlas, "aal.nii.gz");
}

}  // namespace
