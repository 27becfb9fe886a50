#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin/glomera.h"
#include "plugin/sphere_voxels.h"
#include "tests/allocation_failure.h"
#include "tests/in_process_host.h"
#include "tests/support/voi_file_loading.h"
#include "tests/test_files.h"
#include "voi/voi_reader.h"
#include "voi/voi_writer.h"

namespace {

using Lines = std::vector<std::string>;

// A started plug-in in a host whose dialog asks for one sphere at the origin, radius 1.
class SphereRunTest : public testing::Test {
  protected:
    InProcessHost host{"zt"};
    headless::HostSession& session = *host.session();
    TempFolder folder;
    std::string base = folder.file("out");
    Glomera plugin;

    void SetUp() override {
        ASSERT_TRUE(plugin.initPlugin());
        askForUnitSphere();
    }

    void askForUnitSphere() {
        session.logLines.clear();
        session.messageBoxTexts.clear();
        auto& p = session.parameters;
        p = {{"tX", "0"},
             {"tY", "0"},
             {"tZ", "0"},
             {"Radius", "1"},
             {"cR", "255"},
             {"cG", "0"},
             {"cB", "0"},
             {"Name_of_VOI", "ROI_1"},
             {"FileName", base},
             {"LoadInHL", "1"},
             {"listVOIinfoFrom", "0"}};
    }

    bool start() {
        session.parameters["Command"] = "Start";
        return plugin.execute();
    }
    Lines log() const { return Lines(session.logLines.begin(), session.logLines.end()); }
    Lines boxes() const {
        return Lines(session.messageBoxTexts.begin(), session.messageBoxTexts.end());
    }
    glomera::VoiFileContents load(const std::string& path) { return glomera::loadVoiFile(path); }

