// What lies at single points: points as users give them, the region at each point in every
// atlas, the nearest region where a point falls in none, and glomera-voi where.
#include <gtest/gtest.h>
#include <nifti2_io.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "tests/test_files.h"
#include "voikit/anatomy/point_list.h"
#include "voikit/anatomy/point_lookup.h"
#include "voikit/io/error.h"
#include "voikit/space/atlas.h"

namespace {

using voikit::Point;

TEST(PointList, APointIsThreeNumbers) {
    const struct {
        const char* text;
        bool taken;
        Point point;
    } cases[] = {
        {"21,-13,8", true, {21, -13, 8}},
        {"21 -13 8", true, {21, -13, 8}},
        {" 21.5 ,\t-13 ; 8e0 ", true, {21.5, -13, 8}},
        {"\xe2\x88\x92"
         "22,-6,-18",
         true,
         {-22, -6, -18}},  // a typographic minus
        {"21,-13", false, {}},
        {"21,-13,8,4", false, {}},
        {"21,-13,x", false, {}},
        {"21,,-13,8x", false, {}},
        {"1e400,0,0", false, {}},
        {"", false, {}},
    };
    for (const auto& c : cases) {
        const auto point = voikit::parsePoint(c.text);
        EXPECT_EQ(point.has_value(), c.taken) << c.text;
        if (point && c.taken) {
            EXPECT_EQ(*point, c.point) << c.text;
        }
    }
}

// A sparse label image on a sheared grid of unequal voxel sizes: the nearest labelled voxel
// found by shells is the one a search through every voxel finds, inside the image and far
// outside it.
TEST(PointLookup, TheNearestLabelledVoxelIsTheNearestOfAll) {
    TempFolder folder;
    const std::string path = folder.file("sparse.nii");
    const std::int64_t dims[8] = {3, 23, 17, 19, 1, 1, 1, 1};
    nifti_image* image = nifti_make_new_nim(dims, NIFTI_TYPE_UINT8, 1);
    auto* data = static_cast<std::uint8_t*>(image->data);
    std::mt19937 random(11);
    for (std::int64_t i = 0; i < std::int64_t{23} * 17 * 19; ++i) {
        data[i] = random() % 97 == 0 ? 1 + i % 5 : 0;
    }
    // Numbers a float holds exactly, as the header keeps them.
    const double affine[3][4] = {{1.5, 0.25, 0, -17}, {0, 2.0, -0.375, -15}, {0.125, 0, 0.75, -8}};
    image->sform_code = NIFTI_XFORM_MNI_152;
    image->sto_xyz = nifti_dmat44{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) image->sto_xyz.m[r][c] = affine[r][c];
    }
    image->sto_xyz.m[3][3] = 1;
    image->nifti_type = NIFTI_FTYPE_NIFTI1_1;
    nifti_set_filenames(image, path.c_str(), 0, 1);
    nifti_image_write(image);
    std::vector<std::pair<Point, int>> labelled;
    for (std::int64_t k = 0; k < 19; ++k) {
        for (std::int64_t j = 0; j < 17; ++j) {
            for (std::int64_t i = 0; i < 23; ++i) {
                const int label = data[(k * 17 + j) * 23 + i];
                if (label == 0) continue;
                Point at{};
                for (int r = 0; r < 3; ++r) {
                    at[r] = affine[r][0] * i + affine[r][1] * j + affine[r][2] * k + affine[r][3];
                }
                labelled.emplace_back(at, label);
            }
        }
    }
    nifti_image_free(image);
    ASSERT_GT(labelled.size(), 50u);

    const voikit::Atlas atlas(path);
    std::uniform_real_distribution<double> near(-30, 30), far(-300, 300);
    for (int n = 0; n < 400; ++n) {
        const Point p = n < 300 ? Point{near(random), near(random), near(random)}
                                : Point{far(random), far(random), far(random)};
        double best = INFINITY;
        for (const auto& [at, label] : labelled) {
            best = std::min(best, std::hypot(at[0] - p[0], at[1] - p[1], at[2] - p[2]));
        }
        const auto found = atlas.nearestLabelled(p);
        ASSERT_TRUE(found);
        ASSERT_NEAR(found->distance, best, 1e-9) << p[0] << " " << p[1] << " " << p[2];
        EXPECT_NEAR(std::hypot(found->mni[0] - p[0], found->mni[1] - p[1], found->mni[2] - p[2]),
                    best, 1e-9);
        EXPECT_EQ(atlas.labelAtMni(found->mni), found->label);
    }
}

TEST(PointLookup, RegionsAtAPointOrTheNearestOne) {
    voikit::AnatomySettings settings;
    const voikit::PointLookup lookup(settings);
    ASSERT_EQ(lookup.atlases().atlases.size(), 4u);
    const voikit::PointAnatomy capsule =
        lookup.at(voikit::mniToTal({21, -13, 8}, voikit::MniToTal::kSpm));
    EXPECT_NEAR(capsule.mni[0], 21, 1e-9);
    ASSERT_EQ(capsule.atlases.size(), 4u);
    EXPECT_EQ(capsule.atlases[2].atlas, "JHU white matter");
    EXPECT_EQ(capsule.atlases[2].region, "Posterior_limb_of_internal_capsule_R");
    EXPECT_FALSE(capsule.atlases[2].nearest);
    // No AAL region there: the right thalamus, 1 mm away, as nibabel finds it.
    EXPECT_EQ(capsule.atlases[0].region, "");
    ASSERT_TRUE(capsule.atlases[0].nearest);
    EXPECT_EQ(capsule.atlases[0].nearest->region, "Thalamus_R");
    EXPECT_NEAR(capsule.atlases[0].nearest->distance, 1.0, 1e-9);
    EXPECT_TRUE(capsule.brainKnown);
    EXPECT_TRUE(capsule.inBrain);
    // Above the head: outside the brain, and only nearest regions.
    const voikit::PointAnatomy scalp = lookup.at({0, 60, 76});
    EXPECT_FALSE(scalp.inBrain);
    for (const voikit::PointRegion& region : scalp.atlases) {
        EXPECT_EQ(region.region, "") << region.atlas;
        ASSERT_TRUE(region.nearest) << region.atlas;
        EXPECT_GT(region.nearest->distance, 5.0) << region.atlas;
    }
}

