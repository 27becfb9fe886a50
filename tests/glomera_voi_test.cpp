// End to end: the toolbox program on files the host stand-in wrote.
#include <gtest/gtest.h>

#include <string>

#include "tests/test_files.h"

namespace {

class GlomeraVoiTest : public testing::Test {
  protected:
    void SetUp() override {
        const ProgramResult made = runProgram(folder.path(), HEADLESS_HOST,
                                              std::string("--quiet --allow-dropped --raw-list ") +
                                                  EXAMPLES_DIR + "/coordinates.txt -o s.voi");
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

TEST_F(GlomeraVoiTest, InfoShowsANamingConventionLongerThanALineBufferWhole) {
    std::string text = readFile(folder.file("s.voi"));
    const std::string convention = "<SUBJ>_<VOI>";
    const std::string longer = convention + "_" + std::string(1500, 'x') + "_end";
    text.replace(text.find(convention), convention.size(), longer);
    writeFile(folder.file("long.voi"), text);
    const ProgramResult r = run("info long.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, ", naming convention " + longer +
                                    "\nVMR resolution 1 1 1, offset 0 0 0, framing cube 256, "
                                    "left-right convention 1\n\n    #  name"))
        << r.out;
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
    EXPECT_EQ(
        folder.listing(),
        "labels.nii.gz labels.tsv labels_ColorLUT.txt labels_wb_labels.txt p.png r.json s.voi");
}

TEST_F(GlomeraVoiTest, OneCommandMakesWhatTheSeparateCommandsMake) {
    ASSERT_EQ(run("nifti s.voi a.nii.gz -q").status, 0);
    ASSERT_EQ(run("png s.voi a.png -q").status, 0);
    ASSERT_EQ(run("report s.voi a.txt -q").status, 0);
    const ProgramResult r =
        run("outputs s.voi --nifti b.nii.gz --png b.png --report b.txt --report-json b.json");
    ASSERT_EQ(r.status, 0) << r.err;
    // Said in the order of the separate commands, whatever finished first.
    const std::size_t nifti = r.err.find("wrote b.nii.gz"), png = r.err.find("wrote b.png"),
                      report = r.err.find("wrote b.txt");
    ASSERT_NE(report, std::string::npos) << r.err;
    EXPECT_LT(nifti, png);
    EXPECT_LT(png, report);
    EXPECT_EQ(readFile(folder.file("b.png")), readFile(folder.file("a.png")));
    EXPECT_EQ(readFile(folder.file("b.tsv")), readFile(folder.file("a.tsv")));
    EXPECT_EQ(readFile(folder.file("b.nii.gz")), readFile(folder.file("a.nii.gz")));
    EXPECT_EQ(readFile(folder.file("b.txt")), readFile(folder.file("a.txt")));
    EXPECT_TRUE(contains(readFile(folder.file("b.json")), "\"name\": \"mPFC\""));
}

TEST_F(GlomeraVoiTest, AnAtlasThatCannotBeReadStopsEveryOutput) {
    writeFile(folder.file("atlas.nii"), "not an image");
    const ProgramResult r =
        run("outputs s.voi --nifti b.nii.gz --png b.png --report b.txt "
            "--atlas atlas.nii");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "atlas.nii")) << r.err;
    EXPECT_EQ(folder.listing(), "atlas.nii s.voi");
    // Asking for nothing is a usage error.
    const ProgramResult none = run("outputs s.voi");
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(contains(none.err, "ask for at least one of --nifti")) << none.err;
}

