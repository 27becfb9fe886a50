#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_files.h"
#include "voikit/io/error.h"
#include "voikit/outputs/outputs.h"
#include "voikit/picture/projection_picture.h"
#include "voikit/provenance/input_space.h"

namespace {

using voikit::MniToTal;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(PictureAxes, TalTicksStandOnTheirOwnMillimetres) {
    const std::vector<voikit::AxisTick> ticks = voikit::axisTicks(2, -53, 85, std::nullopt);
    ASSERT_EQ(ticks.size(), 7u);  // -40 .. 80
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const int mm = -40 + 20 * static_cast<int>(i);
        EXPECT_EQ(ticks[i].tal, mm);
        EXPECT_EQ(ticks[i].text, std::to_string(mm));
    }
}

TEST(PictureAxes, MniTicksStandWhereTheTransformTakesThem) {
    for (const MniToTal transform : {MniToTal::kSpm, MniToTal::kFsl, MniToTal::kBrett}) {
        for (int axis = 0; axis < 3; ++axis) {
            const std::vector<voikit::AxisTick> ticks = voikit::axisTicks(axis, -80, 90, transform);
            ASSERT_GE(ticks.size(), 7u);
            bool moved = false;
            for (const voikit::AxisTick& tick : ticks) {
                const int mm = std::stoi(tick.text);
                EXPECT_EQ(mm % 20, 0) << tick.text;
                voikit::Point mni{};
                mni[static_cast<std::size_t>(axis)] = mm;
                EXPECT_DOUBLE_EQ(tick.tal,
                                 voikit::mniToTal(mni, transform)[static_cast<std::size_t>(axis)]);
                EXPECT_GE(tick.tal, -80);
                EXPECT_LE(tick.tal, 90);
                moved = moved || std::abs(tick.tal - mm) > 0.5;
            }
            // The MNI labels are not the TAL millimetres renamed.
            EXPECT_TRUE(moved) << "axis " << axis;
        }
    }
}

TEST(PictureCaption, SaysTheSpaceOfTheAxes) {
    voikit::PictureSettings settings;
    settings.brain = "/templates/ch2bet.nii.gz";
    EXPECT_EQ(voikit::pictureCaption(settings, true, 0),
              "TAL millimetres, brain: ch2bet.nii.gz placed from MNI (spm)");
    settings.mniAxes = MniToTal::kFsl;
    const std::string mni = voikit::pictureCaption(settings, false, 2);
    EXPECT_EQ(mni.rfind("MNI millimetres", 0), 0u) << mni;
    EXPECT_TRUE(contains(mni, "TAL")) << mni;
    EXPECT_TRUE(contains(mni, "fsl")) << mni;
    EXPECT_TRUE(contains(mni, "up to 2 numbers per view left out")) << mni;
}

TEST(PictureNotDrawn, FewLinesEachBoundedTheRestCounted) {
    EXPECT_TRUE(voikit::notDrawnLines({}).empty());
    std::vector<std::string> dropped;
    for (int i = 1; i <= 7; ++i) dropped.push_back("Peak" + std::to_string(i));
    // A long reason made of two-byte characters is cut between characters.
    dropped[0] = "Gyrus " + std::string(101, 'x');
    for (int i = 0; i < 60; ++i) dropped[0] += "\xc3\xa9";
    const std::vector<std::string> lines = voikit::notDrawnLines(dropped);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "Not drawn: Peak2");
    EXPECT_EQ(lines[3], "Not drawn: Peak4");
    EXPECT_EQ(lines[4], "Not drawn: and 3 more");
    EXPECT_LE(lines[0].size(), 150u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 3), "...");
    EXPECT_NE(static_cast<unsigned char>(lines[0][lines[0].size() - 4]), 0xC3) << lines[0];
    EXPECT_EQ(voikit::notDrawnLines({"A", "B", "C", "D", "E"}).size(), 5u);
}

