// End to end: the real plug-in library loaded by the real headless host program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "plugin/sphere_voxels.h"
#include "tests/support/voi_file_loading.h"
#include "tests/test_files.h"
#include "voi/voi_reader.h"

namespace {

class HeadlessHostTest : public testing::Test {
  protected:
    TempFolder folder;
    ProgramResult run(const std::string& arguments) {
        return runProgram(folder.path(), HEADLESS_HOST, arguments);
    }
    bool contains(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};

TEST_F(HeadlessHostTest, SphereFromTheCommandLine) {
    const ProgramResult r = run("--sphere 0,0,0,5 --name Ball --color 1,2,3 -o ball.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "HelmoraZT: plug-in Glomera 1.0, \"Creates Spherical VOIs\""));
    EXPECT_TRUE(contains(r.out, "Plugin>  Saved: ball.voi\n"));
    EXPECT_TRUE(contains(r.out, "HelmoraZT: loaded ball.voi: 1 VOIs, 515 voxels"));
    EXPECT_TRUE(contains(r.out, "Plugin>  Glomera Plugin finished!\n"));
    const glomera::VoiFileContents contents = glomera::loadVoiFile(folder.file("ball.voi"));
    EXPECT_EQ(contents.vois.at(0).info.name, "Ball");
    EXPECT_EQ(contents.vois.at(0).info.color[2], 3);
}

const char* const kBundledExampleCleaned =
    "  -22.0    -6.0   -18.0     6.0                Amygdala_L     255    0    0\n"
    "   24.0    -4.0   -18.0     6.0                Amygdala_R     255    0    0\n"
    "  -40.5   -60.0    42.0     8.0                     IPS_L       0  128  255\n"
    "   42.3   -58.7    44.1     8.0                     IPS_R       0  128  255\n"
    "   -4.0    50.0    18.0    10.0                      mPFC     255  200    0\n"
    "   36.0    24.0    -4.0     7.0                  Insula_R       0  255    0\n";

TEST_F(HeadlessHostTest, BundledExampleCleansAndBecomesOneVoiPerValidLine) {
    const std::string list = std::string(EXAMPLES_DIR) + "/coordinates.txt";
    const ProgramResult cleaned = run("--quiet --clean " + list);
    EXPECT_EQ(cleaned.status, 0) << cleaned.err;
    EXPECT_EQ(cleaned.out, kBundledExampleCleaned);

    // The log and the account of each line are the reference case host-raw-list; here, the
    // status without --allow-dropped (two lines with coordinates were dropped), the host's
    // load of the file and its spheres.
    const ProgramResult r = run("--raw-list " + list + " -o list.voi");
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_TRUE(contains(r.out, "loaded list.voi: 6 VOIs"));
    const glomera::VoiFileContents contents = glomera::loadVoiFile(folder.file("list.voi"));
    ASSERT_EQ(contents.vois.size(), 6u);
    // Each VOI is the sphere of its cleaned line.
    const float spheres[6][4] = {{-22, -6, -18, 6},         {24, -4, -18, 6}, {-40.5f, -60, 42, 8},
                                 {42.3f, -58.7f, 44.1f, 8}, {-4, 50, 18, 10}, {36, 24, -4, 7}};
    for (int i = 0; i < 6; ++i) {
        std::int32_t count = 0;
        auto voxels = glomera::makeSphereVoxels(spheres[i][0], spheres[i][1], spheres[i][2],
                                                spheres[i][3], &count);
        EXPECT_EQ(
            contents.vois[i].voxels,
            std::vector<std::int32_t>(voxels.get(), voxels.get() + 3 * std::ptrdiff_t{count}));
    }
}

// What the main job makes of the bundled example is compared with tests/reference/ by the
// ReferenceOutputs test; here, how it ends without --allow-dropped.
TEST_F(HeadlessHostTest, MainJobSaysTheTableLostALine) {
    const ProgramResult r =
        run(std::string("--list ") + EXAMPLES_DIR +
            "/mni_table.txt --space mni -o s.voi --nifti s.nii.gz --report s.txt");
    // One peak of the table lies outside the box once in TAL: it is named, the outputs are
    // made without it, and the status tells that the table lost a line.
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_TRUE(contains(r.err,
                         "mni_table.txt line 12: dropped: outside the accepted box: "
                         "z = -50.0 is not within -42..76 (TAL, from MNI 30 -92 -52)\n"));
    EXPECT_EQ(folder.listing(),
              "s.json s.nii.gz s.tsv s.txt s.voi s.voi.json s_ColorLUT.txt s_wb_labels.txt");
    // The report says what made it: this host's command, which names the table.
    const std::string report = readFile(folder.file("s.txt"));
    EXPECT_TRUE(contains(report, "\nMade by:\n  HelmoraZT.exe (Glomera ")) << report;
    EXPECT_TRUE(contains(report, std::string("  command: ") + HEADLESS_HOST + " --list " +
                                     EXAMPLES_DIR + "/mni_table.txt"))
        << report;
    // The README's example: no VOI named for a side meets a JHU region of the other side
    // (the right amygdala met left ones while the JHU file was read by its header).
    EXPECT_TRUE(contains(report,
                         "  JHU white matter: 42 labels named for a side, each on its side of "
                         "x = 0"));
    std::istringstream lines(report.substr(report.find("Where the VOIs lie")));
    std::string line, voi;
    int jhuLines = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("  ", 0) == 0 && line[2] != ' ') voi = line;
        if (line.rfind("      JHU white matter: ", 0) != 0) continue;
        ++jhuLines;
        const char other = voi.back() == 'R' ? 'L' : voi.back() == 'L' ? 'R' : '\0';
        for (const char* end : {" ", ",", ";"}) {
            EXPECT_FALSE(other && contains(line, std::string("_") + other + end)) << voi << line;
        }
    }
    EXPECT_EQ(jhuLines, 9);
    // A JSON report may not take the name of the label table's sidecar.
    const ProgramResult twice = run(std::string("--quiet --allow-dropped --list ") + EXAMPLES_DIR +
                                    "/mni_table.txt --space mni -o t.voi --nifti t.nii.gz "
                                    "--report-json t.json");
    EXPECT_EQ(twice.status, 2);
    EXPECT_TRUE(contains(twice.err,
                         "t.json is asked for twice: as --report-json and as the "
                         "label table's JSON sidecar of --nifti"))
        << twice.err;
    EXPECT_FALSE(fileExists(folder.file("t.voi")));

    // --voi is no option of the host: outputs of an existing file are the toolbox's.
    const ProgramResult again = run("--voi s.voi --report - --nifti t.nii");
    EXPECT_EQ(again.status, 2);
    EXPECT_TRUE(contains(again.err, "--voi")) << again.err;
    EXPECT_FALSE(fileExists(folder.file("t.tsv")));
}