TEST_F(GlomeraVoiTest, ImportExitStatusTellsWhetherLinesWereLost) {
    ProgramResult r = run(std::string("import ") + EXAMPLES_DIR + "/mni_table.txt --space mni");
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.err, "line 12: dropped: outside the accepted box"));
    EXPECT_TRUE(contains(r.err,
                         "glomera-voi: 9 VOIs from 15 lines; 1 of 10 peaks dropped "
                         "(table, UTF-8)"));
    EXPECT_TRUE(contains(r.out, "  -21.2    -5.7   -12.8     6.0                Amygdala_L"));
    r = run(std::string("import ") + EXAMPLES_DIR +
            "/mni_table.txt --space mni --allow-dropped -o list.txt");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    // The list it wrote is one the host runs as it is.
    const ProgramResult host =
        runProgram(folder.path(), HEADLESS_HOST, "--quiet --raw-list list.txt -o l.voi");
    EXPECT_EQ(host.status, 0) << host.err;
    EXPECT_TRUE(contains(host.err, "list.txt: 9 VOIs from 9 lines; 0 of 9 coordinate lines"));

    writeFile(folder.file("none.txt"), "nothing to see\n");
    EXPECT_EQ(run("import none.txt --allow-dropped").status, 3);
    writeFile(folder.file("one.txt"),
              "\xe2\x88\x92"
              "22 \xe2\x88\x92"
              "6 \xe2\x88\x92"
              "18\n");
    r = run("import one.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "  -22.0    -6.0   -18.0"));
    // Numeric options take nothing but numbers.
    for (const char* option :
         {"--radius '\342\210\22222'", "--radius abc", "--radius 22x", "--radius 1e400",
          "--radius ''", "--color ',,,'", "--color 1,2", "--color 1,2,300", "--space icbm"}) {
        r = run(std::string("import one.txt ") + option);
        EXPECT_EQ(r.status, 2) << option;
        EXPECT_TRUE(contains(r.err, option[2] == 'r'   ? "--radius"
                                    : option[2] == 'c' ? "--color"
                                                       : "--space"))
            << r.err;
    }
}

TEST_F(GlomeraVoiTest, ImportTakesTheTablesSpaceWritesFociAndRefusesWhatIsNoTable) {
    const std::string foci = std::string(TABLES_DIR) + "/gingerale_mni.txt";
    // --space against the file's "// Reference=MNI": a usage error naming both, nothing written.
    ProgramResult r = run("import " + foci + " --space tal -o list.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err,
                         "--space tal, but the table gives MNI coordinates (line 1: // "
                         "Reference=MNI)"))
        << r.err;
    EXPECT_FALSE(fileExists(folder.file("list.txt")));
    // Without --space the file's space; the foci go back out in Talairach on request.
    r = run("import " + foci + " -o list.txt --foci out.txt --foci-space tal");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err,
                         "line 4: VOI 1 Meyer_et_al._2014_fearful_neutral_faces_1 at TAL "
                         "-21.2 -5.7 -12.8, radius 6.0 mm, colour 230 25 75; as written: "
                         "MNI -22 -6 -18\n"))
        << r.err;
    EXPECT_TRUE(contains(r.err,
                         "glomera-voi: warning: VOI 1 Meyer_et_al._2014_fearful_neutral_"
                         "faces_1 and VOI 5 Okafor_and_Lind_2016_angry_neutral_faces_1 "
                         "overlap: centres 3.2 mm apart, radii 6.0 + 6.0 mm\n"));
    EXPECT_TRUE(contains(readFile(folder.file("out.txt")),
                         "\n// Okafor and Lind, 2016: angry > neutral faces\n// Subjects=18\n"
                         "-19.3\t-3.66\t-14.41\n"));
    // A table without subjects cannot make a foci file: refused before anything is written.
    r = run(std::string("import ") + TABLES_DIR + "/short_header.txt -o short.txt --foci f.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err,
                         "--foci f.txt: GingerALE weighs each experiment by its number of "
                         "subjects, and \"short_header\" gives none: say --subjects N"))
        << r.err;
    EXPECT_FALSE(fileExists(folder.file("short.txt")));
    EXPECT_FALSE(fileExists(folder.file("f.txt")));
    // A binary file is refused in one line.
    std::string binary(300000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7919 % 251);
    writeFile(folder.file("image.bin"), binary);
    r = run("import image.bin");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_TRUE(contains(r.err, "glomera-voi: image.bin: not text: ")) << r.err;
}

TEST_F(GlomeraVoiTest, HelpAndRefusals) {
    ProgramResult r = run("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"import", "info", "nifti", "png", "report", "outputs"}) {
        EXPECT_TRUE(contains(r.out, command)) << command;
        const ProgramResult help = run(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(contains(help.out, command[1] == 'm' ? "TABLE" : "FILE.voi")) << command;
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