TEST(InputSpaceRecordDropped, KeptThroughJsonAndAbsentAsNone) {
    voikit::InputSpaceRecord record;
    record.space = voikit::Space::kMni;
    record.transform = MniToTal::kSpm;
    record.voi = {"VOI file", "spheres.voi", 10, "ab"};
    record.dropped.push_back({12, "Cerebellum Crus II R", "outside the accepted box"});
    nlohmann::json json = voikit::inputSpaceJson(record);
    const voikit::InputSpaceRecord back = voikit::inputSpaceFromJson(json);
    ASSERT_EQ(back.dropped.size(), 1u);
    EXPECT_EQ(back.dropped[0].line, 12);
    EXPECT_EQ(back.dropped[0].name, "Cerebellum Crus II R");
    EXPECT_EQ(back.dropped[0].reason, "outside the accepted box");

    json.erase("dropped");
    EXPECT_TRUE(voikit::inputSpaceFromJson(json).dropped.empty());
    // A record of a complete table is written as before, without the list.
    record.dropped.clear();
    EXPECT_FALSE(voikit::inputSpaceJson(record).contains("dropped"));
    json["dropped"] = {{{"line", "twelve"}, {"reason", "x"}}};
    EXPECT_THROW(voikit::inputSpaceFromJson(json), voikit::Error);
    json["dropped"] = "none";
    EXPECT_THROW(voikit::inputSpaceFromJson(json), voikit::Error);
}

// The bundled example, as a researcher runs it: MNI input with one peak outside the box.
TEST(PictureInInputSpace, BundledExampleSpeaksMniAndNamesItsDroppedPeak) {
    TempFolder folder;
    writeFile(folder.file("mni_table.txt"), readFile(std::string(EXAMPLES_DIR) + "/mni_table.txt"));
    const ProgramResult run =
        runProgram(folder.path(), HEADLESS_HOST,
                   "--quiet --list mni_table.txt --space mni --allow-dropped -o spheres.voi "
                   "--png spheres.png");
    ASSERT_EQ(run.status, 0) << run.err;
    const voikit::InputSpaceReading read = voikit::readInputSpaceRecord(folder.file("spheres.voi"));
    ASSERT_TRUE(read.record) << read.why;
    ASSERT_EQ(read.record->dropped.size(), 1u);
    EXPECT_EQ(read.record->dropped[0].line, 12);
    EXPECT_TRUE(contains(read.record->dropped[0].name, "Cerebellum"));

    voikit::PictureSettings picture;
    voikit::pictureInInputSpace(picture, read.record);
    EXPECT_EQ(picture.mniAxes, MniToTal::kSpm);
    EXPECT_EQ(voikit::pictureCaption(picture, false, 0).rfind("MNI millimetres", 0), 0u);
    const std::vector<std::string> lines = voikit::notDrawnLines(picture.notDrawn);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(contains(lines[0], "Not drawn: Cerebellum")) << lines[0];
    EXPECT_TRUE(contains(lines[0], "MNI 30 -92 -52")) << lines[0];
    EXPECT_TRUE(contains(lines[0], "outside the accepted box")) << lines[0];

    // A table of TAL peaks keeps the TAL picture, and a .voi without a record too.
    writeFile(folder.file("tal.txt"), "x y z name\n-20 -6 -14 Amygdala_L\n");
    ASSERT_EQ(runProgram(folder.path(), HEADLESS_HOST, "--quiet --list tal.txt -o tal.voi").status,
              0);
    voikit::PictureSettings tal;
    voikit::pictureInInputSpace(tal, voikit::readInputSpaceRecord(folder.file("tal.voi")).record);
    EXPECT_FALSE(tal.mniAxes);
    EXPECT_TRUE(tal.notDrawn.empty());
    voikit::pictureInInputSpace(tal, std::nullopt);
    EXPECT_FALSE(tal.mniAxes);
}

}  // namespace