TEST_F(HeadlessHostTest, ExportErrorsExitNonZeroAndLeaveNothing) {
    writeFile(folder.file("bad.voi"), "\r\nFileVersion:                4\n");
    ProgramResult r = run("--sphere 0,0,0,3 -o a.voi --nifti a.nii --grid bad.voi");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "HelmoraZT: bad.voi is not a readable NIfTI image"));
    r = run("--sphere 0,0,0,3 -o a.voi --png missing/p.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "cannot create missing/p.png"));
    EXPECT_EQ(folder.listing(), "a.voi a.voi.json bad.voi");
    // A refused run makes nothing of an older file of the same name.
    r = run("--set Radius=nan --run Start -o a.voi --png p.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "no .voi file to make --nifti, --png or --report of"));
    EXPECT_FALSE(fileExists(folder.file("p.png")));
    r = run("--sphere 0,0,0,1 --png p.png --grid a.nii");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "--grid goes with --nifti"));
}

TEST_F(HeadlessHostTest, WorkedExampleOfTheCleanUp) {
    writeFile(folder.file("in.txt"),
              "x y z radius name r g b\n12,-20.46,5,8,'Amygdala_L',300,-4,128\n\n"
              "Left hemisphere:\n-40.5; -60.04; 70; 25; V1; 0; 255; 255\n"
              "80 0 0 5 FarRight 255 0 0\n10 10 10 5 NoBlue 255 0");
    const ProgramResult r = run("--clean in.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        contains(r.out,
                 "Plugin>  2 valid lines left after cleaning\n"
                 "   12.0   -20.5     5.0     8.0                Amygdala_L     255    0  128\n"
                 "  -40.5   -60.0    70.0    20.0                        V1       0  255  255\n"));
}

