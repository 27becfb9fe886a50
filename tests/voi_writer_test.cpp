#include "voi/voi_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "host/host_api.h"
#include "tests/in_process_host.h"
#include "tests/test_files.h"

namespace {

using glomera::VoiEntry;
using glomera::VoiSet;

VoiEntry entry(const char* name, std::int32_t r, std::int32_t g, std::int32_t b,
               std::initializer_list<std::int32_t> voxels) {
    VoiEntry voi;
    std::strcpy(voi.name, name);
    voi.colorR = r;
    voi.colorG = g;
    voi.colorB = b;
    voi.voxelCount = static_cast<std::int32_t>(voxels.size() / 3);
    voi.voxels.reset(new std::int32_t[voxels.size()]);
    std::copy(voxels.begin(), voxels.end(), voi.voxels.get());
    return voi;
}

VoiSet standardSet(const std::string& path) {
    VoiSet set;
    set.fileName = path.c_str();
    set.resolutionX = set.resolutionY = set.resolutionZ = 1;
    set.framingCubeDim = 256;
    set.leftRightConvention = 1;
    return set;
}

const char* const kHeader =
    "\r\n"
    "FileVersion:                4\r\n"
    "\r\n"
    "ReferenceSpace:             TAL\r\n"
    "\r\n"
    "OriginalVMRResolutionX:     1\r\n"
    "OriginalVMRResolutionY:     1\r\n"
    "OriginalVMRResolutionZ:     1\r\n"
    "OriginalVMROffsetX:         0\r\n"
    "OriginalVMROffsetY:         0\r\n"
    "OriginalVMROffsetZ:         0\r\n"
    "OriginalVMRFramingCubeDim:  256\r\n"
    "\r\n"
    "LeftRightConvention:        1\r\n"
    "\r\n"
    "SubjectVOINamingConvention: <SUBJ>_<VOI>\r\n"
    "\r\n"
    "\r\n";

class VoiWriterTest : public testing::Test {
  protected:
    // The writer logs its error line through the host.
    InProcessHost host{"zt"};
    TempFolder folder;
    std::string path = folder.file("out.voi");

    void SetUp() override { ASSERT_TRUE(glomera::host::bindHostApi()); }

