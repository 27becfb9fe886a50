// End to end: the toolbox program on files the host stand-in wrote.
#include <gtest/gtest.h>

#include <string>

#include "tests/test_files.h"

namespace {

class GlomeraVoiTest : public testing::Test {
  protected:
    void SetUp() override {
        const ProgramResult made =
            runProgram(folder.path(), HEADLESS_HOST,
                       std::string("--quiet --list ") + EXAMPLES_DIR + "/coordinates.txt -o s.voi");
        ASSERT_EQ(made.status, 0) << made.err;
    }
    ProgramResult run(const std::string& arguments) {
        return runProgram(folder.path(), GLOMERA_VOI, arguments);
    }
    static bool contains(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
    TempFolder folder;
};

TEST_F(GlomeraVoiTest, InfoSummarisesHeaderAndVois) {
    const ProgramResult r = run("info s.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "s.voi: 6 VOIs, ")) << r.out;
    EXPECT_TRUE(contains(r.out, "reference space TAL"));
    EXPECT_TRUE(contains(r.out, "framing cube 256"));
    EXPECT_TRUE(contains(r.out, "    5  mPFC                      255 200 0   "));
}

TEST_F(GlomeraVoiTest, EachOutputOfAnExistingFile) {
    ProgramResult r = run("nifti s.voi labels.nii.gz");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "glomera-voi: wrote labels.nii.gz (109 x 138 x 87, 1 mm grid)"));
    r = run("png s.voi p.png --quiet");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = run("report s.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "VOIs of s.voi: 6\n"));
    EXPECT_TRUE(contains(r.out, "Overlaps: none\n"));
    r = run("report s.voi r.json --json");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(readFile(folder.file("r.json")), "\"name\": \"mPFC\""));
    EXPECT_EQ(folder.listing(), "labels.nii.gz labels.tsv p.png r.json s.voi");
}

TEST_F(GlomeraVoiTest, HelpAndRefusals) {
    ProgramResult r = run("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"info", "nifti", "png", "report"}) {
        EXPECT_TRUE(contains(r.out, command)) << command;
        const ProgramResult help = run(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(contains(help.out, "FILE.voi")) << command;
    }
    const struct {
        const char* arguments;
        int status;
        const char* message;
    } refused[] = {
        {"", 2, "subcommand"},
        {"frobnicate s.voi", 2, "frobnicate"},
        {"nifti s.voi", 2, "OUT"},
        {"info missing.voi", 2, "missing.voi"},
        {"nifti s.voi out.img", 1, "ends with .nii or .nii.gz"},
        {"png s.voi none/p.png", 1, "cannot create none/p.png"},
        {"nifti s.voi o.nii --grid s.voi", 1, "s.voi is not a readable NIfTI image"},
    };
    for (const auto& c : refused) {
        r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments;
        EXPECT_TRUE(contains(r.err, c.message)) << c.arguments << ": " << r.err;
    }
    writeFile(folder.file("bad.voi"), "\r\nFileVersion:                4\n");
    r = run("info bad.voi");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "glomera-voi: bad.voi: line 2 does not end with CR LF"));
    EXPECT_EQ(folder.listing(), "bad.voi s.voi");
}

}  // namespace