TEST_F(HeadlessHostTest, CleanPrintsTheListAndSavesIt) {
    writeFile(folder.file("in.txt"), "x y z\r\n12,-20.46,5,8,'Amygdala_L',300,-4,128\r\n");
    const ProgramResult r = run("--quiet --clean in.txt --save-list out.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string line =
        "   12.0   -20.5     5.0     8.0                Amygdala_L     255    0  128";
    EXPECT_EQ(r.out, line + "\n");
    EXPECT_EQ(readFile(folder.file("out.txt")), line);
}

TEST_F(HeadlessHostTest, WorksUnderTheOtherHostName) {
    std::filesystem::create_hard_link(HEADLESS_HOST, folder.file("Helmora.exe"));
    const ProgramResult r =
        runProgram(folder.path(), folder.file("Helmora.exe"),
                   std::string("--plugin ") + PLUGIN_LIBRARY + " --sphere 1,2,3,1 -o a.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "loaded a.voi: 1 VOIs, 7 voxels"));
}

TEST_F(HeadlessHostTest, FindsThePluginBesideItselfOrInItsPrefixsPluginFolder) {
    // An installed prefix: the host in bin/, the plug-in in lib/glomera/.
    namespace fs = std::filesystem;
    const std::string bin = folder.file("prefix/bin"), plugins = folder.file("prefix/lib/glomera");
    fs::create_directories(bin);
    fs::create_directories(plugins);
    fs::copy_file(HEADLESS_HOST, bin + "/HelmoraZT.exe");
    fs::copy_file(PLUGIN_LIBRARY, plugins + "/Glomera.so");
    ProgramResult r =
        runProgram(folder.path(), bin + "/HelmoraZT.exe", "--sphere 1,2,3,1 -o a.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "loaded a.voi: 1 VOIs, 7 voxels")) << r.out;
    // One beside the host comes first, as in a build tree.
    fs::copy_file(HEADLESS_HOST, folder.file("HelmoraZT.exe"));
    fs::create_symlink(PLUGIN_LIBRARY, folder.file("Glomera.so"));
    r = runProgram(folder.path(), folder.file("HelmoraZT.exe"), "--sphere 1,2,3,1 -o b.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    // Nowhere: a usage error that names both places and the way out.
    fs::remove(plugins + "/Glomera.so");
    r = runProgram(folder.path(), bin + "/HelmoraZT.exe", "--sphere 1,2,3,1 -o c.voi");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "HelmoraZT: no plug-in: there is no " + bin + "/Glomera.so nor " +
                                    plugins + "/Glomera.so; name the plug-in with --plugin PATH"))
        << r.err;
    EXPECT_FALSE(fileExists(folder.file("c.voi")));
    // The version needs no plug-in.
    r = runProgram(folder.path(), bin + "/HelmoraZT.exe", "--version");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out.rfind(std::string("HelmoraZT.exe (Glomera) ") + GLOMERA_PROJECT_VERSION + "\n", 0),
        0u)
        << r.out;
}

TEST_F(HeadlessHostTest, AnyOtherProgramNameIsNoHost) {
    std::filesystem::copy_file(HEADLESS_HOST, folder.file("other.exe"));
    const ProgramResult r =
        runProgram(folder.path(), folder.file("other.exe"),
                   std::string("--plugin ") + PLUGIN_LIBRARY + " --sphere 1,2,3,1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "the plug-in did not start"));
    EXPECT_EQ(r.out.find("Plugin>"), std::string::npos);
}

TEST_F(HeadlessHostTest, StartUpFailuresExitNonZero) {
    ProgramResult r = run("--host-version 2.1.9 --sphere 0,0,0,1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err,
                         "[message box] Can not execute this plugin - HelmoraZT version "
                         "2.2 or higher required."));
    r = run("--document-type 1 --sphere 0,0,0,1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "not a VMR document"));
    EXPECT_EQ(folder.listing(), "");
}

TEST_F(HeadlessHostTest, YesNoQuestionFollowsTheFlag) {
    ProgramResult r = run("--header reference-space=0 --sphere 0,0,0,1 -o q.voi");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err,
                         "[yes/no] VMR properties don't indicate TAL space. Do you want to "
                         "continue? -> No"));
    EXPECT_TRUE(contains(r.err, "command \"Start\" returned false"));
    EXPECT_FALSE(fileExists(folder.file("q.voi")));
    r = run("--yes --header reference-space=0 --header resolution=2 --sphere 0,0,0,1 -o q.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(readFile(folder.file("q.voi")), "OriginalVMRResolutionY:     2\r\n"));
}

TEST_F(HeadlessHostTest, RefusedOrFailedWorkExitsNonZero) {
    ProgramResult r = run("--set Radius=nan --run Start");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "[message box] The centre and the radius"));
    r = run("--sphere 0,0,0,1 -o missing/a.voi");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.out,
                         "Error while writing VOI file\nPlugin>  Could not write the VOI "
                         "file \"missing/a.voi\": No such file or directory\n"));
    EXPECT_TRUE(contains(r.err, "the plug-in wrote no VOI file"));
    r = run("--list missing.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "HelmoraZT: cannot read missing.txt: No such file or directory"));
    // A save dialog without an answer is cancelled.
    r = run("--run SaveTextFile");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "[file dialog] Select a text filename to save -> (cancelled)"));
    EXPECT_TRUE(contains(r.err, "[message box] Error saving file"));
}

