// Atlases checked for sides when loaded: names that say a side held against where the labels
// lie, the known files whose headers swap left and right, the remembered verdicts, and VOIs
// whose names say the other side from their centres.
#include "voikit/space/atlas_sides.h"

#include <gtest/gtest.h>
#include <nifti2_io.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "tests/support/vois_in_memory.h"
#include "tests/test_files.h"
#include "tests/test_vois.h"
#include "voikit/anatomy/anatomy.h"
#include "voikit/io/error.h"
#include "voikit/io/sha256.h"
#include "voikit/io/user_cache.h"
#include "voikit/space/atlas.h"
#include "voikit/space/name_side.h"
#include "voikit/space/nifti_file.h"

namespace {

using voikit::AtlasSideRule;
using voikit::AtlasSides;
using voikit::MniToTal;
using voikit::Side;

// Every test of this program remembers atlas verdicts in a folder of its own, never in the
// user's cache.
class CacheHome : public testing::Environment {
  public:
    void SetUp() override { setenv("XDG_CACHE_HOME", folder_.path().c_str(), 1); }

  private:
    TempFolder folder_;
};
testing::Environment* const kCacheHome = testing::AddGlobalTestEnvironment(new CacheHome);

const std::string kTemplates = voikit::kTemplateFolder;

TEST(NameSide, WordPartsSayTheSide) {
    const struct {
        const char* name;
        Side side;
    } cases[] = {
        {"Amygdala_L", Side::kLeft},
        {"Frontal_Sup_Orb_R", Side::kRight},
        {"Left_Insula", Side::kLeft},
        {"Left-Hippocampus", Side::kLeft},
        {"RIGHT AMYGDALA", Side::kRight},
        {"lh.insula", Side::kLeft},
        {"ctx-rh-precuneus", Side::kRight},
        {"L_IFG", Side::kLeft},
        {"Cerebelum_Crus1_L", Side::kLeft},
        {"R\xc3\xa9gion_L", Side::kLeft},  // UTF-8
        {"R\xe9gion_L", Side::kLeft},      // Latin-1
        {"Posterior_thalamic_radiation_(include_optic_radiation)_R", Side::kRight},
        // No word part of its own says a side.
        {"Lingual", Side::kNone},
        {"Leftover", Side::kNone},
        {"Brightness", Side::kNone},
        {"G_Frontal_Sup-1", Side::kNone},
        {"BA 17", Side::kNone},
        {"Vermis_1_2", Side::kNone},
        {"l_amygdala", Side::kNone},  // a lower-case letter is as often an abbreviation
        {"rIFG", Side::kNone},
        {"", Side::kNone},
        // Both sides: none.
        {"L_R_commissure", Side::kNone},
        {"Left_to_Right", Side::kNone},
    };
    for (const auto& c : cases) EXPECT_EQ(voikit::sideInName(c.name), c.side) << c.name;
}

// A label image of 20 x 2 x 2 voxels, x = xRow . (i, j, k, 1), with the labels given per i.
AtlasSides sidesOf(const std::vector<std::uint16_t>& placePerI, const double xRow[4],
                   const std::vector<std::string>& names) {
    const std::int64_t dims[3] = {static_cast<std::int64_t>(placePerI.size()), 2, 2};
    std::vector<std::uint16_t> places;
    for (const std::uint16_t place : placePerI) places.insert(places.end(), 4, place);
    std::vector<std::int32_t> labels;
    for (std::size_t i = 0; i < names.size(); ++i) labels.push_back(static_cast<std::int32_t>(i));
    return voikit::checkAtlasSides(labels, places, dims, xRow,
                                   [&](std::int32_t label) { return names[label]; });
}

TEST(AtlasSides, CentresAreHeldAgainstTheNames) {
    // Labels by place: 1 A_L at i 0..4, 2 A_R at i 15..19, 3 Mid_L at i 9..10, 4 Both at
    // i 5..8 and 11..14, 5 Edge at i 15..19 taken by A_R (absent), 6 (no name) at nothing.
    const std::vector<std::uint16_t> perI = {1, 1, 1, 1, 1, 4, 4, 4, 4, 3,
                                             3, 4, 4, 4, 4, 2, 2, 2, 2, 2};
    const std::vector<std::string> names = {"", "A_L", "A_R", "Mid_L", "Both", "Absent_R", ""};
    const double asNamed[4] = {1, 0, 0, -9.5};  // x from -9.5 to 9.5
    AtlasSides sides = sidesOf(perI, asNamed, names);
    EXPECT_EQ(sides.sided, 3);  // Absent_R holds no voxel
    EXPECT_EQ(sides.nearMidline, 1);
    EXPECT_TRUE(sides.misplaced.empty());
    EXPECT_EQ(sides.unsided, 1);
    EXPECT_EQ(sides.bothSides, 1);
    EXPECT_EQ(sides.judged(), 2);
    EXPECT_FALSE(sides.mostMisplaced());
    EXPECT_EQ(voikit::sidesStatement(sides),
              "3 labels named for a side, each on its side of x = 0 (1 centred within 2 mm of "
              "x = 0); 1 label without a side");

    // The same voxels with x running the other way: both judged labels on the other side.
    const double swapped[4] = {-1, 0, 0, 9.5};
    sides = sidesOf(perI, swapped, names);
    ASSERT_EQ(sides.misplaced.size(), 2u);
    EXPECT_EQ(sides.misplaced[0].name, "A_L");
    EXPECT_DOUBLE_EQ(sides.misplaced[0].x, 7.5);
    EXPECT_EQ(sides.misplaced[1].name, "A_R");
    EXPECT_TRUE(sides.mostMisplaced());
    EXPECT_EQ(voikit::misplacedLabels(sides, 1), "A_L (x = 7.5) and 1 more");

    // Shifted so that only A_R crosses: one of two judged is not most.
    const double shifted[4] = {1, 0, 0, -21};
    sides = sidesOf(perI, shifted, names);
    EXPECT_EQ(sides.misplaced.size(), 1u);
    EXPECT_FALSE(sides.mostMisplaced());
    // Names without a side, all on one side: not in both hemispheres.
    sides = sidesOf(perI, shifted, {"", "One", "Two", "Three", "Four"});
    EXPECT_EQ(sides.sided, 0);
    EXPECT_EQ(sides.unsided, 4);
    EXPECT_EQ(sides.bothSides, 0);
    EXPECT_EQ(voikit::sidesStatement(sides),
              "its names say no side: 0 of 4 labels reach into both hemispheres");
}

TEST(AtlasSides, TheFieldsAtlasesAsInstalled) {
    // AAL's 116 labels: 108 named for a side, each on it; the vermis without one.
    const voikit::Atlas aal("aal");
    ASSERT_TRUE(aal.sides());
    EXPECT_EQ(aal.sides()->sided, 108);
    EXPECT_EQ(aal.sides()->unsided, 8);
    EXPECT_TRUE(aal.sides()->misplaced.empty());
    EXPECT_EQ(aal.xAxisCorrection(), "");
    // JHU: every one of its 42 sided labels on its side once read with FSL's x axis.
    const voikit::Atlas jhu("jhu");
    ASSERT_TRUE(jhu.sides());
    EXPECT_EQ(jhu.sides()->sided, 42);
    EXPECT_TRUE(jhu.sides()->misplaced.empty());
    EXPECT_EQ(jhu.xAxisCorrection().rfind("x read as 90 - i", 0), 0u);
    // AICHA and Brodmann name no side, and every label reaches into both hemispheres.
    for (const char* name : {"aicha", "brodmann"}) {
        const voikit::Atlas atlas(name);
        ASSERT_TRUE(atlas.sides()) << name;
        EXPECT_EQ(atlas.sides()->sided, 0) << name;
        EXPECT_EQ(atlas.sides()->bothSides, atlas.sides()->unsided) << name;
        EXPECT_EQ(atlas.sides()->unsided, name[1] == 'i' ? 192 : 41) << name;
    }
    // An image without label names says nothing of sides.
    EXPECT_FALSE(voikit::Atlas(kTemplates + "/aal.nii.gz").sides());
}

TEST(AtlasSides, JhuLabelsAreFoundOnTheirSides) {
    // Voxels deep inside each label, their MNI positions in FSL's layout (x = 90 - i) as
    // nibabel gives them; both files of mricron-data, the 2 mm one too.
    const struct {
        double x, y, z;
        const char* label;
    } cases[] = {
        {21, -13, 8, "Posterior_limb_of_internal_capsule_R"},
        {-21, -13, 8, "Posterior_limb_of_internal_capsule_L"},
        {7, -25, -33, "Corticospinal_tract_R"},
        {-6, -25, -33, "Corticospinal_tract_L"},
        {13, -18, -12, "Cerebral_peduncle_R"},
        {-12, -18, -12, "Cerebral_peduncle_L"},
        {32, 0, 2, "External_capsule_R"},
        {-31, 0, 2, "External_capsule_L"},
        {0, 26, 7, "Genu_of_corpus_callosum"},
    };
    const voikit::Atlas jhu("jhu");
    const voikit::Atlas coarse(kTemplates + "/JHU-WhiteMatter-labels-2mm.nii.gz:" + kTemplates +
                               "/JHU-WhiteMatter-labels-2mm.nii.txt");
    EXPECT_EQ(coarse.xAxisCorrection().rfind("x read as 90 - 2i", 0), 0u);
    EXPECT_TRUE(coarse.sides()->misplaced.empty());
    for (const auto& c : cases) {
        EXPECT_EQ(jhu.regionName(jhu.labelAtMni({c.x, c.y, c.z})), c.label)
            << c.x << " " << c.y << " " << c.z;
    }
    EXPECT_EQ(coarse.regionName(coarse.labelAtMni({21, -13, 8})),
              "Posterior_limb_of_internal_capsule_R");

    // The sphere of a report: the right posterior limb of the internal capsule.
    const auto sphere = [](const voikit::Point& mni) {
        const voikit::Point tal = voikit::mniToTal(mni, MniToTal::kSpm);
        return oneSphere(static_cast<float>(tal[0]), static_cast<float>(tal[1]),
                         static_cast<float>(tal[2]), 3.0f);
    };
    voikit::AnatomySettings settings;
    settings.atlases = {"jhu"};
    for (const double x : {21.0, -21.0}) {
        const auto contents = sphere({x, -13, 8});
        const voikit::Anatomy anatomy =
            voikit::describeAnatomy(contents, voikit::computeStatistics(contents), settings);
        const voikit::AtlasRegions& regions = anatomy.vois.at(0).atlases.at(0);
        const std::string expected =
            std::string("Posterior_limb_of_internal_capsule_") + (x > 0 ? "R" : "L");
        EXPECT_EQ(regions.atCentre, expected);
        EXPECT_EQ(regions.regions.at(0).region, expected);
        for (const voikit::RegionShare& share : regions.regions) {
            EXPECT_NE(voikit::sideInName(share.region), x > 0 ? Side::kLeft : Side::kRight)
                << share.region;
        }
    }
}

// A copy of an image with other bytes (and so another checksum): read through libnifti and
// written again, uncompressed.
std::string copyOfImage(const std::string& from, const std::string& to) {
    nifti_image* image = nifti_image_read(from.c_str(), 1);
    nifti_set_filenames(image, to.c_str(), 0, 1);
    nifti_image_write(image);
    nifti_image_free(image);
    return to;
}

// Why the atlas is refused; "" when it is taken.
std::string refusal(const std::string& choice, AtlasSideRule rule = AtlasSideRule::kCheck) {
    try {
        const voikit::Atlas atlas(choice, rule);
    } catch (const voikit::Error& error) {
        return error.what();
    }
    return "";
}

TEST(AtlasSides, SwappedAtlasesAreRefusedUnlessToldAndAFewMisplacedLabelsAreNamed) {
    TempFolder folder;
    // The JHU image under another checksum: its header's own x axis, every side swapped.
    const std::string jhu =
        copyOfImage(kTemplates + "/JHU-WhiteMatter-labels-1mm.nii.gz", folder.file("jhu.nii")) +
        ":" + kTemplates + "/JHU-WhiteMatter-labels-1mm.nii.txt";
    const std::string why = refusal(jhu);
    EXPECT_EQ(why.rfind(folder.file("jhu.nii") + ": 42 of 42 labels named for a side lie on "
                                                 "the other side of x = 0 by the image's own "
                                                 "header, so its left and right are swapped: "
                                                 "Corticospinal_tract_R (x = -8.1), "
                                                 "Corticospinal_tract_L (x = 5.0),",
                        0),
              0u)
        << why;
    EXPECT_NE(why.find("give --atlas-sides ignore to use it as it is"), std::string::npos);
    const voikit::Atlas ignored(jhu, AtlasSideRule::kIgnore);
    EXPECT_EQ(ignored.sides()->misplaced.size(), 42u);
    EXPECT_EQ(ignored.xAxisCorrection(), "");
    // Through the lookups: the atlas named by the user stops them; ignored, it is used with
    // a note that names the labels.
    voikit::AnatomySettings settings;
    settings.atlases = {jhu};
    const auto contents = oneSphere(20, -12, 10, 2.0f);
    const voikit::VoiStatistics statistics = voikit::computeStatistics(contents);
    EXPECT_THROW(voikit::describeAnatomy(contents, statistics, settings), voikit::Error);
    settings.sideRule = AtlasSideRule::kIgnore;
    const voikit::Anatomy anatomy = voikit::describeAnatomy(contents, statistics, settings);
    ASSERT_EQ(anatomy.notes.size(), 1u);
    EXPECT_EQ(anatomy.notes[0].rfind("jhu.nii: 42 of 42 labels named for a side lie on the "
                                     "other side of x = 0: Corticospinal_tract_R (x = -8.1)",
                                     0),
              0u)
        << anatomy.notes[0];
    EXPECT_NE(anatomy.notes[0].find("used as it is, as --atlas-sides ignore asks"),
              std::string::npos);

    // AAL with the names of its precentral gyri swapped: two of 108, a warning naming them.
    std::string names = readFile(kTemplates + "/aal.nii.txt");
    names.replace(names.find("Precentral_L"), 12, "Precentral_X");
    names.replace(names.find("Precentral_R"), 12, "Precentral_L");
    names.replace(names.find("Precentral_X"), 12, "Precentral_R");
    writeFile(folder.file("aal.txt"), names);
    settings.atlases = {kTemplates + "/aal.nii.gz:" + folder.file("aal.txt")};
    settings.sideRule = AtlasSideRule::kCheck;
    const voikit::Anatomy warned = voikit::describeAnatomy(contents, statistics, settings);
    ASSERT_EQ(warned.notes.size(), 1u);
    EXPECT_EQ(warned.notes[0].rfind("aal.nii.gz: 2 of 108 labels named for a side lie on the "
                                    "other side of x = 0: Precentral_R (x = -3",
                                    0),
              0u)
        << warned.notes[0];
    EXPECT_NE(warned.notes[0].find("their regions may be named for the wrong side"),
              std::string::npos);
    // A default atlas that would be refused is left out with a note; here none is.
    settings.atlases = voikit::defaultAtlases();
    const voikit::Anatomy defaults = voikit::describeAnatomy(contents, statistics, settings);
    EXPECT_TRUE(defaults.notes.empty());
    ASSERT_EQ(defaults.atlasSides.size(), 4u);
    EXPECT_EQ(defaults.atlasSides[3].atlas, "AICHA");
    EXPECT_EQ(voikit::sidesStatement(*defaults.atlasSides[3].sides),
              "its names say no side: 192 of 192 labels reach into both hemispheres");
}

TEST(AtlasSides, VerdictsAreRememberedByChecksumAndTheCacheIsNeverRequired) {
    const std::string cache = voikit::userCacheFolder() + "/atlas-sides-1.tsv";
    std::remove(cache.c_str());
    const voikit::Atlas first("aal");
    const std::string remembered = readFile(cache);
    const std::string key = voikit::sha256OfFile(kTemplates + "/aal.nii.gz").sha256 + ":" +
                            voikit::sha256OfFile(kTemplates + "/aal.nii.txt").sha256;
    EXPECT_EQ(remembered.rfind(key + "\t108\t0\t8\t", 0), 0u) << remembered;
    ASSERT_TRUE(voikit::rememberedSides(key));
    EXPECT_TRUE(*voikit::rememberedSides(key) == *first.sides());

    // The remembered verdict is taken as it is, without looking at the image again: one that
    // says every label lies on the other side makes the atlas refused.
    AtlasSides swapped = *first.sides();
    swapped.misplaced = {{"Precentral_L", 38.5}, {"Precentral_R", -38.5}};
    swapped.sided = 2;
    voikit::rememberSides(key, swapped);
    EXPECT_NE(refusal("aal").find("2 of 2 labels named for a side"), std::string::npos);
    EXPECT_EQ(refusal("aal", AtlasSideRule::kIgnore), "");

    // Damaged, unreadable or unwritable: the check is made again, and the atlas is taken.
    for (const std::string& damage :
         {std::string("garbage\n\x01\x02"), key + "\t1\t2\n", key + "\tx\ty\tz\tw\t0\n",
          key + "\t2\t0\t0\t0\t1\tOnly_L\tnan\n"}) {
        writeFile(cache, damage);
        EXPECT_EQ(refusal("aal"), "") << damage;
        EXPECT_NE(readFile(cache).find(key + "\t108\t0\t8\t"), std::string::npos);
    }
    const std::string home = getenv("XDG_CACHE_HOME");
    setenv("XDG_CACHE_HOME", "/proc/no-cache-here", 1);
    EXPECT_EQ(voikit::Atlas("aal").sides()->sided, 108);
    setenv("XDG_CACHE_HOME", "relative/folder", 1);  // not absolute: the home folder's
    const char* userHome = getenv("HOME");
    EXPECT_EQ(voikit::userCacheFolder(), userHome && userHome[0] == '/'
                                             ? std::string(userHome) + "/.cache/glomera"
                                             : std::string());
    setenv("XDG_CACHE_HOME", home.c_str(), 1);
}

TEST(AtlasSides, AVoiNamedForTheOtherSideIsWarnedOf) {
    const struct {
        const char* name;
        float x;
        const char* warning;  // "" for none
    } cases[] = {
        {"Amygdala_L", 24,
         "its name says left but its centre lies right of the midline "
         "(TAL x = 24.0)"},
        {"Right_Insula", -32,
         "its name says right but its centre lies left of the midline "
         "(TAL x = -32.0)"},
        {"lh.precuneus", 9,
         "its name says left but its centre lies right of the midline "
         "(TAL x = 9.0)"},
        {"Amygdala_R", 24, ""},
        {"Amygdala_L", -24, ""},
        {"Cingulum_L", 1, ""},  // within 2 mm of the midline
        {"Medial_prefrontal", 24, ""},
    };
    voikit::AnatomySettings settings;
    settings.atlases = {};
    for (const auto& c : cases) {
        glomera::VoiFileContents contents;
        contents.vois.push_back(sphereVoi(c.name, c.x, -4, 10, 3));
        const voikit::Anatomy anatomy =
            voikit::describeAnatomy(contents, voikit::computeStatistics(contents), settings);
        const std::vector<std::string>& warnings = anatomy.vois.at(0).warnings;
        if (c.warning[0] == '\0') {
            EXPECT_TRUE(warnings.empty()) << c.name << ": " << warnings.at(0);
        } else {
            ASSERT_EQ(warnings.size(), 1u) << c.name;
            EXPECT_EQ(warnings[0], c.warning);
        }
    }
}

}  // namespace