    // Expects a refused run: the message, no file, no load, and true.
    void expectRefused(const std::string& message) {
        EXPECT_TRUE(start());
        EXPECT_EQ(boxes(), Lines{message});
        EXPECT_EQ(folder.listing(), "");
        EXPECT_EQ(session.loads, 0);
    }
};

TEST_F(SphereRunTest, DialogModeWritesAndLoadsOneSphere) {
    EXPECT_TRUE(start());
    EXPECT_EQ(log(), (Lines{"Plugin>  Reading Parameters from GUI dialog",
                            "Plugin>  Added VOI at TAL (0.0, 0.0, 0.0) with 1.0 mm radius",
                            "Plugin>  Saved: " + base + ".voi"}));
    EXPECT_EQ(session.loads, 1);
    EXPECT_EQ(session.failedLoads, 0);
    const auto contents = load(base + ".voi");
    ASSERT_EQ(contents.vois.size(), 1u);
    EXPECT_EQ(contents.vois[0].info.name, "ROI_1");
    EXPECT_EQ(contents.vois[0].voxels,
              (std::vector<std::int32_t>{-1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0,
                                         0,  0, 0, 1, 0,  1, 0, 1, 0,  0}));
}

TEST_F(SphereRunTest, LoadOnlyWhenAskedAndDialogModeForOtherSources) {
    session.parameters["LoadInHL"] = "2";
    session.parameters["listVOIinfoFrom"] = "2";
    session.parameters["VOItext"] = "5 5 5 5 Other 1 2 3";
    EXPECT_TRUE(start());
    EXPECT_EQ(session.loads, 0);
    EXPECT_EQ(load(base + ".voi").vois.at(0).info.name, "ROI_1");
}

TEST_F(SphereRunTest, FileNameAlwaysGetsVoiAppended) {
    session.parameters["FileName"] = base + ".voi";
    EXPECT_TRUE(start());
    EXPECT_EQ(folder.listing(), "out.voi.voi");

    // An empty name writes ".voi" in the working folder.
    const std::string previous = std::filesystem::current_path();
    ASSERT_EQ(chdir(folder.path().c_str()), 0);
    session.parameters["FileName"] = "";
    EXPECT_TRUE(start());
    ASSERT_EQ(chdir(previous.c_str()), 0);
    EXPECT_EQ(folder.listing(), ".voi out.voi.voi");
}

TEST_F(SphereRunTest, HeaderValuesReachTheFile) {
    auto& h = session.header;
    h.resolution[0] = 0.9f;
    h.resolution[1] = 1.9f;
    h.resolution[2] = -1.9f;
    h.offset[0] = -5;
    h.offset[1] = 7;
    h.offset[2] = 0;
    h.framingCubeDim = 384;
    h.leftRightConvention = 2;
    EXPECT_TRUE(start());
    const auto header = load(base + ".voi").header;
    EXPECT_EQ(std::vector<int>(header.resolution, header.resolution + 3),
              (std::vector<int>{0, 1, -1}));
    EXPECT_EQ(std::vector<int>(header.offset, header.offset + 3), (std::vector<int>{-5, 7, 0}));
    EXPECT_EQ(header.framingCubeDim, 384);
    EXPECT_EQ(header.leftRightConvention, 2);
    EXPECT_TRUE(boxes().empty());  // TAL space: no question
}

TEST_F(SphereRunTest, NotTalAsksAndNoEndsTheRun) {
    session.header.referenceSpace = 2;
    session.yesNoAnswer = 0;
    EXPECT_FALSE(start());
    EXPECT_EQ(boxes(), Lines{"VMR properties don't indicate TAL space. Do you want to continue?"});
    EXPECT_EQ(log(), Lines{"Plugin>  Reading Parameters from GUI dialog"});
    EXPECT_EQ(folder.listing(), "");

    session.yesNoAnswer = 7;  // any answer but 0 is Yes
    EXPECT_TRUE(start());
    EXPECT_EQ(folder.listing(), "out.voi");
}

TEST_F(SphereRunTest, TextBoxModeMakesOneVoiPerCleanedLine) {
    session.parameters["listVOIinfoFrom"] = "1";
    session.parameters["VOItext"] =
        "x y z radius name r g b\n12,-20.46,5,8,'Amygdala_L',300,-4,128\n\n"
        "-40.5; -60.04; 70; 25; V1; 0; 255; 255\n80 0 0 5 FarRight 255 0 0";
    EXPECT_TRUE(start());
    EXPECT_EQ(log(), (Lines{"Plugin>  Reading Parameters from Text Box",
                            "Plugin>  Added VOI at TAL (12.0, -20.5, 5.0) with 8.0 mm radius",
                            "Plugin>  Added VOI at TAL (-40.5, -60.0, 70.0) with 20.0 mm radius",
                            "Plugin>  Saved: " + base + ".voi"}));
    const auto contents = load(base + ".voi");
    ASSERT_EQ(contents.vois.size(), 2u);
    EXPECT_EQ(contents.vois[0].info.name, "Amygdala_L");
    EXPECT_EQ(std::vector<int>(contents.vois[0].info.color, contents.vois[0].info.color + 3),
              (std::vector<int>{255, 0, 128}));
    EXPECT_EQ(contents.vois[1].info.name, "V1");
    // The text box itself is left as it was.
    EXPECT_EQ(session.parameters["VOItext"].substr(0, 5), "x y z");
}

TEST_F(SphereRunTest, TextBoxAndDialogGiveTheSameFileForTheSameSphere) {
    session.parameters = {{"tX", "12"},
                          {"tY", "-20.5"},
                          {"tZ", "5"},
                          {"Radius", "8"},
                          {"cR", "255"},
                          {"cG", "0"},
                          {"cB", "128"},
                          {"Name_of_VOI", "Amygdala_L"},
                          {"FileName", base + "-dialog"},
                          {"LoadInHL", "0"},
                          {"listVOIinfoFrom", "0"}};
    EXPECT_TRUE(start());
    session.parameters["FileName"] = base + "-list";
    session.parameters["listVOIinfoFrom"] = "1";
    session.parameters["VOItext"] = "12 -20.5 5 8 Amygdala_L 255 0 128";
    EXPECT_TRUE(start());
    EXPECT_EQ(readFile(base + "-list.voi"), readFile(base + "-dialog.voi"));
}

TEST_F(SphereRunTest, ListRunWritesWhatTheWholeSetWriterWrites) {
    // Spheres growing and shrinking, each enumerated where the one before lay and given up
    // once written: the file is byte for byte the writer's file of the same spheres held
    // all at once.
    const struct {
        float x, y, z, radius;
    } spheres[] = {{12, -20.5f, 5, 3},        {-40.5f, -60, 70, 20},  {0.5f, 0.5f, 0.5f, 1},
                   {33.3f, 10, -4.2f, 19.5f}, {10, -20, 30, 0.5f},    {-67.5f, 68.9f, 75.9f, 20},
                   {1, 2, 3, 7.5f},           {-0.1f, 0.1f, 0, 12.3f}};
    glomera::VoiSet whole;
    const std::string wholePath = base + "-whole.voi";
    whole.fileName = wholePath.c_str();
    whole.resolutionX = whole.resolutionY = whole.resolutionZ = 1;
    whole.framingCubeDim = 256;
    whole.leftRightConvention = 1;
    std::string list;
    for (std::size_t i = 0; i < std::size(spheres); ++i) {
        const auto& s = spheres[i];
        const int r = static_cast<int>(i * 30), g = 255 - r, b = static_cast<int>(i);
        char line[128];
        std::snprintf(line, sizeof line, "%.1f %.1f %.1f %.1f S%zu %d %d %d\n", s.x, s.y, s.z,
                      s.radius, i, r, g, b);
        list += line;
        glomera::VoiEntry voi;
        std::snprintf(voi.name, sizeof voi.name, "S%zu", i);
        voi.colorR = r;
        voi.colorG = g;
        voi.colorB = b;
        voi.voxels = glomera::makeSphereVoxels(s.x, s.y, s.z, s.radius, &voi.voxelCount);
        whole.vois.push_back(std::move(voi));
    }
    whole.voiCount = static_cast<std::int32_t>(whole.vois.size());
    ASSERT_TRUE(glomera::writeVoiFile(whole));
    session.parameters["listVOIinfoFrom"] = "1";
    session.parameters["VOItext"] = list;
    EXPECT_TRUE(start());
    EXPECT_EQ(boxes(), Lines{});
    EXPECT_EQ(readFile(base + ".voi"), readFile(wholePath));
}

TEST_F(SphereRunTest, SphereShortOfMemoryStopsTheRunAndKeepsTheEarlierFile) {
    const std::string noMemory =
        "Not enough memory for the voxels of a sphere. No VOI file was written.";
    // In the dialog, the one sphere; in a list, a sphere after one already in the file.
    const struct {
        const char* source;
        const char* text;
        Lines log;
    } cases[] = {
        {"0", "", {"Plugin>  Reading Parameters from GUI dialog"}},
        {"1",
         "0 0 0 5 Small 255 0 0\n10 10 10 20 Large 0 255 0\n",
         {"Plugin>  Reading Parameters from Text Box",
          "Plugin>  Added VOI at TAL (0.0, 0.0, 0.0) with 5.0 mm radius"}},
    };
    for (const auto& c : cases) {
        askForUnitSphere();
        writeFile(base + ".voi", "an earlier file");
        session.parameters["Radius"] = "20";
        session.parameters["listVOIinfoFrom"] = c.source;
        session.parameters["VOItext"] = c.text;
        const int loadsBefore = session.loads;
        {
            // A sphere of radius 20 needs 400 kB; the file's own buffer is 256 kB.
            const FailLargeAllocations shortOfMemory(300 << 10);
            EXPECT_TRUE(start());
            EXPECT_EQ(shortOfMemory.refused(), 1);
        }
        EXPECT_EQ(boxes(), Lines{noMemory});
        EXPECT_EQ(log(), c.log);
        EXPECT_EQ(session.loads, loadsBefore);
        EXPECT_EQ(readFile(base + ".voi"), "an earlier file");
        EXPECT_EQ(folder.listing(), "out.voi");  // no temporary file left
        // With memory to spare again, the same run is written whole.
        askForUnitSphere();
        session.parameters["Radius"] = "20";
        session.parameters["listVOIinfoFrom"] = c.source;
        session.parameters["VOItext"] = c.text;
        EXPECT_TRUE(start());
        EXPECT_EQ(boxes(), Lines{});
        EXPECT_EQ(load(base + ".voi").vois.back().info.voxelCount, 33401);
    }
}

TEST_F(SphereRunTest, EmptyListWritesAFileWithoutVois) {
    session.parameters["listVOIinfoFrom"] = "1";
    session.parameters["VOItext"] = "nothing here\n";
    EXPECT_TRUE(start());
    EXPECT_EQ(load(base + ".voi").header.voiCount, 0);
    EXPECT_EQ(session.loads, 1);
}

TEST_F(SphereRunTest, FailedWriteLogsItsErrorLineWithThePathAndTheReason) {
    session.parameters["FileName"] = folder.file("missing/out");
    EXPECT_TRUE(start());
    // The error comes once every VOI is built, where the file is finished.
    EXPECT_EQ(log(), (Lines{"Plugin>  Reading Parameters from GUI dialog",
                            "Plugin>  Added VOI at TAL (0.0, 0.0, 0.0) with 1.0 mm radius",
                            "Error while writing VOI file",
                            "Plugin>  Could not write the VOI file \"" +
                                folder.file("missing/out.voi") + "\": No such file or directory"}));
    EXPECT_EQ(session.loads, 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(SphereRunTest, RefusesAPathThatDoesNotFit) {
    // 507 characters and ".voi" fill the 511 a path may have; one more does not fit.
    const std::string fits = base + std::string(507 - base.size(), 'p');
    session.parameters["FileName"] = fits + "p";
    expectRefused(
        "The VOI file path is too long: with \".voi\" it must fit 511 characters. "
        "No VOI file was written.");
    EXPECT_EQ(log(), Lines{"Plugin>  Reading Parameters from GUI dialog"});
}

TEST_F(SphereRunTest, PathOf511CharactersIsWrittenAndLoggedWhole) {
    // Folders of 50 characters each keep every path component within the system's limit.
    std::string path = folder.path();
    while (path.size() + 51 < 507) {
        path += "/" + std::string(50, 'd');
        std::filesystem::create_directory(path);
    }
    path += "/" + std::string(507 - path.size() - 1, 'f');
    ASSERT_EQ(path.size(), 507u);
    session.parameters["FileName"] = path;
    EXPECT_TRUE(start());
    EXPECT_TRUE(fileExists(path + ".voi"));
    EXPECT_EQ(log().back(), "Plugin>  Saved: " + path + ".voi");
    EXPECT_EQ(session.loads, 1);
}

TEST_F(SphereRunTest, RefusesALongName) {
    session.parameters["Name_of_VOI"] = std::string(256, 'n');
    expectRefused("The VOI name is too long: at most 255 characters. No VOI file was written.");
}

TEST_F(SphereRunTest, AcceptsANameOf255Characters) {
    session.parameters["Name_of_VOI"] = std::string(255, 'n');
    EXPECT_TRUE(start());
    EXPECT_EQ(load(base + ".voi").vois.at(0).info.name, std::string(255, 'n'));
}

TEST_F(SphereRunTest, RefusesNonFiniteAndHugeSpheres) {
    const std::string notFinite =
        "The centre and the radius of a sphere must be finite numbers. No VOI file was written.";
    struct Case {
        const char* parameter;
        const char* value;
        std::string message;
    } cases[] = {
        {"Radius", "nan", notFinite},
        {"tY", "-inf", notFinite},
        {"Radius", "1e30",
         "A sphere is too large: it would hold more than 715827882 voxels. No VOI file was "
         "written."},
        {"tZ", "1e10",
         "A sphere lies too far from the origin for integer voxel coordinates. No VOI file was "
         "written."},
    };
    for (const Case& c : cases) {
        askForUnitSphere();
        session.parameters[c.parameter] = c.value;
        expectRefused(c.message);
    }
}

TEST_F(SphereRunTest, RadiusZeroAndNegativeStillWriteTheVoi) {
    session.parameters["Radius"] = "0";
    session.parameters["tX"] = "10.5";
    EXPECT_TRUE(start());
    EXPECT_EQ(load(base + ".voi").vois.at(0).info.voxelCount, 0);
    session.parameters["Radius"] = "-3";
    EXPECT_TRUE(start());
    EXPECT_EQ(load(base + ".voi").vois.at(0).info.voxelCount, 0);
}

}  // namespace