TEST_F(HeadlessHostTest, SetAndRunDriveAnyCommand) {
    const ProgramResult r =
        run("--quiet --set 'VOItext=1 2 3 4 n 5 6 7' --run CleanUpText --run Nope "
            "--print VOItext");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "    1.0     2.0     3.0     4.0                         n       5    6    7\n");
}

TEST_F(HeadlessHostTest, UsageErrorsAndHelp) {
    ProgramResult r = run("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* option :
         {"--sphere", "--list",         "--clean",       "--save-list",     "--run",
          "--set",    "--open-file",    "--save-file",   "--yes",           "--plugin",
          "--header", "--host-version", "--document-id", "--document-type", "--print",
          "--nifti",  "--grid",         "--png",         "--report",        "--report-json",
          "--html",   "Exit status"}) {
        EXPECT_TRUE(contains(r.out, option)) << option;
    }
    EXPECT_FALSE(contains(r.out, "--voi"));
    // Every form the command line refuses, with the option named and exit status 2.
    const struct {
        const char* arguments;
        const char* message;
    } refused[] = {
        {"--bogus", "--bogus"},
        {"--sphere", "--sphere"},
        {"--set novalue", "--set: wants NAME=VALUE, not \"novalue\""},
        {"--set =1", "--set: wants NAME=VALUE"},
        {"--header offset", "--header: wants FIELD=VALUE"},
        {"--header colour=1", "unknown --header field \"colour\""},
        {"--header offset=1.5", "--header offset: wants a whole number"},
        {"--header resolution=abc", "--header resolution: wants a number, not \"abc\""},
        {"--host-version 2.2", "--host-version: wants MAJOR.MINOR.REVISION, not \"2.2\""},
        {"--host-version 2.2.x", "--host-version: wants"},
        {"--document-id 1.5", "--document-id: wants a whole number"},
        {"--document-type ''", "--document-type: wants a whole number"},
        {"--color 1,2", "--color: wants R,G,B"},
        {"--color 1,2,256", "--color: wants R,G,B"},
        {"--sphere 1,2,3 ", "--sphere: wants X,Y,Z,R"},
        {"unexpected", "unexpected"},
    };
    for (const auto& c : refused) {
        r = run(c.arguments);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_TRUE(contains(r.err, c.message)) << c.arguments << ": " << r.err;
        EXPECT_EQ(r.out.find("Plugin>"), std::string::npos) << c.arguments;
    }
    r = run("--plugin /nonexistent/Glomera.so");
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(contains(r.err, "--help"));
}

