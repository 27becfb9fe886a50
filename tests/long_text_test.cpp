// Header strings and VOI names run up to a line of 1 MiB in a .voi file. Every table the
// toolbox makes of them shows them whole, in columns whose widths count bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/voi_file_loading.h"
#include "tests/support/vois_in_memory.h"
#include "tests/test_files.h"
#include "voi/voi_reader.h"
#include "voikit/outputs/label_volume.h"
#include "voikit/outputs/voi_info.h"
#include "voikit/outputs/voi_report.h"
#include "voikit/voxels/voi_statistics.h"

namespace {

using namespace voikit;

// Longer than any line buffer the tables were once printed into.
const std::string kSpace = "TAL_" + std::string(600, 'r') + "_end";
const std::string kConvention = "<SUBJ>_<VOI>_" + std::string(2000, 'c') + "_end";
const std::string kLongName = "VOI_" + std::string(700, 'n') + "_end";
const std::string kAccented = "Am\xC3\xADgdala";  // 9 bytes, 8 characters

std::string voiText() {
    return "\r\nFileVersion:                4\r\n\r\nReferenceSpace:             " + kSpace +
           "\r\n\r\n"
           "OriginalVMRResolutionX:     1\r\nOriginalVMRResolutionY:     1\r\n"
           "OriginalVMRResolutionZ:     1\r\nOriginalVMROffsetX:         0\r\n"
           "OriginalVMROffsetY:         0\r\nOriginalVMROffsetZ:         -3\r\n"
           "OriginalVMRFramingCubeDim:  256\r\n\r\nLeftRightConvention:        1\r\n\r\n"
           "SubjectVOINamingConvention: " +
           kConvention +
           "\r\n\r\n\r\nNrOfvois:                   2\r\n\r\n"
           "NameOfVOI:  " +
           kLongName +
           "\r\nColorOfVOI: 255 0 0\r\n\r\nNrOfVoxels: 2\r\n10 -20 5\r\n10 -20 6\r\n\r\n"
           "NameOfVOI:  " +
           kAccented +
           "\r\nColorOfVOI: 1 2 3\r\n\r\nNrOfVoxels: 1\r\n0 0 0\r\n\r\n"
           "\r\nNrOfVOIVTCs: 0\r\n";
}

std::string blanks(std::size_t count) { return std::string(count, ' '); }

class LongTextTest : public testing::Test {
  protected:
    void SetUp() override { writeFile(voi, voiText()); }
    TempFolder folder;
    const std::string voi = folder.file("long.voi");
};

TEST_F(LongTextTest, InfoShowsTheWholeHeaderAndEveryName) {
    EXPECT_EQ(voiInfo(voi, Log{}),
              voi + ": 2 VOIs, 3 voxels, 0 VTCs\n" + "format version 4, reference space " + kSpace +
                  ", naming convention " + kConvention +
                  "\n"
                  "VMR resolution 1 1 1, offset 0 0 -3, framing cube 256, left-right convention "
                  "1\n\n"
                  "    #  name                      colour         voxels\n"
                  "    1  " +
                  kLongName + " 255 0 0    " + blanks(9) + "2\n" + "    2  " + kAccented +
                  blanks(25 - 9) + " 1 2 3      " + blanks(9) + "1\n");
}

TEST_F(LongTextTest, ReportRowsKeepTheirColumnsAfterALongName) {
    const glomera::VoiFileContents contents = glomera::loadVoiFile(voi);
    const std::string report =
        reportText(voi, contents, computeStatistics(contents), MniToTal::kSpm);
    // The centre in TAL and in MNI, each in a column of 20 bytes.
    const auto mni = [](const Point& tal) {
        const Point p = talToMni(tal, MniToTal::kSpm);
        char text[64];
        std::snprintf(text, sizeof text, "%.1f %.1f %.1f", p[0], p[1], p[2]);
        std::string column = text;
        return column + blanks(20 - column.size());
    };
    const std::string longRow = "    1  " + kLongName + " 255 0 0    " + blanks(9) +
                                "2  10.0 -20.0 5.5" + blanks(6) + "  " + mni({10, -20, 5.5}) +
                                "  10..10 -20..-20 5..6\n";
    const std::string accentedRow = "    2  " + kAccented + blanks(25 - 9) + " 1 2 3      " +
                                    blanks(9) + "1  0.0 0.0 0.0" + blanks(9) + "  " +
                                    mni({0, 0, 0}) + "  0..0 0..0 0..0\n";
    EXPECT_NE(report.find("\n" + longRow + accentedRow + "\nOverlaps: none\n"), std::string::npos)
        << report;
}

TEST_F(LongTextTest, ColourTableHoldsTheWholeName) {
    const glomera::VoiFileContents contents = glomera::loadVoiFile(voi);
    const LabelVolume volume =
        fillLabels(contents, defaultGrid("vois.voi", computeStatistics(contents), 1));
    writeLabelVolume(folder.file("labels.nii"), contents, volume);
    EXPECT_EQ(readFile(folder.file("labels_ColorLUT.txt")),
              "#No. Label Name                                 R   G   B   A\n"
              "0   Unknown                                    0   0   0   0\n"
              "1   " +
                  kLongName + " 255   0   0   0\n" + "2   " + kAccented + blanks(42 - 9) +
                  "   1   2   3   0\n");
    EXPECT_NE(
        readFile(folder.file("labels.tsv")).find("\n1\t" + kLongName + "\t#ff0000\t255\t0\t0\t2\t"),
        std::string::npos);
}

}  // namespace