    std::string log() const {
        std::string joined;
        for (const auto& line : host.session()->logLines) joined += line + "\n";
        return joined;
    }
};

TEST_F(VoiWriterTest, WorkedExampleByteForByte) {
    VoiSet set = standardSet(path);
    set.voiCount = 1;
    set.vois.push_back(entry("ROI_1", 255, 0, 0, {10, -20, 5, 10, -20, 6}));
    ASSERT_TRUE(glomera::writeVoiFile(set));
    const std::string expected = std::string(kHeader) +
                                 "NrOfvois:                   1\r\n"
                                 "\r\n"
                                 "NameOfVOI:  ROI_1\r\n"
                                 "ColorOfVOI: 255 0 0\r\n"
                                 "\r\n"
                                 "NrOfVoxels: 2\r\n"
                                 "10 -20 5\r\n"
                                 "10 -20 6\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "NrOfVOIVTCs: 0\r\n";
    EXPECT_EQ(expected.size(), 500u);
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(log(), "");
}

TEST_F(VoiWriterTest, NoVoisAndEmptyVois) {
    VoiSet empty = standardSet(path);
    ASSERT_TRUE(glomera::writeVoiFile(empty));
    EXPECT_EQ(readFile(path),
              std::string(kHeader) + "NrOfvois:                   0\r\n\r\n\r\nNrOfVOIVTCs: 0\r\n");

    VoiSet two = standardSet(path);
    two.voiCount = 2;
    two.vois.push_back(entry("Empty", 1, 2, 3, {}));
    two.vois.push_back(entry("Two words", -1, 300, 7, {-12, -3, -40}));
    ASSERT_TRUE(glomera::writeVoiFile(two));
    EXPECT_EQ(readFile(path), std::string(kHeader) +
                                  "NrOfvois:                   2\r\n\r\n"
                                  "NameOfVOI:  Empty\r\nColorOfVOI: 1 2 3\r\n\r\n"
                                  "NrOfVoxels: 0\r\n\r\n"
                                  "NameOfVOI:  Two words\r\nColorOfVOI: -1 300 7\r\n\r\n"
                                  "NrOfVoxels: 1\r\n-12 -3 -40\r\n\r\n"
                                  "\r\nNrOfVOIVTCs: 0\r\n");
}

TEST_F(VoiWriterTest, ExtremeValuesAreWrittenWhole) {
    VoiSet set = standardSet(path);
    set.offsetX = -2147483647 - 1;
    set.voiCount = 1;
    set.vois.push_back(entry("V", 0, 0, 0, {2147483647, -2147483647 - 1, 0, 2147483647, -5, 0}));
    ASSERT_TRUE(glomera::writeVoiFile(set));
    const std::string text = readFile(path);
    EXPECT_NE(text.find("OriginalVMROffsetX:         -2147483648\r\n"), std::string::npos);
    EXPECT_NE(text.find("NrOfVoxels: 2\r\n2147483647 -2147483648 0\r\n2147483647 -5 0\r\n"),
              std::string::npos);
}

TEST_F(VoiWriterTest, ReplacesALongerFileCompletely) {
    writeFile(path, std::string(10000, 'x'));
    ASSERT_TRUE(glomera::writeVoiFile(standardSet(path)));
    EXPECT_EQ(readFile(path).find('x'), std::string::npos);
    EXPECT_EQ(folder.listing(), "out.voi");
}

TEST_F(VoiWriterTest, MissingFolderOrFolderPathFails) {
    const std::string missing = folder.file("no/such/folder.voi");
    EXPECT_FALSE(glomera::writeVoiFile(standardSet(missing)));
    EXPECT_FALSE(fileExists(missing));
    EXPECT_EQ(log(), "Error while writing VOI file\nPlugin>  Could not write the VOI file \"" +
                         missing + "\": No such file or directory\n");

    // A path that names a folder is left alone, and no temporary file stays behind.
    EXPECT_FALSE(glomera::writeVoiFile(standardSet(folder.path() + "/")));
    EXPECT_FALSE(glomera::writeVoiFile(standardSet(folder.path())));
    EXPECT_EQ(folder.listing(), "");
    EXPECT_NE(log().find("\": Is a directory\n"), std::string::npos) << log();
}

TEST_F(VoiWriterTest, InconsistentSetIsRefused) {
    VoiSet set = standardSet(path);
    set.voiCount = 2;  // claims more entries than it holds
    set.vois.push_back(entry("A", 0, 0, 0, {1, 2, 3}));
    EXPECT_FALSE(glomera::writeVoiFile(set));
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(log(), "Error while writing VOI file\nPlugin>  Could not write the VOI file \"" +
                         path + "\": fewer VOIs than the header announced\n");
}

TEST_F(VoiWriterTest, FailedWriteKeepsTheEarlierFileAndLeavesNoPartialFile) {
    writeFile(path, "earlier contents");
    VoiSet set = standardSet(path);
    set.voiCount = 1;
    std::initializer_list<std::int32_t> none = {};
    set.vois.push_back(entry("Big", 1, 1, 1, none));
    // Two million voxels make about 20 MB of text, well past the limit.
    auto& voi = set.vois.back();
    voi.voxelCount = 2000000;
    voi.voxels.reset(new std::int32_t[std::size_t{3} * 2000000]());
    {
        FileSizeLimit limit(1 << 20);
        EXPECT_FALSE(glomera::writeVoiFile(set));
    }
    EXPECT_EQ(readFile(path), "earlier contents");
    EXPECT_EQ(folder.listing(), "out.voi");
    EXPECT_EQ(log(), "Error while writing VOI file\nPlugin>  Could not write the VOI file \"" +
                         path + "\": File too large\n");
}

TEST_F(VoiWriterTest, UnwritableFolderFails) {
    chmod(folder.path().c_str(), 0555);
    std::string target = path;
    const int written = runWithoutPrivileges(
        [](void* p) {
            return glomera::writeVoiFile(standardSet(*static_cast<std::string*>(p))) ? 1 : 0;
        },
        &target);
    chmod(folder.path().c_str(), 0700);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(folder.listing(), "");
}

}  // namespace

