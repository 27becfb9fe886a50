#include "voi/voi_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "tests/support/voi_file_loading.h"
#include "tests/test_files.h"
#include "voi/voi_format.h"
#include "voi/voi_set.h"
#include "voi/voi_writer.h"

namespace {

const std::string kGood =
    "\r\nFileVersion:                4\r\n\r\nReferenceSpace:             TAL\r\n\r\n"
    "OriginalVMRResolutionX:     1\r\nOriginalVMRResolutionY:     1\r\n"
    "OriginalVMRResolutionZ:     1\r\nOriginalVMROffsetX:         0\r\n"
    "OriginalVMROffsetY:         0\r\nOriginalVMROffsetZ:         -3\r\n"
    "OriginalVMRFramingCubeDim:  256\r\n\r\nLeftRightConvention:        1\r\n\r\n"
    "SubjectVOINamingConvention: <SUBJ>_<VOI>\r\n\r\n\r\nNrOfvois:                   2\r\n\r\n"
    "NameOfVOI:  ROI 1\r\nColorOfVOI: 255 0 0\r\n\r\nNrOfVoxels: 2\r\n"
    "10 -20 5\r\n10 -20 6\r\n\r\n"
    "NameOfVOI:  Empty\r\nColorOfVOI: 1 2 3\r\n\r\nNrOfVoxels: 0\r\n\r\n"
    "\r\nNrOfVOIVTCs: 0\r\n";

// Keeps what a reading shows: the header, and each VOI with its voxels as triples.
class Keep : public glomera::VoiFileVisitor {
  public:
    explicit Keep(glomera::VoiFileContents& contents) : contents_(contents) {}
    void header(const glomera::VoiFileHeader& h) override { contents_.header = h; }
    void beginVoi(const glomera::VoiInfo& info) override { contents_.vois.push_back({info, {}}); }
    void voxels(const std::int32_t* xyz, std::size_t n) override {
        contents_.vois.back().voxels.insert(contents_.vois.back().voxels.end(), xyz, xyz + 3 * n);
    }

