// The importer's reading rules, case by case: what it takes, and what it refuses and why.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "voikit/tables/table_import.h"

namespace {

using voikit::ImportedLine;
using voikit::ImportSettings;
using voikit::Space;

// "name x y z" of each VOI, x y z the TAL centre with one decimal.
std::string vois(const voikit::ImportResult& result) {
    std::string text;
    for (const voikit::AcceptedPeak& peak : result.peaks) {
        char line[400];
        std::snprintf(line, sizeof line, "%s %.1f %.1f %.1f\n", peak.name.c_str(),
                      static_cast<double>(peak.values.x), static_cast<double>(peak.values.y),
                      static_cast<double>(peak.values.z));
        text += line;
    }
    return text;
}

// Every account of the import, one per line.
std::string accounts(const voikit::ImportResult& result) {
    std::string text;
    for (const ImportedLine& line : result.lines) {
        text += std::to_string(line.number) + ": " + line.account + "\n";
    }
    return text;
}

ImportSettings inSpace(Space space) {
    ImportSettings settings;
    settings.space = space;
    return settings;
}

TEST(TableLayouts, RowsAreReadByTheHeaderOrRefusedNeverShifted) {
    const struct {
        const char* what;
        const char* table;
        const char* vois;     // what is taken
        const char* refusal;  // part of the account of a refused row; "" for none
    } cases[] = {
        {"a signed extra number is no part of a name: an unlabelled last column",
         "Region x y z\nLeft IFG -48 28 4 5.21", "Left_IFG -48.0 28.0 4.0\n", ""},
        {"a number after a word that takes one is the name's", "Region x y z\nArea 44 -50 10 8",
         "Area_44 -50.0 10.0 8.0\n", ""},
        {"an unsigned extra number may be the name's or a column's",
         "Region x y z\nIFG 44 -50 10 8", "",
         "dropped: 4 numbers where the header names 3 (x, y, z): the first may belong to the "
         "name, or the last stand in a column the header does not label; refused rather than "
         "shifted"},
        {"every row with one number more: the header leaves its last column unlabelled",
         "Region x y z\nIFG 50 10 8 5.1\nIPS 30 -60 50 4.2",
         "IFG 50.0 10.0 8.0\nIPS 30.0 -60.0 50.0\n", ""},
        {"a blank count before x, read from the right",
         "Region BA x y z\nIFG 45 -48 28 4\nIFG -52 12 18",
         "IFG -48.0 28.0 4.0\nIFG -52.0 12.0 18.0\n", ""},
        {"a blank cell before x or after z that cannot be told apart",
         "Region k x y z Z\nIFG 312 -48 28 4", "",
         "dropped: 4 numbers where the header names 5 (k, x, y, z, z): a cell before x or after "
         "z is empty, and which one cannot be told; refused rather than shifted"},
        {"a signed first number fills no count column: the count is the blank one",
         "Region k x y z Z\nIFG -48 28 4 5.1", "IFG -48.0 28.0 4.0\n", ""},
        {"a tab-separated row matched cell by cell, empty cells in place",
         "Region\tHemisphere\tBA\tx\ty\tz\nIFG\t\t\t-48\t28\t4", "IFG -48.0 28.0 4.0\n", ""},
        {"text where the header has x", "Region\tx\ty\tz\nL\tIFG\t-48\t28", "",
         "dropped: column 2 (x) holds \"IFG\", not a number"},
        {"an empty y", "Region\tx\ty\tz\nIFG\t-48\t\t4", "", "dropped: column 3 (y) is empty"},
        {"cells beyond the header", "Region\tx\ty\tz\nIFG\t-48\t28\t4\t5.21\t312",
         "IFG -48.0 28.0 4.0\n", "2 cells beyond the header's columns ignored"},
        {"quoted CSV cells", "Region,x,y,z\n\"Gyrus, left\",-48,28,4\n",
         "Gyrus_left -48.0 28.0 4.0\n", ""},
        {"x, y and z in one cell", "Region\tMNI (x, y, z)\tZ\nIFG\t-48, 28, 4\t5.2",
         "IFG -45.4 24.2 9.4\n", ""},
        {"groups of columns that are no spaces are peaks of their own",
         "Region\tLeft\t\t\tRight\n\tx\ty\tz\tx\ty\tz\nAmygdala\t-22\t-6\t-18\t24\t-4\t-18",
         "Amygdala_Left -22.0 -6.0 -18.0\nAmygdala_Right 24.0 -4.0 -18.0\n", ""},
        {"a header naming the space beside its axes", "Region x_MNI y_MNI z_MNI\nIFG -48 28 4",
         "IFG -45.4 24.2 9.4\n", ""},
        {"headings of two words over x y z place BA and k before them, MNI over them",
         "Brain region Side BA Cluster size MNI coordinates t-value\nx y z\n"
         "Inferior frontal gyrus L 44 62 -48 12 22 4.65",
         "Inferior_frontal_gyrus_L -45.7 7.7 24.1\n", ""},
        {"headings above that name columns before the coordinates and cannot be placed",
         "Region BA k MNI coordinates Zmax\nx y z\nIFG 44 62 -48 12 22 4.65\n"
         "Insula 13 35 -30 20 -4 4.02",
         "",
         "dropped: 6 numbers where the header names 3 (x, y, z), and the line above names "
         "columns before the coordinates (BA k): which of them are x, y and z cannot be told; "
         "refused rather than shifted"},
        {"digits grouped by commas in a count column are thousands",
         "Region Side BA Cluster size MNI coordinates T\nx y z\nACC R 32 1,126 6 24 38 7.12",
         "ACC_R 4.1 17.3 40.2\n", ""},
        {"rows under column names at blanks without x, y or z are no peaks",
         "Patients Controls p\nAge, years 34.2 33.8 0.71\nEducation, years 14.1 15.2 0.09", "",
         "dropped: a row under line 1, whose column names (\"Patients Controls p\") hold no x, y "
         "or z: no peak"},
        {"column names numbered as runs: their numbers name columns, the rows are no peaks",
         "ROI Run 1 Run 2 Run 3\nLeft amygdala 0.42 0.51 0.38\nvmPFC -0.12 -0.08 -0.15", "",
         "1: set aside: column names without x, y or z; their numbers number the columns (1 2 3)\n"
         "2: dropped: a row under line 1"},
        {"a title of a few words over whole signed numbers: the rows are coordinates",
         "Main effect conflict\nIFG -48 28 4\nIPS 30 -60 50",
         "IFG -48.0 28.0 4.0\nIPS 30.0 -60.0 50.0\n", ""},
        {"digits grouped by commas in a column of no count stay ambiguous",
         "Region BA k MNI coordinates T\nx y z\nACC 1,126 32 6 24 38 7.12", "",
         "dropped: ambiguous decimal comma: \"1,126\" may be one number or two"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const voikit::ImportResult result = voikit::importTable(c.table, ImportSettings{});
        EXPECT_EQ(vois(result), c.vois) << accounts(result);
        if (*c.refusal) {
            EXPECT_NE(accounts(result).find(c.refusal), std::string::npos) << accounts(result);
        } else {
            EXPECT_EQ(result.dropped, 0) << accounts(result);
        }
    }
}

// A count whose thousands a blank parts, as PDF copies leave a thin space ("1 842"), is one
// number where the header names a count column there and no other reading of the row could
// place x, y and z elsewhere; a row that could be read otherwise is refused as before.
TEST(TableLayouts, ThousandsPartedByABlankInACountColumn) {
    const struct {
        const char* what;
        const char* table;
        const char* vois;
        const char* account;  // part of the row's account
    } cases[] = {
        {"a count before x: its digits after the blank could not be x",
         "Region Side k x y z t\nMFG L 1 842 -40 32 26 7.82", "MFG_L -40.0 32.0 26.0\n",
         "\"1 842\" read as 1842 in a count column, its blank a thousands separator"},
        {"every row's count parted so: no column is left unlabelled",
         "Region Side k x y z t\nMFG L 1 842 -40 32 26 7.82\nIPL R 1 506 38 -52 44 7.11",
         "MFG_L -40.0 32.0 26.0\nIPL_R 38.0 -52.0 44.0\n", "\"1 506\" read as 1506"},
        {"a count before a probability, which no three digits can be",
         "Region Side k pFWE x y z T\nMFG R 1 204 0.001 40 34 30 7.12", "MFG_R 40.0 34.0 30.0\n",
         "\"1 204\" read as 1204"},
        {"a volume after z, its first number right after the side",
         "Region Side x y z Z Volume (mm3)\nPHG R 26 -30 -14 4.97 1 224",
         "PHG_R 26.0 -30.0 -14.0\n", "\"1 224\" read as 1224"},
        {"a volume after z whose row's first number may be the name's",
         "Region x y z Z Volume (mm3)\nPHG 26 -30 -14 4.97 1 224", "",
         "dropped: 6 numbers where the header names 5"},
        {"a count before another count, which could hold the digits after the blank",
         "Region k Volume x y z Z\nIFG 100 800 -30 -4 56 5.1 0.001", "",
         "dropped: 7 numbers where the header names 6"},
        {"no count column where the pair stands", "Region BA x y z Z\nIFG 44 312 -48 28 4 5.1", "",
         "dropped: 6 numbers where the header names 5"},
        {"narrow no-break spaces in a count and a statistic, as typesetting parts thousands",
         "Region Side k TFCE x y z\nHippocampus L 1\u202F811 2\u202F304.5 -27 -16 -15",
         "Hippocampus_L -27.0 -16.0 -15.0\n", "VOI 1"},
        {"thin spaces that also part other cells part every cell",
         "Region x y z k\nIFG\u20094\u200914\u200952\u2009312", "IFG 4.0 14.0 52.0\n",
         "as written: TAL 4 14 52"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const voikit::ImportResult result = voikit::importTable(c.table, inSpace(Space::kTal));
        EXPECT_EQ(vois(result), c.vois) << accounts(result);
        EXPECT_NE(accounts(result).find(c.account), std::string::npos) << accounts(result);
    }
}

// A probability in scientific notation, as papers print it and PDF copies flatten its
// superscript, is one number in whatever form it comes, so that it fills one column.
TEST(TableLayouts, ScientificNotationIsOneNumber) {
    for (const char* p : {"3.2 \u00D7 10\u22125", "3.2 \u00D7 10^-5", "3.2\u00D710-5", "3.2e-05",
                          "3.2E\u22125", "3.2 x 10\u207B\u2075", "3.2\u00B710^-5"}) {
        SCOPED_TRACE(p);
        const voikit::ImportResult result = voikit::importTable(
            std::string("Region k pFWE x y z T\nMFG 412 ") + p + " 40 34 30 7.12",
            inSpace(Space::kTal));
        EXPECT_EQ(vois(result), "MFG 40.0 34.0 30.0\n") << accounts(result);
        EXPECT_EQ(result.dropped, 0) << accounts(result);
    }
    // A power of ten without its exponent's sign cannot be told from two numbers.
    const voikit::ImportResult unsure = voikit::importTable(
        "Region k pFWE x y z T\nMFG 412 3.2 \u00D7 105 40 34 30 7.12", inSpace(Space::kTal));
    EXPECT_EQ(vois(unsure), "") << accounts(unsure);
    // With the count's thousands parted by a blank, as the PDF copy prints both.
    const voikit::ImportResult both = voikit::importTable(
        "Region Side k pFWE x y z T\nMFG R 1 204 3.2 \u00D7 10\u22125 40 34 30 7.12",
        inSpace(Space::kTal));
    EXPECT_EQ(vois(both), "MFG_R 40.0 34.0 30.0\n") << accounts(both);
}

// A row whose x is written "±34", as journals print homologous peaks once, is a peak on each
// side, named as the prose reader names them; a sign that cannot be told is refused.
TEST(TableLayouts, APlusMinusXInARowIsAPeakOnEachSide) {
    const struct {
        const char* what;
        const char* table;
        const char* vois;
        const char* account;  // part of the accounts
    } cases[] = {
        {"x written with a plus-minus sign",
         "Region BA x y z Z\nAnterior insula 13 \u00B134 20 \u22124 6.12\nPrecuneus 7 -4 -62 44 "
         "4.71",
         "Anterior_insula_R 34.0 20.0 -4.0\nAnterior_insula_L -34.0 20.0 -4.0\n"
         "Precuneus -4.0 -62.0 44.0\n",
         "as written: TAL \u00B134 20 -4 (x = -34: left)"},
        {"a plus-minus sign before z", "Region x y z\nInsula 34 20 \u00B14", "",
         "dropped: \"\u00B14\" stands before y or z: which peaks it writes cannot be told"},
        {"a plus-minus x in a row whose side column names one side",
         "Region Side x y z\nInsula L \u00B134 20 -4", "",
         "dropped: \"\u00B134\" writes a peak on each side, but the side column says L"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const voikit::ImportResult result = voikit::importTable(c.table, inSpace(Space::kTal));
        EXPECT_EQ(vois(result), c.vois) << accounts(result);
        EXPECT_NE(accounts(result).find(c.account), std::string::npos) << accounts(result);
    }
}

TEST(TableLayouts, FootnoteMarksAreStrippedAndNamed) {
    const struct {
        const char* row;
        const char* vois;
        const char* stripped;
    } cases[] = {
        {"IFG −2ᵃ 20ᵇ 34", "IFG -2.0 20.0 34.0\n", "footnote marks stripped: -2ᵃ, 20ᵇ"},
        {"IFG 34* 12† -8‡", "IFG 34.0 12.0 -8.0\n", "footnote marks stripped: 34*, 12†, -8‡"},
        {"IFG -48¹ 28 4", "IFG -48.0 28.0 4.0\n", "footnote marks stripped: -48¹"},
        // Letters after the digits, as a PDF copy leaves superscripts, where no name holds them.
        {"IFG -48a 28b 4", "IFG -48.0 28.0 4.0\n", "footnote marks stripped: -48a, 28b"},
        {"Area 4a -30 -20 60", "Area_4a -30.0 -20.0 60.0\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        const voikit::ImportResult result = voikit::importTable(c.row, ImportSettings{});
        EXPECT_EQ(vois(result), c.vois);
        ASSERT_EQ(result.lines.size(), 1u);
        if (*c.stripped) {
            EXPECT_NE(result.lines[0].account.find(c.stripped), std::string::npos)
                << result.lines[0].account;
        } else {
            EXPECT_EQ(result.lines[0].account.find("footnote"), std::string::npos);
        }
    }
}

// Characters that copies from PDFs and documents leave for signs and punctuation are read for
// what they write where that is certain, and a row is refused, naming the character, where
// it is not.
TEST(TableLayouts, CharactersOfCopiesAreReadForWhatTheyWrite) {
    const struct {
        const char* what;
        const char* table;
        const char* vois;
        const char* refusal;  // part of the account of a refused row; "" for none
    } cases[] = {
        {"the Symbol font's minus before digits", "Region x y z\nIPL \uF02D46 \uF02D66 34",
         "IPL -46.0 -66.0 34.0\n", ""},
        {"heavy, small, full-width and modifier-letter minus signs",
         "Region x y z\nIPL \u279646 \uFE6366 \uFF0D4\nSMA \u02D74 14 52",
         "IPL -46.0 -66.0 -4.0\nSMA -4.0 14.0 52.0\n", ""},
        {"the Symbol font's minus inside a word stays as written",
         "Region x y z\nPre\uF02DSMA 4 14 52", "Pre\uF02DSMA 4.0 14.0 52.0\n", ""},
        {"a letter where a minus sign would stand is not guessed",
         "Region BA x y z Z\nPosterior insula 13 \u00C038 \u00C018 16 6.02", "",
         "dropped: a letter stands where a number's sign would: \u00C038 \u00C018 (a PDF copy may "
         "have turned each minus sign into \"\u00C0\"); refused rather than read as a sign"},
        {"a font's private character where a sign would stand, without a header",
         "Thalamus \uF0B112 \uF0B118 6", "",
         "dropped: the character U+F0B1 stands where a number's sign would: \uF0B112 \uF0B118"},
        {"a letter before digits in a name is no sign", "Region x y z\n\u00C91 area -4 14 52",
         "\u00C91_area -4.0 14.0 52.0\n", ""},
        {"full-width digits, full stop and minus signs in a row split at blanks",
         "Region x y z\nIPL \uFF0D\uFF14\uFF16 \uFF16\uFF16 \uFF13\uFF14\uFF0E\uFF15",
         "IPL -46.0 66.0 34.5\n", ""},
        {"full-width brackets and commas write a triple in prose",
         "\u5DE6\u4FA7\u989D\u4E0B\u56DE\uFF08\uFF0D48\uFF0C28\uFF0C4\uFF09",
         "\u5DE6\u4FA7\u989D\u4E0B\u56DE -48.0 28.0 4.0\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const voikit::ImportResult result = voikit::importTable(c.table, inSpace(Space::kTal));
        EXPECT_EQ(vois(result), c.vois) << accounts(result);
        if (*c.refusal) {
            EXPECT_NE(accounts(result).find(c.refusal), std::string::npos) << accounts(result);
        } else {
            EXPECT_EQ(result.dropped, 0) << accounts(result);
        }
    }
    // A heading in Chinese with full-width brackets and commas ("MNI坐标（x，y，z）": MNI
    // coordinates) heads x, y and z in MNI, and its cells hold a bracketed triple each.
    const voikit::ImportResult chinese = voikit::importTable(
        "\u8111\u533A\tMNI\u5750\u6807\uFF08x\uFF0Cy\uFF0Cz\uFF09\tt\u503C\n"
        "\u6954\u524D\u53F6\t\uFF08\uFF0D6\uFF0C\uFF0D64\uFF0C44\uFF09\t4.73\n",
        ImportSettings{});
    ASSERT_EQ(chinese.peaks.size(), 1u) << accounts(chinese);
    EXPECT_EQ(chinese.peaks[0].written, Space::kMni) << accounts(chinese);
    EXPECT_NE(accounts(chinese).find("as written: MNI -6 -64 44"), std::string::npos)
        << accounts(chinese);
}

TEST(TableLayouts, PeaksOfAResultsParagraph) {
    const voikit::ImportResult result = voikit::importTable(
        "Peaks lay in the left IFG (BA 45; -48, 28, 4), the right IFG (x, y, z = 50, 30, 2) and "
        "the precuneus (x = -8, y = -66, z = 44; Z = 4.3), F(1, 23) = 3.41.\n"
        "The effect was reliable, F(1, 23) = 3.41, p = 0.002.\n",
        inSpace(Space::kTal));
    EXPECT_EQ(vois(result), "right_IFG 50.0 30.0 2.0\nprecuneus -8.0 -66.0 44.0\n");
    ASSERT_EQ(result.lines.size(), 4u);
    EXPECT_EQ(result.lines[0].account,
              "dropped: 4 numbers in one bracket: which three are x, y and z cannot be told "
              "(left_IFG)");
    EXPECT_EQ(result.lines[1].number, 1);
    EXPECT_EQ(result.lines[2].number, 1);
    // A statistic in brackets is no peak: set aside, its numbers named.
    EXPECT_EQ(result.lines[3].kind, ImportedLine::kIgnored);
    EXPECT_EQ(result.lines[3].account,
              "set aside: its numbers (1 23 3.41) are statistics' values or stand in "
              "brackets, not x, y and z");
    EXPECT_EQ(result.summary(), "2 VOIs from 2 lines; 1 of 3 peaks dropped");

    // "±34" writes a peak on each side; "mm" may follow each value named by its axis.
    const voikit::ImportResult notations = voikit::importTable(
        "Errors engaged the anterior insula (\u00B134, 22, -2). The pre-SMA peak lay at x = 4 mm, "
        "y = 14 mm, z = 52 mm (k = 412 voxels, Z = 5.88).\n",
        inSpace(Space::kTal));
    EXPECT_EQ(vois(notations),
              "anterior_insula_R 34.0 22.0 -2.0\nanterior_insula_L -34.0 22.0 -2.0\n"
              "VOI_3 4.0 14.0 52.0\n");
    EXPECT_NE(notations.lines[1].account.find("as written: TAL \u00B134 22 -2 (x = -34: left)"),
              std::string::npos)
        << notations.lines[1].account;
    EXPECT_EQ(notations.dropped, 0);
    // A sign before z cannot be told, and numbers that may write a peak in a notation not
    // read are named: never left without a word on a line that made VOIs.
    const voikit::ImportResult unread = voikit::importTable(
        "the insula (34, 22, \u00B12) and the IFG (-48, 28, 4), the SMA at 4 mm, 14 mm, 52 mm.\n",
        inSpace(Space::kTal));
    EXPECT_EQ(vois(unread), "IFG -48.0 28.0 4.0\n");
    EXPECT_EQ(unread.lines[0].account,
              "dropped: \"\u00B12\" stands before y or z: which peaks it writes cannot be told "
              "(insula)");
    EXPECT_EQ(unread.lines[2].account,
              "dropped: 3 numbers (4 14 52) that may write a peak stand in no notation read here; "
              "refused rather than guessed");
}

TEST(TableLayouts, TheSpaceIsGivenInWordsNeverGuessedFromOne) {
    // A title that says the coordinates are in MNI gives the table's space ...
    voikit::ImportResult r =
        voikit::importTable("Peaks in MNI space\nRegion x y z\nIFG -48 28 4", ImportSettings{});
    EXPECT_EQ(vois(r), "IFG -45.4 24.2 9.4\n");
    EXPECT_EQ(r.lines[0].account,
              "no coordinates; says the coordinates are in MNI: the table's space");
    // ... as do "MNI coordinates", "(Talairach)", and the space they were converted to.
    for (const char* title :
         {"Table 2. MNI coordinates of the peaks", "Coordinates are MNI152.", "Peaks (MNI)",
          "Coordinates were converted from Talairach to MNI space (Lancaster, 2007)."}) {
        EXPECT_EQ(vois(voikit::importTable(std::string(title) + "\nRegion x y z\nIFG -48 28 4",
                                           ImportSettings{})),
                  "IFG -45.4 24.2 9.4\n")
            << title;
    }
    EXPECT_EQ(vois(voikit::importTable("Converted from MNI to Talairach space.\nRegion x y z\n"
                                       "IFG -48 28 4",
                                       ImportSettings{})),
              "IFG -48.0 28.0 4.0\n");
    // A title that only names MNI, or lines that state both spaces, give none: the rows are
    // refused, not taken for TAL; --space decides.
    for (const char* title : {"Images were normalised to the MNI template",
                              "MNI coordinates here, Talairach coordinates in Table S2"}) {
        r = voikit::importTable(std::string(title) + "\n\nRegion x y z\nIFG -48 28 4",
                                ImportSettings{});
        EXPECT_EQ(vois(r), "") << title;
        ASSERT_EQ(r.lines.size(), 4u);
        EXPECT_EQ(r.lines[3].kind, ImportedLine::kDropped);
        EXPECT_EQ(r.lines[3].account,
                  "dropped: the table mentions MNI, but neither --space, a \"// Reference=\" "
                  "line nor a column heading says which space its coordinates are in: give "
                  "--space mni, or --space tal for Talairach coordinates (IFG)");
    }
    EXPECT_EQ(vois(voikit::importTable("Peaks in MNI space\nRegion x y z\nIFG -48 28 4",
                                       inSpace(Space::kTal))),
              "IFG -48.0 28.0 4.0\n");
    EXPECT_EQ(vois(voikit::importTable("Peaks in MNI space\nRegion x y z\nIFG -48 28 4",
                                       inSpace(Space::kMni))),
              "IFG -45.4 24.2 9.4\n");
    // A table that names no space is TAL by default, with a note.
    r = voikit::importTable("Region x y z\nIFG -48 28 4", ImportSettings{});
    EXPECT_EQ(vois(r), "IFG -48.0 28.0 4.0\n");
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_NE(r.notes[0].find("taken as TAL"), std::string::npos);
    // A column heading gives it ...
    r = voikit::importTable("Region\tMNI x\tMNI y\tMNI z\nIFG\t-48\t28\t4", ImportSettings{});
    EXPECT_EQ(vois(r), "IFG -45.4 24.2 9.4\n");
    EXPECT_TRUE(r.notes.empty());
    // ... and --space may not contradict it.
    r = voikit::importTable("Region\tMNI x\tMNI y\tMNI z\nIFG\t-48\t28\t4", inSpace(Space::kTal));
    EXPECT_EQ(r.spaceConflict,
              "--space tal, but the table gives MNI coordinates (line 1: the column heading "
              "\"MNI x\"); leave --space out to take the table's, or correct the table");
    EXPECT_TRUE(r.lines.empty());
    EXPECT_TRUE(r.list.empty());
    r = voikit::importTable("// Reference=Talairach\n// Study\n// Subjects=9\n1 2 3\n",
                            inSpace(Space::kMni));
    EXPECT_EQ(r.spaceConflict,
              "--space mni, but the table gives TAL coordinates (line 1: // "
              "Reference=Talairach); leave --space out to take the table's, or correct the table");
    // Column groups in both spaces: --space picks one, and contradicts nothing.
    const char* dual = "Region MNI x y z Talairach x y z\nIFG -48 28 4 -45 24 9";
    EXPECT_EQ(vois(voikit::importTable(dual, inSpace(Space::kMni))), "IFG -45.4 24.2 9.4\n");
    EXPECT_EQ(vois(voikit::importTable(dual, inSpace(Space::kTal))), "IFG -45.0 24.0 9.0\n");
    EXPECT_EQ(vois(voikit::importTable(dual, ImportSettings{})), "IFG -45.0 24.0 9.0\n");
}

TEST(TableLayouts, ProgramOutputsByTheirOwnRules) {
    const struct {
        const char* what;
        const char* table;
        const char* layout;
        const char* vois;
        int dropped;
    } cases[] = {
        {"FSL's local maxima in mm",
         "Cluster Index\tValue\tx\ty\tz\t\n2\t5.6\t-30\t40\t20\t\n2\t4.1\t-26\t46\t12\t\n",
         "FSL cluster table", "cluster2_max1 -30.0 40.0 20.0\ncluster2_max2 -26.0 46.0 12.0\n", 0},
        // Without a unit and without a negative coordinate these are voxel indices.
        {"FSL's local maxima in voxels", "Cluster Index\tValue\tx\ty\tz\t\n2\t5.6\t30\t40\t20\t\n",
         "FSL cluster table", "", 1},
        {"3dclust without an order line: its column names say RL, AP, IS",
         "#Volume  CM RL  CM AP  CM IS  MI RL  MI AP  MI IS\n  40  10.0  20.0  5.0  12.0  22.0  "
         "6.0\n",
         "AFNI 3dclust report", "cluster1 -12.0 -22.0 6.0\n", 0},
        {"3dclust with centres of mass only",
         "#[Coordinates Order   = LPI ]\n#Volume  CM RL  CM AP  CM IS\n  40  10.0  20.0  5.0\n",
         "AFNI 3dclust report", "cluster1 10.0 20.0 5.0\n", 0},
        {"3dclust rows that do not fill the heading",
         "#Volume  CM RL  CM AP  CM IS  MI RL  MI AP  MI IS\n  40  10.0  20.0  5.0\n",
         "AFNI 3dclust report", "", 1},
        {"SPM prints Inf for a statistic it cannot compute",
         "set-level\tcluster-level\tpeak-level\n0.000\t2\t0.000\t0.000\t900\t0.000\t0.000\t0."
         "000\tInf\tInf\t0.000\t-4 -52 28\n",
         "SPM results table", "cluster1_peak1 -4.0 -52.0 28.0\n", 0},
        {"a foci file with experiments one after the other",
         "// Reference=Talairach\n// A\n// Subjects=10\n1 2 3\n// B\n// Subjects=12\n4 5 6 9\n",
         "GingerALE foci file", "A_1 1.0 2.0 3.0\n", 1},
        // An index no whole number holds, or a fraction, names its cluster as written.
        {"FSL's local maxima with odd indices",
         "Cluster Index\tValue\tx\ty\tz\t\n1e32\t5.6\t-30\t40\t20\t\n2.5\t4.1\t-26\t46\t12\t\n",
         "FSL cluster table", "cluster1e32_max1 -30.0 40.0 20.0\ncluster2.5_max1 -26.0 46.0 12.0\n",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const voikit::ImportResult result = voikit::importTable(c.table, ImportSettings{});
        EXPECT_EQ(result.layout, c.layout);
        EXPECT_EQ(vois(result), c.vois) << accounts(result);
        EXPECT_EQ(result.dropped, c.dropped) << accounts(result);
    }
    const voikit::ImportResult cm = voikit::importTable(cases[3].table, ImportSettings{});
    ASSERT_FALSE(cm.notes.empty());
    EXPECT_EQ(cm.notes[0],
              "3dclust's report has no MI (peak) columns: the centres of mass (CM) are taken");
    const voikit::ImportResult foci = voikit::importTable(cases[6].table, ImportSettings{});
    ASSERT_EQ(foci.experiments.size(), 2u);
    EXPECT_EQ(foci.experiments[1].name, "B");
    EXPECT_EQ(foci.experiments[1].subjects, 12);
}

TEST(TableLayouts, WhatIsNoTextIsRefusedInOneLine) {
    std::mt19937 random(20);
    std::string bytes(1 << 20, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    const voikit::ImportResult binary = voikit::importTable(bytes, ImportSettings{});
    EXPECT_EQ(binary.notText.rfind("not text: ", 0), 0u) << binary.notText;
    EXPECT_EQ(binary.notText.find('\n'), std::string::npos);
    EXPECT_TRUE(binary.lines.empty());
    EXPECT_TRUE(binary.list.empty());
    // UTF-16 without a byte-order mark is judged after decoding: text.
    std::string utf16;
    for (char c : std::string("IFG -48 28 4\n")) utf16 += std::string{c, '\0'};
    const voikit::ImportResult text = voikit::importTable(utf16, ImportSettings{});
    EXPECT_TRUE(text.notText.empty());
    EXPECT_EQ(text.encoding, "UTF-16 LE without byte-order mark");
    EXPECT_EQ(vois(text), "IFG -48.0 28.0 4.0\n");
    // A stray control character does not make a table binary.
    EXPECT_EQ(vois(voikit::importTable("IFG -48 28 4\x01\nIPS -30 -60 50\nSMA 0 0 60\n", {})),
              "IFG -48.0 28.0 4.0\nIPS -30.0 -60.0 50.0\nSMA 0.0 0.0 60.0\n");
}

TEST(TableLayouts, OverlappingSpheresAreNamed) {
    ImportSettings settings;
    settings.radius = 5;
    const voikit::ImportResult r = voikit::importTable("A 0 0 0\nB 0 0 9.9\nC 0 0 20\n", settings);
    // A and B lie 9.9 mm apart, closer than 5 + 5; B and C 10.1 mm apart.
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0],
              "VOI 1 A and VOI 2 B overlap: centres 9.9 mm apart, radii 5.0 + 5.0 mm");
}

}  // namespace
