// A suite of tables as researchers meet them (tests/tables/): each file's intended peaks,
// their names, the coordinates as written and the TAL centre the list must carry. No VOI
// beyond them may appear.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_files.h"
#include "voikit/tables/table_import.h"

namespace {

using voikit::Space;

struct Intended {
    const char* name;
    voikit::Point written;  // x right, y front, z up, in the file's space
    const char* tal;        // the centre of the list line, one decimal
};

struct SuiteCase {
    const char* file;
    std::optional<Space> space;  // --space
    const char* layout;
    Space written;
    std::vector<Intended> peaks;
    int dropped = 0;
};

std::string centre(const glomera::VoiLineValues& v) {
    char text[96];
    std::snprintf(text, sizeof text, "%.1f %.1f %.1f", static_cast<double>(v.x),
                  static_cast<double>(v.y), static_cast<double>(v.z));
    return text;
}

const std::vector<Intended> kSpmPeaks = {
    {"cluster1_peak1", {-44, 18, 4}, "-41.7 14.9 8.6"},
    {"cluster1_peak2", {-50, 10, 22}, "-47.5 5.9 23.8"},
    {"cluster1_peak3", {-36, 24, -2}, "-34.3 20.9 3.9"},
    {"cluster2_peak1", {46, 20, 2}, "41.6 16.5 8.3"},
    {"cluster2_peak2", {52, 12, 24}, "46.8 7.1 27.4"},
    {"cluster3_peak1", {-2, 14, 50}, "-3.4 6.9 49.9"},
    {"cluster4_peak1", {-34, -56, 46}, "-33.2 -57.8 39.7"},
};

const std::vector<Intended> kFourRegions = {
    {"Inferior_frontal_gyrus_L", {-48, 28, 4}, "-48.0 28.0 4.0"},
    {"Inferior_frontal_gyrus_R", {50, 30, 2}, "50.0 30.0 2.0"},
    {"Superior_parietal_lobule_L", {-30, -60, 50}, "-30.0 -60.0 50.0"},
    {"Anterior_cingulate_cortex", {4, 24, 30}, "4.0 24.0 30.0"},
};

const SuiteCase kSuite[] = {
    {"spm_results_window.txt", Space::kMni, "SPM results table", Space::kMni, kSpmPeaks},
    {"spm_results.csv", Space::kMni, "SPM results table", Space::kMni, kSpmPeaks},
    {"fsl_cluster_mm.txt",
     Space::kMni,
     "FSL cluster table",
     Space::kMni,
     {{"cluster4", {-40, -62, -12}, "-38.0 -58.3 -12.7"},
      {"cluster3", {42, -58, -16}, "37.9 -54.6 -14.7"},
      {"cluster2", {-20, -6, -18}, "-19.3 -5.7 -12.8"},
      {"cluster1", {24, -4, -20}, "21.4 -3.9 -13.7"}}},
    // Voxel indices are no coordinates: every row refused.
    {"fsl_cluster_vox.txt", std::nullopt, "FSL cluster table", Space::kTal, {}, 3},
    {"afni_3dclust_rai.txt",
     std::nullopt,
     "AFNI 3dclust report",
     Space::kTal,
     {{"cluster1", {-44, -60, -9}, "-44.0 -60.0 -9.0"},
      {"cluster2", {41, -57, -12}, "41.0 -57.0 -12.0"},
      {"cluster3", {1, 44, 24}, "1.0 44.0 24.0"},
      {"cluster4", {-21, -6, -15}, "-21.0 -6.0 -15.0"}}},
    {"afni_3dclust_lpi.txt",
     std::nullopt,
     "AFNI 3dclust report",
     Space::kTal,
     {{"cluster1", {40, -50, -18}, "40.0 -50.0 -18.0"},
      {"cluster2", {-38, -52, -16}, "-38.0 -52.0 -16.0"},
      {"cluster3", {18, -4, -12}, "18.0 -4.0 -12.0"}}},
    // The file's "// Reference=MNI" gives the space without --space.
    {"gingerale_mni.txt",
     std::nullopt,
     "GingerALE foci file",
     Space::kMni,
     {{"Meyer_et_al._2014_fearful_neutral_faces_1", {-22, -6, -18}, "-21.2 -5.7 -12.8"},
      {"Meyer_et_al._2014_fearful_neutral_faces_2", {24, -4, -16}, "21.4 -4.2 -10.2"},
      {"Meyer_et_al._2014_fearful_neutral_faces_3", {40, -52, -20}, "36.1 -48.7 -17.7"},
      {"Meyer_et_al._2014_fearful_neutral_faces_4", {-38, -54, -18}, "-36.1 -50.3 -17.3"},
      {"Okafor_and_Lind_2016_angry_neutral_faces_1", {-20, -4, -20}, "-19.3 -3.7 -14.4"},
      {"Okafor_and_Lind_2016_angry_neutral_faces_2", {22, -2, -18}, "19.5 -2.2 -11.8"},
      {"Okafor_and_Lind_2016_angry_neutral_faces_3", {4, 50, 18}, "2.6 43.2 24.6"},
      {"Vasquez_et_al._2019_emotional_neutral_faces_adolescents_1",
       {-24, -8, -16},
       "-23.1 -7.7 -11.3"},
      {"Vasquez_et_al._2019_emotional_neutral_faces_adolescents_2",
       {42, -50, -18},
       "37.9 -47.0 -15.7"}}},
    {"gingerale_tal.txt",
     Space::kTal,
     "GingerALE foci file",
     Space::kTal,
     {{"Hartmann_et_al._2003_Stroop_incongruent_congruent_1", {2, 18, 40}, "2.0 18.0 40.0"},
      {"Hartmann_et_al._2003_Stroop_incongruent_congruent_2", {-40, 14, 28}, "-40.0 14.0 28.0"},
      {"Hartmann_et_al._2003_Stroop_incongruent_congruent_3", {44, 16, 26}, "44.0 16.0 26.0"},
      {"Hartmann_et_al._2003_Stroop_incongruent_congruent_4", {-30, -58, 44}, "-30.0 -58.0 44.0"},
      {"Brandt_and_Ito_2005_colour-word_Stroop_1", {-2, 12, 44}, "-2.0 12.0 44.0"},
      {"Brandt_and_Ito_2005_colour-word_Stroop_2", {-44, 8, 30}, "-44.0 8.0 30.0"}}},
    // A PDF copy: typographic minus signs and footnote marks on the numbers.
    {"pdf_copy_footnotes.txt",
     Space::kMni,
     "table",
     Space::kMni,
     {{"Inferior_frontal_gyrus_L", {-48, 28, 4}, "-45.4 24.2 9.4"},
      {"Middle_frontal_gyrus_L", {-42, 20, 34}, "-40.2 14.1 35.6"},
      {"Superior_parietal_lobule_R", {30, -62, 52}, "26.0 -64.2 45.5"},
      {"Precuneus_L", {-8, -66, 44}, "-9.1 -67.0 37.4"},
      {"Insula_R", {36, 22, -2}, "32.4 18.7 4.8"}}},
    // MNI and Talairach column groups: the authors' Talairach ones without --space ...
    {"dual_mni_tal.txt",
     std::nullopt,
     "table",
     Space::kTal,
     {{"Amygdala_L", {-21, -6, -13}, "-21.0 -6.0 -13.0"},
      {"Fusiform_gyrus_R", {42, -51, -14}, "42.0 -51.0 -14.0"},
      {"Anterior_insula_R", {32, 21, 3}, "32.0 21.0 3.0"},
      {"Precentral_gyrus_L", {-37, -27, 52}, "-37.0 -27.0 52.0"},
      {"Thalamus_L", {-10, -19, 10}, "-10.0 -19.0 10.0"}}},
    // ... and the MNI ones, converted, with --space mni.
    {"dual_mni_tal.txt",
     Space::kMni,
     "table",
     Space::kMni,
     {{"Amygdala_L", {-22, -6, -18}, "-21.2 -5.7 -12.8"},
      {"Fusiform_gyrus_R", {42, -52, -20}, "38.0 -48.7 -17.7"},
      {"Anterior_insula_R", {36, 24, -4}, "32.4 20.8 3.2"},
      {"Precentral_gyrus_L", {-38, -22, 56}, "-36.9 -27.0 51.5"},
      {"Thalamus_L", {-10, -18, 8}, "-10.4 -19.2 9.5"}}},
    // An unlabelled Z column after x, y, z in every row.
    {"short_header.txt",
     Space::kMni,
     "table",
     Space::kMni,
     {{"Left_inferior_frontal_gyrus", {-48, 28, 4}, "-45.4 24.2 9.4"},
      {"Right_inferior_frontal_gyrus", {50, 30, 2}, "45.3 25.8 9.3"},
      {"Left_superior_parietal_lobule", {-30, -60, 50}, "-29.5 -61.9 43.0"},
      {"Anterior_cingulate_cortex", {4, 24, 30}, "2.4 18.0 33.0"}}},
    {"empty_last_header_cell.tsv", std::nullopt, "table", Space::kTal, kFourRegions},
    // Semicolons and decimal commas, with Excel's byte-order mark and CR LF.
    {"european.csv",
     std::nullopt,
     "table",
     Space::kTal,
     {{"Gyrus_temporalis_superior_L", {-52.5, -22, 6.5}, "-52.5 -22.0 6.5"},
      {"Gyrus_temporalis_superior_R", {56, -18.5, 4}, "56.0 -18.5 4.0"},
      {"Gyrus_frontalis_inferior_L", {-46, 16.5, 22}, "-46.0 16.5 22.0"},
      {"Gyrus_cinguli_anterior_R", {6, 28, 24.5}, "6.0 28.0 24.5"}}},
    // Two peaks on one line of prose, one with axis names, one in the next sentence.
    {"results_paragraph.txt",
     Space::kMni,
     "table",
     Space::kMni,
     {{"left_inferior_frontal_gyrus", {-48, 28, 4}, "-45.4 24.2 9.4"},
      {"right_inferior_frontal_gyrus", {50, 30, 2}, "45.3 25.8 9.3"},
      {"left_superior_parietal_lobule", {-30, -60, 50}, "-29.5 -61.9 43.0"},
      {"anterior_cingulate_cortex", {4, 24, 30}, "2.4 18.0 33.0"}}},
    {"plain_whitespace.txt",
     std::nullopt,
     "table",
     Space::kTal,
     {{"Left_precentral", {-38, -22, 56}, "-38.0 -22.0 56.0"},
      {"Right_precentral", {40, -20, 58}, "40.0 -20.0 58.0"},
      {"SMA", {-4, -10, 52}, "-4.0 -10.0 52.0"},
      {"Left_cerebellum_VI", {-26, -62, -24}, "-26.0 -62.0 -24.0"},
      {"Right_cerebellum_VI", {24, -62, -26}, "24.0 -62.0 -26.0"}}},
    // Excel's "Unicode text": UTF-16 LE, tab-separated.
    {"excel_unicode.txt",
     std::nullopt,
     "table",
     Space::kTal,
     {{"Left_hippocampus", {-26, -20, -14}, "-26.0 -20.0 -14.0"},
      {"Right_hippocampus", {28, -18, -14}, "28.0 -18.0 -14.0"},
      {"Posterior_cingulate", {-4, -52, 28}, "-4.0 -52.0 28.0"}}},
};

TEST(TableSuite, EveryIntendedPeakAtItsCentreAndNoOther) {
    int intended = 0, right = 0;
    for (const SuiteCase& c : kSuite) {
        SCOPED_TRACE(c.file);
        voikit::ImportSettings settings;
        settings.space = c.space;
        const voikit::ImportResult result =
            voikit::importTable(readFile(std::string(TABLES_DIR) + "/" + c.file), settings);
        EXPECT_EQ(result.layout, c.layout);
        ASSERT_EQ(result.peaks.size(), c.peaks.size()) << result.list;
        EXPECT_EQ(result.dropped, c.dropped);
        for (std::size_t i = 0; i < c.peaks.size(); ++i) {
            const voikit::AcceptedPeak& peak = result.peaks[i];
            const Intended& want = c.peaks[i];
            ++intended;
            EXPECT_EQ(peak.name, want.name);
            EXPECT_EQ(peak.written, c.written) << want.name;
            EXPECT_EQ(peak.writings[0].second, want.written) << want.name;
            EXPECT_EQ(centre(peak.values), want.tal) << want.name;
            right += peak.name == want.name && peak.written == c.written &&
                     peak.writings[0].second == want.written && centre(peak.values) == want.tal;
        }
    }
    std::printf("table suite: %d of %d intended peaks right\n", right, intended);
}

TEST(TableSuite, FootersAndVoxelIndicesAreNamedNotLost) {
    voikit::ImportSettings mni;
    mni.space = Space::kMni;
    const auto spm =
        voikit::importTable(readFile(std::string(TABLES_DIR) + "/spm_results_window.txt"), mni);
    // "FWHM = 9.3 9.6 9.1 {mm}; ..." and "Voxel size: 2.0 2.0 2.0 mm mm mm" are the footer,
    // set aside with their numbers named.
    const char* const footers[] = {
        "set aside: footer of the SPM table, not a peak (9.3 9.6 9.1 4.6 4.8 4.5)",
        "set aside: footer of the SPM table, not a peak (2.0 2.0 2.0 95.23)"};
    for (int i = 0; i < 2; ++i) {
        const auto& line = spm.lines[static_cast<std::size_t>(i == 0 ? 20 : 22)];
        EXPECT_EQ(line.kind, voikit::ImportedLine::kIgnored);
        EXPECT_EQ(line.account, footers[i]);
    }
    const auto vox =
        voikit::importTable(readFile(std::string(TABLES_DIR) + "/fsl_cluster_vox.txt"), {});
    EXPECT_EQ(vox.lines[1].account,
              "dropped: voxel indices, not millimetres: FSL's cluster writes \"MAX X (vox)\" "
              "without --mm; run it with --mm for coordinates (cluster3)");
    const auto pdf =
        voikit::importTable(readFile(std::string(TABLES_DIR) + "/pdf_copy_footnotes.txt"), mni);
    EXPECT_NE(pdf.lines[4].account.find("; footnote marks stripped: 4ᵃ"), std::string::npos)
        << pdf.lines[4].account;
    EXPECT_NE(pdf.lines[8].account.find("; footnote marks stripped: -2ᵃ"), std::string::npos)
        << pdf.lines[8].account;
    const auto dual =
        voikit::importTable(readFile(std::string(TABLES_DIR) + "/dual_mni_tal.txt"), {});
    EXPECT_NE(
        dual.lines[4].account.find("; the MNI columns give TAL 38.0 -48.7 -17.7 by spm, 6.0 mm "
                                   "from the Talairach columns' 42.0 -51.0 -14.0"),
        std::string::npos)
        << dual.lines[4].account;
    // Groups that agree within 2 mm say nothing.
    EXPECT_EQ(dual.lines[3].account.find("MNI columns"), std::string::npos)
        << dual.lines[3].account;
}

}  // namespace