  private:
    glomera::VoiFileContents& contents_;
};

std::string parseError(const std::string& text) {
    glomera::VoiFileVisitor ignore;
    try {
        glomera::parseVoiText(text.data(), text.size(), ignore);
    } catch (const glomera::VoiReadError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error for " << text;
    return "";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST(VoiFileReader, ReadsAWellFormedFile) {
    TempFolder folder;
    writeFile(folder.file("a.voi"), kGood);
    const glomera::VoiFileContents contents = glomera::loadVoiFile(folder.file("a.voi"));
    EXPECT_EQ(contents.header.offset[2], -3);
    EXPECT_EQ(contents.header.referenceSpace, "TAL");
    ASSERT_EQ(contents.vois.size(), 2u);
    EXPECT_EQ(contents.vois[0].info.name, "ROI 1");
    EXPECT_EQ(contents.vois[0].voxels, (std::vector<std::int32_t>{10, -20, 5, 10, -20, 6}));
    EXPECT_EQ(contents.vois[1].info.color[2], 3);
    EXPECT_TRUE(contents.vois[1].voxels.empty());
}

TEST(VoiFileReader, RejectsEveryDeparture) {
    struct Case {
        std::string text;
        const char* error;
    } cases[] = {
        {replaced(kGood, "TAL\r\n", "TAL\n"), "line 4 does not end with CR LF"},
        {replaced(kGood, "FileVersion:                4", "FileVersion:               4"),
         "line 2 should begin with \"FileVersion:                \""},
        {replaced(kGood, "NrOfVoxels: 2", "NrOfVoxels: 3"), "line 27 is not a voxel"},
        {replaced(kGood, "NrOfVoxels: 2", "NrOfVoxels: 1"), "line 26 should be empty"},
        {replaced(kGood, "10 -20 6", "10 -20 06"), "line 26 is not a voxel"},
        {replaced(kGood, "10 -20 6", "10  -20 6"), "line 26 is not a voxel"},
        {replaced(kGood, "10 -20 6", "10 -20 6 7"), "line 26 is not a voxel"},
        {replaced(kGood, "10 -20 6", "10 -0 6"), "line 26 is not a voxel"},
        {replaced(kGood, "10 -20 6", "10 -20 2147483648"), "line 26 is not a voxel"},
        {replaced(kGood, "ColorOfVOI: 1 2 3", "ColorOfVOI: 1 2"), "line 29 has no colour"},
        {replaced(kGood, "NrOfvois:                   2", "NrOfvois:                   -1"),
         "line 19 has a negative NrOfvois"},
        {kGood + "\r\n", "text follows the last line"},
        {kGood.substr(0, kGood.size() - 2), "does not end with CR LF"},
        {kGood.substr(0, kGood.find("NameOfVOI:  Empty")), "ends early, after line 27"},
        {"", "the file ends early"},
        {replaced(kGood, "NrOfVOIVTCs: 0", "NrOfVOIVTCs: x"), "has no integer after"},
        {replaced(kGood, "ROI 1", "ROI\r1"), "stray carriage return"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(parseError(c.text).find(c.error), std::string::npos)
            << "expected \"" << c.error << "\", got \"" << parseError(c.text) << "\"";
    }
}

std::string withLfAlone(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') out += c;
    }
    return out;
}

// Where LF alone is asked for, lines may end either way, each line as it likes; the host's
// reading stays with CR LF.
TEST(VoiFileReader, LfLineEndsAreTakenWhereAskedAndCounted) {
    const auto lenient = [](const std::string& text, glomera::VoiFileContents& contents) {
        Keep keep(contents);
        return glomera::parseVoiText(text.data(), text.size(), keep,
                                     glomera::VoiLineEnds::kCrLfOrLf);
    };
    const std::string allLf = withLfAlone(kGood);
    struct Case {
        std::string text;
        long lines;
        long lfAlone;
    } cases[] = {
        {kGood, 34, 0},
        {allLf, 34, 34},
        // Voxel lines appended by a script that writes LF, and one edited header line.
        {replaced(kGood, "10 -20 5\r\n10 -20 6\r\n", "10 -20 5\n10 -20 6\n"), 34, 2},
        {replaced(kGood, "10 -20 5\r\n", "10 -20 5\n"), 34, 1},
        {replaced(kGood, "TAL\r\n", "TAL\n"), 34, 1},
    };
    for (const Case& c : cases) {
        glomera::VoiFileContents contents;
        const glomera::VoiLineCount count = lenient(c.text, contents);
        EXPECT_EQ(count.lines, c.lines);
        EXPECT_EQ(count.lfAlone, c.lfAlone);
        ASSERT_EQ(contents.vois.size(), 2u);
        EXPECT_EQ(contents.header.referenceSpace, "TAL");
        EXPECT_EQ(contents.vois[0].info.name, "ROI 1");
        EXPECT_EQ(contents.vois[0].voxels, (std::vector<std::int32_t>{10, -20, 5, 10, -20, 6}));
    }
    // Read strictly, the very same files are refused at their first LF line.
    EXPECT_NE(parseError(allLf).find("line 1 does not end with CR LF"), std::string::npos);
    // Departures other than the line end are refused as strictly as ever.
    const struct {
        std::string text;
        const char* error;
    } refused[] = {
        {allLf.substr(0, allLf.size() - 1), "does not end with CR LF or LF"},
        {replaced(allLf, "ROI 1", "ROI\r1"), "line 21 holds a stray carriage return"},
        {replaced(allLf, "10 -20 6", "10 -20 06"), "line 26 is not a voxel"},
        {replaced(allLf, "NrOfVoxels: 2", "NrOfVoxels: 3"), "line 27 is not a voxel"},
        {replaced(allLf, "FileVersion:                4", "FileVersion: 4"),
         "line 2 should begin with"},
    };
    for (const auto& c : refused) {
        glomera::VoiFileContents contents;
        try {
            lenient(c.text, contents);
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const glomera::VoiReadError& error) {
            EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
        }
    }
}

TEST(VoiFileReader, ReadsBackWhatTheWriterWroteAcrossItsBuffers) {
    // Several megabytes, so that lines straddle the reader's 1 MiB buffers; rows whose z runs
    // up one by one, jumps, numbers past the reader's table of small z and at the ends of
    // the 32-bit range.
    glomera::VoiSet set;
    std::vector<std::vector<std::int32_t>> expected;
    for (int v = 0; v < 3; ++v) {
        std::vector<std::int32_t> voxels;
        for (std::int32_t x = -40; x <= 40; ++x) {
            for (std::int32_t y = -30 + v; y <= 30; y += 3) {
                for (std::int32_t z = -99998; z != -99998 + 30; ++z)
                    voxels.insert(voxels.end(), {x, y, z});
                for (std::int32_t z :
                     {-1, 0, 1, 9, 10, 99, 100, 99999, 100000, 2147483647, 2147483647}) {
                    voxels.insert(voxels.end(), {x, y, z});
                }
            }
        }
        voxels.insert(voxels.end(), {-2147483647 - 1, 2147483647, -2147483647 - 1});
        glomera::VoiEntry entry;
        std::snprintf(entry.name, sizeof entry.name, "V%d", v);
        entry.voxelCount = static_cast<std::int32_t>(voxels.size() / 3);
        entry.voxels.reset(new std::int32_t[voxels.size()]);
        std::copy(voxels.begin(), voxels.end(), entry.voxels.get());
        set.vois.push_back(std::move(entry));
        expected.push_back(std::move(voxels));
    }
    set.voiCount = 3;
    TempFolder folder;
    const std::string path = folder.file("big.voi");
    set.fileName = path.c_str();
    ASSERT_TRUE(glomera::writeVoiFile(set));
    const glomera::VoiFileContents contents = glomera::loadVoiFile(path);
    ASSERT_EQ(contents.vois.size(), 3u);
    for (int v = 0; v < 3; ++v) EXPECT_EQ(contents.vois[v].voxels, expected[v]) << v;
    EXPECT_GT(readFile(path).size(), std::size_t{2} << 20);

    // Taken as runs, in batches, the same voxels in the same order: no run ever continues a
    // voxel it does not follow (the repeated top of the 32-bit range), and runs cut at the
    // end of a batch go on in the next.
    class RunExpander : public glomera::VoiFileVisitor {
      public:
        bool takesRuns() const override { return true; }
        void beginVoi(const glomera::VoiInfo&) override { vois.emplace_back(); }
        void runs(const glomera::VoxelRun* runs, std::size_t count) override {
            batches += 1;
            for (std::size_t i = 0; i < count; ++i) {
                for (std::int64_t k = 0; k < runs[i].length; ++k) {
                    vois.back().insert(
                        vois.back().end(),
                        {runs[i].x, runs[i].y, static_cast<std::int32_t>(runs[i].z + k)});
                }
            }
        }
        std::vector<std::vector<std::int32_t>> vois;
        int batches = 0;
    } expander;
    glomera::readVoiFile(path, expander);
    ASSERT_EQ(expander.vois.size(), 3u);
    for (int v = 0; v < 3; ++v) EXPECT_EQ(expander.vois[v], expected[v]) << v;
    EXPECT_GT(expander.batches, 3 * 10);

    // The same file with LF line ends, read where they are taken: the same voxels, as
    // triples and as runs, every line counted.
    const std::string text = readFile(path);
    writeFile(path, withLfAlone(text));
    RunExpander fromLf;
    const glomera::VoiLineCount count =
        glomera::readVoiFile(path, fromLf, glomera::VoiLineEnds::kCrLfOrLf);
    const auto lines = static_cast<long>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(count.lines, lines);
    EXPECT_EQ(count.lfAlone, lines);
    ASSERT_EQ(fromLf.vois.size(), 3u);
    for (int v = 0; v < 3; ++v) EXPECT_EQ(fromLf.vois[v], expected[v]) << v;
    glomera::VoiFileContents triples;
    Keep keep(triples);
    glomera::readVoiFile(path, keep, glomera::VoiLineEnds::kCrLfOrLf);
    for (int v = 0; v < 3; ++v) EXPECT_EQ(triples.vois[v].voxels, expected[v]) << v;
    EXPECT_THROW(glomera::loadVoiFile(path), glomera::VoiReadError);
}

// A file of some megabytes is read ahead on a second thread: the same voxels as the text
// parsed from memory, and the same refusals, with the same line numbers, as a small file.
TEST(VoiFileReader, LargeFilesReadAheadGiveTheSameResults) {
    const std::string head = replaced(kGood, "NrOfVoxels: 2\r\n10 -20 5\r\n10 -20 6\r\n", "");
    std::string lines;
    const std::int32_t count = 700000;
    for (std::int32_t i = 0; i < count; ++i) {
        lines += std::to_string(i % 97 - 48) + " " + std::to_string(i / 977) + " " +
                 std::to_string(i % 977 - 400) + "\r\n";
    }
    const std::string text = replaced(
        head, "ColorOfVOI: 255 0 0\r\n\r\n",
        "ColorOfVOI: 255 0 0\r\n\r\nNrOfVoxels: " + std::to_string(count) + "\r\n" + lines);
    ASSERT_GT(text.size(), std::size_t{8} << 20);
    TempFolder folder;
    const std::string path = folder.file("large.voi");
    writeFile(path, text);
    glomera::VoiFileContents fromMemory;
    Keep keep(fromMemory);
    glomera::parseVoiText(text.data(), text.size(), keep);
    const glomera::VoiFileContents fromFile = glomera::loadVoiFile(path);
    ASSERT_EQ(fromFile.vois.size(), 2u);
    ASSERT_EQ(fromFile.vois[0].voxels.size(), std::size_t{3} * count);
    EXPECT_EQ(fromFile.vois[0].voxels, fromMemory.vois[0].voxels);

    const auto fileError = [&](const std::string& bytes) -> std::string {
        writeFile(path, bytes);
        try {
            glomera::loadVoiFile(path);
        } catch (const glomera::VoiReadError& error) {
            return error.what();
        }
        return "";
    };
    // A damaged line deep in the file, and a file that ends in the middle of a line.
    const std::size_t middle = text.find("\r\n", text.size() / 2) + 2;
    std::string damaged = text;
    damaged.insert(middle, "+");
    const std::string damagedLine = std::to_string(
        std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(middle), '\n') + 1);
    EXPECT_EQ(fileError(damaged), parseError(damaged));
    EXPECT_EQ(parseError(damaged).rfind("line " + damagedLine + " ", 0), 0u);
    EXPECT_NE(fileError(text.substr(0, text.size() - 5)).find("does not end with CR LF"),
              std::string::npos);
    // A line of over a mebibyte is refused wherever it falls, as from a small file.
    for (const std::size_t at : {middle, text.size() - 40}) {
        std::string wide = text;
        wide.insert(at, std::string((std::size_t{3} << 19), '7'));
        EXPECT_NE(fileError(wide).find("is longer than 1 MiB"), std::string::npos) << at;
    }
}

TEST(VoiFileReader, UnreadableFileIsAnError) {
    TempFolder folder;
    auto errorOf = [](const std::string& path) -> std::string {
        try {
            glomera::loadVoiFile(path);
        } catch (const glomera::VoiReadError& error) {
            return error.what();
        }
        return "";
    };
    EXPECT_EQ(errorOf(folder.file("none.voi")), "cannot open: No such file or directory");
    EXPECT_EQ(errorOf(folder.path()), "read failed: Is a directory");
}

}  // namespace
