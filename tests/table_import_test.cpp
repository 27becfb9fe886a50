#include "voikit/tables/table_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "coordlist/clean_up_text.h"
#include "host/host_operations.h"

namespace {

using voikit::ImportedLine;
using voikit::ImportSettings;

std::string listOf(const std::string& bytes, const ImportSettings& settings = {}) {
    return voikit::importTable(bytes, settings).list;
}

// The plug-in's cleaned line for the values, as the importer must write it.
std::string line(const char* x, const char* y, const char* z, const char* r, const char* name,
                 const char* rgb) {
    char text[512];
    std::snprintf(text, sizeof text, "%7s %7s %7s %7s %25s %s\n", x, y, z, r, name, rgb);
    return text;
}

const char* const kRed = "    255    0    0";
const char* const kPalette1 = "    230   25   75";

TEST(TableImport, PastedForms) {
    const struct {
        const char* what;
        std::string bytes;
        std::string list;
    } cases[] = {
        {"typographic minus",
         "Amygdala L \xe2\x88\x92"
         "22 \xe2\x88\x92"
         "6 \xe2\x88\x92"
         "18",
         line("-22.0", "-6.0", "-18.0", "6.0", "Amygdala_L", kPalette1)},
        {"en dash, hyphen, non-breaking spaces",
         "IPS\xc2\xa0\xe2\x80\x93"
         "40.5\xc2\xa0\xe2\x80\x90"
         "60\xe2\x80\x89"
         "42",
         line("-40.5", "-60.0", "42.0", "6.0", "IPS", kPalette1)},
        {"tabs", "mPFC\t-4\t50\t18", line("-4.0", "50.0", "18.0", "6.0", "mPFC", kPalette1)},
        {"decimal commas in the plug-in's own layout", "-22,5 -6,0 -18,5 6 1 255 0 0",
         line("-22.5", "-6.0", "-18.5", "6.0", "1", kRed)},
        {"decimal commas between semicolons", "(22,5; -6,0; -18,5)",
         line("22.5", "-6.0", "-18.5", "6.0", "VOI_1", kPalette1)},
        {"parentheses", "Insula (36, 24, -4)",
         line("36.0", "24.0", "-4.0", "6.0", "Insula", kPalette1)},
        {"axis names", "x = 12.5, y = -3, z = 40",
         line("12.5", "-3.0", "40.0", "6.0", "VOI_1", kPalette1)},
        {"the plug-in's list", "12,-20.46,5,8,'Amygdala_L',300,-4,128",
         line("12.0", "-20.5", "5.0", "8.0", "Amygdala_L", "    255    0  128")},
        {"byte-order mark",
         "\xef\xbb\xbf"
         "10 10 10",
         line("10.0", "10.0", "10.0", "6.0", "VOI_1", kPalette1)},
        {"UTF-16 LE",
         std::string("\xff\xfe"
                     "1\0 \0"
                     "2\0 \0"
                     "3\0",
                     12),
         line("1.0", "2.0", "3.0", "6.0", "VOI_1", kPalette1)},
        {"UTF-16 BE",
         std::string("\xfe\xff\0"
                     "1\0 \0"
                     "2\0 \0"
                     "3",
                     12),
         line("1.0", "2.0", "3.0", "6.0", "VOI_1", kPalette1)},
        {"Windows-1252 en dash",
         "V1 \x96"
         "10 -90 0",
         line("-10.0", "-90.0", "0.0", "6.0", "V1", kPalette1)},
        {"header, regions of several words, extra columns",
         "Region x y z Z k\nSuperior frontal gyrus -22 -6 -18 4.5 120",
         line("-22.0", "-6.0", "-18.0", "6.0", "Superior_frontal_gyrus", kPalette1)},
        {"header with a column before x",
         "Region BA x y z t\nMiddle frontal gyrus 46 -44 36 20 5.1",
         line("-44.0", "36.0", "20.0", "6.0", "Middle_frontal_gyrus", kPalette1)},
        {"a number in the name where the header has its column",
         "Region BA x y z\nArea 44 -50 10 8\nArea 45 -52 30 4",
         line("-50.0", "10.0", "8.0", "6.0", "Area", kPalette1) +
             line("-52.0", "30.0", "4.0", "6.0", "Area", "     60  180   75")},
        {"tab-separated header with radius and colour",
         "label\tx\ty\tz\tradius\tcolour\nHippocampus L\t-28\t-20\t-14\t4\t0 200 100",
         line("-28.0", "-20.0", "-14.0", "4.0", "Hippocampus_L", "      0  200  100")},
    };
    for (const auto& c : cases) EXPECT_EQ(listOf(c.bytes), c.list) << c.what;
}

TEST(TableImport, EveryLineIsAccountedFor) {
    const voikit::ImportResult result = voikit::importTable(
        "Table 3. Peaks\r\n\r\n# from the supplement\rRegion x y z\r\n"
        "Amygdala -22 -6 -18\nOutside 80 0 0\nTwo numbers 1 2\n-22,5, -6, 3\n-22,5 -6.0 -18\n"
        "Rim 68 0 0",
        ImportSettings{});
    const struct {
        ImportedLine::Kind kind;
        const char* account;
    } expected[] = {
        {ImportedLine::kNoCoordinates, "no coordinates"},
        {ImportedLine::kEmpty, "empty"},
        {ImportedLine::kComment, "comment"},
        {ImportedLine::kHeader, "header: columns: name, x, y, z"},
        {ImportedLine::kVoi,
         "VOI 1 Amygdala at TAL -22.0 -6.0 -18.0, radius 6.0 mm, colour 230 25 75"},
        {ImportedLine::kDropped,
         "dropped: outside the accepted box: x = 80.0 is not within -68..68"},
        {ImportedLine::kNoCoordinates, "no coordinates"},
        {ImportedLine::kDropped,
         "dropped: ambiguous decimal comma: \"-22,5\" may be one number "
         "or two, since commas also separate fields on this line"},
        {ImportedLine::kDropped,
         "dropped: ambiguous decimal comma: \"-22,5\" may be one number "
         "or two, since full stops are decimal points on this line"},
        {ImportedLine::kVoi, "VOI 2 Rim at TAL 68.0 0.0 0.0"},
    };
    ASSERT_EQ(result.lines.size(), std::size(expected));
    for (std::size_t i = 0; i < result.lines.size(); ++i) {
        EXPECT_EQ(result.lines[i].number, static_cast<int>(i + 1));
        EXPECT_EQ(result.lines[i].kind, expected[i].kind) << i + 1;
        EXPECT_EQ(result.lines[i].account.rfind(expected[i].account, 0), 0u)
            << result.lines[i].account;
    }
    EXPECT_EQ(result.vois, 2);
    EXPECT_EQ(result.dropped, 3);
    EXPECT_FALSE(result.complete());
    EXPECT_EQ(result.summary(), "2 VOIs from 10 lines; 3 of 5 peaks dropped");
}

TEST(TableImport, MniCoordinatesBecomeTalBeforeTheBoxIsChecked) {
    ImportSettings mni;
    mni.space = voikit::Space::kMni;
    // Lancaster SPM: (10, 20, 30) is (7.9273, 14.2043, 32.7826) in TAL.
    EXPECT_EQ(listOf("P 10 20 30", mni), line("7.9", "14.2", "32.8", "6.0", "P", kPalette1));
    mni.transform = voikit::MniToTal::kBrett;
    EXPECT_EQ(listOf("P 10 20 -30", mni), line("9.9", "18.1", "-26.1", "6.0", "P", kPalette1));
    // z = -46 is outside the box in MNI but inside once converted; -52 is not.
    mni.transform = voikit::MniToTal::kSpm;
    const auto result = voikit::importTable("Cerebellum 20 -60 -46\nDeep 0 0 -52", mni);
    EXPECT_EQ(result.vois, 1);
    EXPECT_NE(result.lines[0].account.find("; as written: MNI 20 -60 -46"), std::string::npos);
    EXPECT_NE(
        result.lines[1].account.find("z = -42.3 is not within -42..76 (TAL, from MNI 0 0 -52)"),
        std::string::npos)
        << result.lines[1].account;
}

TEST(TableImport, RadiusColourAndNamesFromTheUser) {
    ImportSettings settings;
    settings.radius = 25;  // more than the plug-in takes
    settings.colour = std::array<int, 3>{1, 2, 3};
    const auto result =
        voikit::importTable("A 1 2 3\n" + std::string(300, 'n') + " 4 5 6", settings);
    EXPECT_EQ(result.list, line("1.0", "2.0", "3.0", "20.0", "A", "      1    2    3") +
                               line("4.0", "5.0", "6.0", "20.0", std::string(255, 'n').c_str(),
                                    "      1    2    3"));
    EXPECT_NE(result.lines[0].account.find("radius 25 mm taken as 20.0"), std::string::npos);
    // Without a colour each VOI takes the next one of the palette.
    const std::string list = listOf("10 10 10\n20 20 20\n30 30 30");
    EXPECT_NE(list.find("230   25   75"), std::string::npos);
    EXPECT_NE(list.find("60  180   75"), std::string::npos);
    EXPECT_NE(list.find("255  225   25"), std::string::npos);
}

TEST(TableImport, ThePlugInKeepsEveryLineWithItsValues) {
    const std::string list = listOf(
        "Region\tx\ty\tz\nA\t-68\t-103\t-42\nB\t68\t69\t76\nC\t\xe2\x88\x92"
        "0.04\t12.05\t1\n");
    std::vector<char> buffer(glomera::host::kTextCapacity, '\0');
    std::copy(list.begin(), list.end(), buffer.begin());
    EXPECT_EQ(glomera::cleanUpText(buffer.data()), 3);
    EXPECT_EQ(std::string(buffer.data()) + "\n", list);
}

TEST(TableImport, AListThatWouldNotFitTheTextBoxStopsInTime) {
    ImportSettings settings;
    settings.listLimit = 200;
    std::string table;
    for (int i = 0; i < 5; ++i) table += "1 2 3\n";
    const auto result = voikit::importTable(table, settings);
    EXPECT_EQ(result.vois, 2);  // 78 bytes a line
    EXPECT_EQ(result.dropped, 3);
    EXPECT_NE(result.lines[4].account.find("would not fit"), std::string::npos);
}

}  // namespace