class GlomeraVoiWhereTest : public testing::Test {
  protected:
    ProgramResult run(const std::string& arguments) {
        return runProgram(folder.path(), GLOMERA_VOI, arguments);
    }
    static bool contains(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
    TempFolder folder;
};

TEST_F(GlomeraVoiWhereTest, TellsWhatLiesAtEachPoint) {
    // The atlases given, in the order given.
    ProgramResult r = run("where 21,-13,8 -21,-13,8 --space mni --atlas jhu --atlas aal");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out,
                         "\nMNI 21.0 -13.0 8.0 (TAL 18.3 -14.7 10.4 by spm)\n"
                         "  JHU white matter: Posterior_limb_of_internal_capsule_R\n"
                         "  AAL: no region; nearest Thalamus_R, 1.0 mm away (MNI 20.0 "
                         "-13.0 8.0)\n"
                         "  brain: inside\n"))
        << r.out;
    // Every atlas's answer and TAL by default are the reference cases where and where-tal;
    // the other transforms move the point.
    r = run("where 18.3,-14.7,10.4 --atlas jhu --mni-to-tal brett");
    EXPECT_TRUE(contains(r.out, "by brett)")) << r.out;

    // A list of points with names; a name that says the other side is warned of.
    // Read as import reads a table: a line whose numbers are no point refuses the file.
    writeFile(folder.file("peaks.txt"),
              "name x y z\nAmygdala_L 24 -4 -18\nInsula_R 36 24 -4\nbad 24 line -4 here 7\n");
    r = run("where --points peaks.txt --space mni --atlas aal");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "peaks.txt: line 4: no three numbers in a row")) << r.err;
    // A line with numbers that make no point is passed over with a word, not in silence.
    writeFile(folder.file("peaks.txt"),
              "name x y z\nAmygdala_L 24 -4 -18\nB 1 2\nInsula_R 36 24 -4\n");
    r = run("where --points peaks.txt --space mni --atlas aal --json -o where.json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "peaks.txt: the points are MNI (--space)")) << r.err;
    EXPECT_TRUE(contains(r.err, "peaks.txt: 1 line with numbers but no point, passed over (line 3"))
        << r.err;
    const auto json = nlohmann::json::parse(readFile(folder.file("where.json")));
    ASSERT_EQ(json["points"].size(), 2u);
    EXPECT_EQ(json["points"][0]["name"], "Amygdala_L");
    // As nibabel finds it in aal.nii.gz: label 38 at the voxel of MNI (24, -4, -18).
    EXPECT_EQ(json["points"][0]["atlases"]["AAL"]["region"], "Hippocampus_R");
    ASSERT_EQ(json["points"][0]["warnings"].size(), 1u);
    EXPECT_EQ(json["points"][0]["warnings"][0].get<std::string>().rfind(
                  "its name says left but it lies right of the midline (TAL x = ", 0),
              0u);
    EXPECT_TRUE(json["points"][1]["warnings"].empty());
    EXPECT_EQ(json["points"][1]["given"]["space"], "MNI");
    EXPECT_EQ(json["points"][1]["given"]["xyz"][1], 24.0);
    EXPECT_EQ(json["atlas_sides"][0]["sided_labels"], 108);
    EXPECT_EQ(json["mni_to_tal"], "spm");
}

TEST_F(GlomeraVoiWhereTest, RefusesWhatIsNoPoint) {
    const ProgramResult help = run("where --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "--points FILE")) << help.out;
    EXPECT_TRUE(contains(run("--help").out, "where")) << help.out;
    const struct {
        const char* arguments;
        int status;
        const char* message;
    } refused[] = {
        {"where", 2, "give a point X,Y,Z or --points FILE"},
        {"where 1,2", 2, "POINT: wants a point: three numbers, X,Y,Z, not \"1,2\""},
        {"where 1,2,3 --space icbm", 2, "--space"},
        {"where 1,2,3 --atlas-sides maybe", 2, "--atlas-sides"},
        {"where --points none.txt", 1, "none.txt"},
        {"where 1,2,3 --atlas none.nii", 1, "none.nii"},
        // No head reaches 300 mm from the origin: a unit or typing mistake, on any axis.
        {"where 0,-300.5,0", 2, "y = -300.5 mm is more than 300 mm"},
        {"where 10,20,30 0,0,301", 2, "0,0,301: z = 301 mm"},
    };
    // 300 mm itself is a point, far from every region but answered.
    EXPECT_EQ(run("where 300,-300,300 --atlas aal").status, 0);
    for (const auto& c : refused) {
        const ProgramResult r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments << ": " << r.err;
        EXPECT_TRUE(contains(r.err, c.message)) << c.arguments << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.arguments;
    }
}

}  // namespace