namespace {

using glomera::VoiFileWriter;

class VoiFileWriterTest : public VoiWriterTest {
  protected:
    VoiSet set = twoVois();

    VoiSet twoVois() {
        VoiSet two = standardSet(path);
        two.voiCount = 2;
        two.vois.push_back(entry("First", 1, 2, 3, {1, 2, 3, 1, 2, 4, 1, 3, -3}));
        two.vois.push_back(entry("Second", 4, 5, 6, {-7, 8, 9}));
        return two;
    }
};

TEST_F(VoiFileWriterTest, PieceByPieceWritesTheSameFile) {
    ASSERT_TRUE(glomera::writeVoiFile(set));
    const std::string whole = readFile(path);
    std::remove(path.c_str());

    VoiFileWriter writer;
    writer.begin(set, 2);
    // Nothing is visible at the target before the file is finished.
    writer.add(set.vois[0]);
    EXPECT_FALSE(fileExists(path));
    writer.add(set.vois[1]);
    ASSERT_TRUE(writer.finish(0));
    EXPECT_EQ(readFile(path), whole);
    EXPECT_EQ(folder.listing(), "out.voi");
    EXPECT_EQ(log(), "");
}

TEST_F(VoiFileWriterTest, FewerOrMoreVoisThanAnnouncedFail) {
    writeFile(path, "earlier contents");
    for (int added : {1, 3}) {
        VoiFileWriter writer;
        writer.begin(set, 2);
        for (int i = 0; i < added; ++i) writer.add(set.vois[static_cast<std::size_t>(i % 2)]);
        EXPECT_FALSE(writer.finish(0)) << added << " VOIs added";
    }
    EXPECT_EQ(readFile(path), "earlier contents");
    EXPECT_EQ(folder.listing(), "out.voi");
    const std::string failed =
        "Error while writing VOI file\nPlugin>  Could not write the VOI file \"" + path + "\": ";
    EXPECT_EQ(log(), failed + "fewer VOIs than the header announced\n" + failed +
                         "more VOIs than the header announced\n");
}

TEST_F(VoiFileWriterTest, InconsistentEntriesSpoilTheFile) {
    VoiSet broken = twoVois();
    broken.vois[1].voxelCount = -1;
    EXPECT_FALSE(glomera::writeVoiFile(broken));
    broken = twoVois();
    broken.vois[0].voxels.reset();
    EXPECT_FALSE(glomera::writeVoiFile(broken));
    broken = twoVois();
    std::memset(broken.vois[1].name, 'n', sizeof broken.vois[1].name);
    EXPECT_FALSE(glomera::writeVoiFile(broken));
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(folder.listing(), "");
}

TEST_F(VoiFileWriterTest, AWriterDroppedUnfinishedLeavesNothing) {
    {
        VoiFileWriter writer;
        writer.begin(set, 2);
        writer.add(set.vois[0]);
    }
    EXPECT_EQ(folder.listing(), "");
    EXPECT_EQ(log(), "");
}

TEST_F(VoiFileWriterTest, AFileThatCannotBeCreatedFailsAtTheEnd) {
    VoiSet elsewhere = twoVois();
    const std::string missing = folder.file("no/such/folder.voi");
    elsewhere.fileName = missing.c_str();
    VoiFileWriter writer;
    writer.begin(elsewhere, 2);
    writer.add(elsewhere.vois[0]);
    writer.add(elsewhere.vois[1]);
    EXPECT_EQ(log(), "");
    EXPECT_FALSE(writer.finish(0));
    EXPECT_EQ(log(), "Error while writing VOI file\nPlugin>  Could not write the VOI file \"" +
                         missing + "\": No such file or directory\n");
}

}  // namespace