TEST_F(HeadlessHostTest, ListReadsAnSpmTableWithoutInventingSpheres) {
    const std::string spm = std::string(TABLES_DIR) + "/spm_results_window.txt";
    ProgramResult r = run("--quiet --list " + spm + " --space mni -o spm.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    const glomera::VoiFileContents contents = glomera::loadVoiFile(folder.file("spm.voi"));
    ASSERT_EQ(contents.vois.size(), 7u);
    EXPECT_EQ(contents.vois[0].info.name, "cluster1_peak1");
    EXPECT_EQ(contents.vois[6].info.name, "cluster4_peak1");
    // The footer ("FWHM = 9.3 9.6 9.1 {mm}", "Voxel size: 2.0 2.0 2.0 ...") makes none.
    EXPECT_TRUE(contains(r.err,
                         "7 VOIs from 23 lines; 0 of 7 peaks dropped (SPM results table, "
                         "UTF-8)"))
        << r.err;
    // A space that contradicts the table's own is a usage error; so a binary is no table.
    r = run("--quiet --list " + std::string(TABLES_DIR) + "/gingerale_tal.txt --space mni");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "--space mni, but the table gives TAL coordinates")) << r.err;
    writeFile(folder.file("noise.txt"), std::string(5000, '\x01'));
    r = run("--quiet --list noise.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "noise.txt: not text: 5,000 of its 5,000 characters")) << r.err;
    EXPECT_EQ(folder.listing(), "noise.txt spm.voi spm.voi.json");
}

TEST_F(HeadlessHostTest, TablesThatMakeNoVoiOrLoseLinesSaySo) {
    writeFile(folder.file("words.txt"), "Table 1\nno peaks here\n");
    ProgramResult r = run("--quiet --list words.txt");
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(contains(r.err, "words.txt: 0 VOIs from 2 lines; 0 of 0 peaks dropped"));
    EXPECT_EQ(folder.listing(), "words.txt");
    // A table whose every line is fine exits 0 and names nothing dropped.
    writeFile(folder.file("fine.txt"), "x y z\r\n10 10 10\r\n");
    r = run("--quiet --list fine.txt --radius 3 --color 1,2,3 -o fine.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    const glomera::VoiFileContents contents = glomera::loadVoiFile(folder.file("fine.voi"));
    ASSERT_EQ(contents.vois.size(), 1u);
    EXPECT_EQ(contents.vois[0].info.voxelCount, 123);  // a sphere of radius 3
    EXPECT_EQ(contents.vois[0].info.color[2], 3);
    // An MNI sphere from the command line lands at its TAL centre.
    r = run("--space mni --sphere 10,20,30,2 -o m.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "HelmoraZT: MNI 10 20 30 is TAL 7.9 14.2 32.8 (spm)"));
    EXPECT_TRUE(contains(r.out, "Plugin>  Added VOI at TAL (7.9, 14.2, 32.8) with 2.0 mm radius"));
    for (const char* option :
         {"--space icbm", "--mni-to-tal lancaster", "--radius 0", "--radius abc"}) {
        r = run(std::string(option) + " --sphere 0,0,0,1");
        EXPECT_EQ(r.status, 2) << option;
    }
}

TEST_F(HeadlessHostTest, NumericOptionsRefuseWhatIsNotANumber) {
    // Each of these once became a sphere somewhere: a typographic minus, words, trailing
    // text, an overflow, empty fields.
    for (const char* sphere : {"'\342\210\22222,-6,-18,6'", "abc,0,0,5", "'',0,0,5", "22x,0,0,5",
                               "1e400,0,0,5", "',,,'", "0,0,0,1e39", "0,0,0,inf"}) {
        const ProgramResult r = run(std::string("--sphere ") + sphere + " -o s.voi");
        EXPECT_EQ(r.status, 2) << sphere;
        EXPECT_TRUE(contains(r.err, "--sphere: wants X,Y,Z,R: four numbers, not")) << r.err;
    }
    EXPECT_EQ(folder.listing(), "");
    // Spaces and signs a shell user types stay fine.
    const ProgramResult r = run("--quiet --sphere +1,-2.5,.5,3 -o s.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(folder.listing(), "s.voi s.voi.json");
}

}  // namespace
