#include "voikit/tables/foci_output.h"

#include <gtest/gtest.h>

#include <string>

#include "voikit/tables/table_import.h"

namespace {

using voikit::Space;

const char* const kFoci =
    "// Reference=MNI\n"
    "// Meyer et al., 2014: fearful > neutral\n"
    "// Subjects=24\n"
    "-22\t-6\t-18\n"
    "24\t-4\t-16\n"
    "\n"
    "// Okafor, 2016\n"
    "// Subjects=18\n"
    "4 50 18\n"
    "90 0 0\n";

TEST(FociOutput, AFociFileGoesBackAsItCame) {
    const voikit::ImportResult result = voikit::importTable(kFoci, {});
    // The last focus lies outside the box and is no VOI, so no focus either.
    const voikit::FociOutput mni =
        voikit::fociFile(result, Space::kMni, voikit::MniToTal::kSpm, std::nullopt, "unused");
    EXPECT_EQ(mni.refusal, "");
    EXPECT_EQ(mni.text,
              "// Reference=MNI\n"
              "// Meyer et al., 2014: fearful > neutral\n"
              "// Subjects=24\n"
              "-22\t-6\t-18\n"
              "24\t-4\t-16\n"
              "\n"
              "// Okafor, 2016\n"
              "// Subjects=18\n"
              "4\t50\t18\n");
    // In TAL, by Lancaster's SPM transform: (-22, -6, -18) is (-21.18, -5.68, -12.83).
    const voikit::FociOutput tal =
        voikit::fociFile(result, Space::kTal, voikit::MniToTal::kSpm, std::nullopt, "unused");
    EXPECT_EQ(tal.text.rfind("// Reference=Talairach\n"
                             "// Meyer et al., 2014: fearful > neutral\n"
                             "// Subjects=24\n"
                             "-21.18\t-5.68\t-12.83\n",
                             0),
              0u)
        << tal.text;
}

TEST(FociOutput, ATableWithoutSubjectsNeedsThemFromTheUser) {
    voikit::ImportSettings tal;
    tal.space = Space::kTal;
    const voikit::ImportResult result =
        voikit::importTable("Region\tx\ty\tz\nIFG\t-45.4\t24.2\t9.4\n", tal);
    const voikit::FociOutput refused =
        voikit::fociFile(result, Space::kTal, voikit::MniToTal::kSpm, std::nullopt, "load");
    EXPECT_EQ(refused.text, "");
    EXPECT_EQ(refused.refusal,
              "GingerALE weighs each experiment by its number of subjects, and \"load\" gives "
              "none: say --subjects N");
    const voikit::FociOutput given =
        voikit::fociFile(result, Space::kTal, voikit::MniToTal::kSpm, 21, "load");
    EXPECT_EQ(given.text, "// Reference=Talairach\n// load\n// Subjects=21\n-45.4\t24.2\t9.4\n");
    // TAL to MNI through the inverse of the chosen transform: near MNI (-48, 28, 4), whose
    // TAL centre the table gave to one decimal.
    EXPECT_EQ(voikit::fociFile(result, Space::kMni, voikit::MniToTal::kSpm, 21, "load").text,
              "// Reference=MNI\n// load\n// Subjects=21\n-47.98\t28\t3.99\n");
}

TEST(FociOutput, ColumnGroupsGiveTheirOwnValues) {
    const voikit::ImportResult result = voikit::importTable(
        "Region MNI x y z Talairach x y z\nIFG -48 28 4 -45 24 9\n", voikit::ImportSettings{});
    EXPECT_EQ(voikit::fociFile(result, Space::kMni, voikit::MniToTal::kSpm, 12, "t").text,
              "// Reference=MNI\n// t\n// Subjects=12\n-48\t28\t4\n");
    EXPECT_EQ(voikit::fociFile(result, Space::kTal, voikit::MniToTal::kSpm, 12, "t").text,
              "// Reference=Talairach\n// t\n// Subjects=12\n-45\t24\t9\n");
}

}  // namespace
