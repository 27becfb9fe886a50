// End to end: the toolbox program on files the host stand-in wrote.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/test_files.h"
#include "voikit/io/sha256.h"
#include "voikit/space/atlas.h"
#include "voikit/space/nifti_file.h"

namespace {

// A NIfTI volume's sizes and voxel bytes, whatever its header extensions say.
std::string voxelsOf(const std::string& path) {
    const voikit::NiftiImage image(nifti_image_read(path.c_str(), 1));
    if (!image) return "unreadable " + path;
    return std::to_string(image->nx) + "x" + std::to_string(image->ny) + "x" +
           std::to_string(image->nz) + ":" +
           std::string(static_cast<const char*>(image->data), image->nvox * image->nbyper);
}

// The provenance JSON in a NIfTI volume's comment extension.
nlohmann::json provenanceIn(const std::string& path) {
    const voikit::NiftiImage volume(nifti_image_read(path.c_str(), 0));
    if (!volume || volume->num_ext != 1) return nullptr;
    const nifti1_extension& extension = volume->ext_list[0];
    return nlohmann::json::parse(
        std::string(extension.edata, static_cast<std::size_t>(extension.esize - 8)).c_str());
}

// The text before `mark`, or all of it.
std::string before(const std::string& text, const std::string& mark) {
    return text.substr(0, text.find(mark));
}

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
    // Every file written is named.
    EXPECT_TRUE(contains(r.err,
                         "glomera-voi: wrote labels.nii.gz (109 x 138 x 87, 1 mm grid), "
                         "labels.tsv, labels.json, labels_ColorLUT.txt and "
                         "labels_wb_labels.txt from s.voi\n"))
        << r.err;
    r = run("png s.voi p.png --quiet");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = run("report s.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "VOIs of s.voi: 6\n"));
    EXPECT_TRUE(contains(r.out, "Overlaps: none\n"));
    // What each atlas's names say of sides, and how the JHU file's x axis was read.
    EXPECT_TRUE(contains(r.out, "  AAL: 108 labels named for a side, each on its side of x = 0"));
    EXPECT_TRUE(contains(r.out,
                         "  JHU white matter: 42 labels named for a side, each on its side of "
                         "x = 0; 6 labels without a side; x read as 90 - i, FSL's layout"));
    EXPECT_TRUE(contains(r.out,
                         "  AICHA: its names say no side: 192 of 192 labels reach into both "
                         "hemispheres\n"));
    EXPECT_EQ(run("report s.voi --atlas-sides sometimes").status, 2);
    r = run("report s.voi r.json --json");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(readFile(folder.file("r.json")), "\"name\": \"mPFC\""));
    EXPECT_EQ(folder.listing(),
              "labels.json labels.nii.gz labels.tsv labels_ColorLUT.txt labels_wb_labels.txt p.png "
              "r.json s.voi s.voi.json");
}

TEST_F(GlomeraVoiTest, OneCommandMakesWhatTheSeparateCommandsMake) {
    ASSERT_EQ(run("nifti s.voi a.nii.gz -q").status, 0);
    ASSERT_EQ(run("png s.voi a.png -q").status, 0);
    ASSERT_EQ(run("report s.voi a.txt -q").status, 0);
    const ProgramResult r =
        run("outputs s.voi --nifti b.nii.gz --png b.png --report b.txt --report-json "
            "b_report.json");
    ASSERT_EQ(r.status, 0) << r.err;
    // Said in the order of the separate commands, whatever finished first.
    const std::size_t nifti = r.err.find("wrote b.nii.gz"), png = r.err.find("wrote b.png"),
                      report = r.err.find("wrote b.txt");
    ASSERT_NE(report, std::string::npos) << r.err;
    EXPECT_LT(nifti, png);
    EXPECT_LT(png, report);
    EXPECT_EQ(readFile(folder.file("b.png")), readFile(folder.file("a.png")));
    EXPECT_EQ(readFile(folder.file("b.tsv")), readFile(folder.file("a.tsv")));
    EXPECT_EQ(voxelsOf(folder.file("b.nii.gz")), voxelsOf(folder.file("a.nii.gz")));
    const std::string one = readFile(folder.file("b.txt")), apart = readFile(folder.file("a.txt"));
    EXPECT_EQ(before(one, "\nMade by:\n"), before(apart, "\nMade by:\n"));
    // The sidecars describe the same columns; each says which command made it.
    nlohmann::json columnsOne = nlohmann::json::parse(readFile(folder.file("b.json")));
    nlohmann::json columnsApart = nlohmann::json::parse(readFile(folder.file("a.json")));
    EXPECT_TRUE(contains(columnsOne["provenance"].at("command_line"), " outputs s.voi --nifti"));
    EXPECT_TRUE(contains(columnsApart["provenance"].at("command_line"), " nifti s.voi a.nii.gz"));
    columnsOne.erase("provenance");
    columnsApart.erase("provenance");
    EXPECT_EQ(columnsOne, columnsApart);
    EXPECT_TRUE(contains(readFile(folder.file("b_report.json")), "\"name\": \"mPFC\""));
    // Each says which command made it.
    EXPECT_TRUE(contains(one, std::string("  command: ") + GLOMERA_VOI + " outputs s.voi --nifti"))
        << one;
    EXPECT_TRUE(
        contains(apart, std::string("  command: ") + GLOMERA_VOI + " report s.voi a.txt -q"))
        << apart;
}

// Two outputs of one name would leave the later in place of the earlier: refused before
// anything is made, naming both.
TEST_F(GlomeraVoiTest, OneFileAskedForTwiceIsRefusedBeforeAnyOutput) {
    const struct {
        const char* options;
        const char* why;
    } cases[] = {
        {"--report p.html --html p.html", "p.html is asked for twice: as --report and as --html"},
        {"--nifti v.nii.gz --report-json v.json",
         "v.json is asked for twice: as --report-json and as the label table's JSON sidecar of "
         "--nifti"},
        {"--nifti v.nii --png ./v_ColorLUT.txt",
         "v_ColorLUT.txt is asked for twice: as --png and as the colour table of --nifti"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = run(std::string("outputs s.voi ") + c.options);
        EXPECT_EQ(r.status, 2) << c.options;
        EXPECT_TRUE(contains(r.err, c.why)) << r.err;
        EXPECT_EQ(folder.listing(), "s.voi s.voi.json") << c.options;
    }
}

TEST_F(GlomeraVoiTest, AnAtlasThatCannotBeReadStopsEveryOutput) {
    writeFile(folder.file("atlas.nii"), "not an image");
    const ProgramResult r =
        run("outputs s.voi --nifti b.nii.gz --png b.png --report b.txt "
            "--atlas atlas.nii");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "atlas.nii")) << r.err;
    EXPECT_EQ(folder.listing(), "atlas.nii s.voi s.voi.json");
    // Asking for nothing is a usage error.
    const ProgramResult none = run("outputs s.voi");
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(contains(none.err, "ask for at least one of --nifti")) << none.err;
}

TEST_F(GlomeraVoiTest, ViewWritesOnePageBesideTheFileOrWhereAsked) {
    ProgramResult r = run("view s.voi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "glomera-voi: wrote s.html (")) << r.err;
    const std::string page = readFile(folder.file("s.html"));
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_TRUE(contains(page, "<title>VOIs of s.voi</title>"));
    EXPECT_TRUE(contains(page, "\"name\":\"AAL\""));
    r = run("view s.voi -o p.html --no-atlas --radiological -q");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string plain = readFile(folder.file("p.html"));
    EXPECT_TRUE(contains(plain, "\"radiological\":true"));
    EXPECT_TRUE(contains(plain, "\"atlases\":[]"));
    r = run("outputs s.voi --html o.html --png o.png");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "wrote o.html (")) << r.err;
    EXPECT_EQ(folder.listing(), "o.html o.png p.html s.html s.voi s.voi.json");

    // A template or an atlas that cannot be read leaves no page.
    writeFile(folder.file("atlas.nii"), "not an image");
    r = run("view s.voi -o bad.html --atlas atlas.nii");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "atlas.nii")) << r.err;
    r = run("outputs s.voi --html bad.html --brain missing.nii.gz");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "the MNI template missing.nii.gz, which is missing")) << r.err;
    // A file that cannot be read is exit status 1, whichever command was given it.
    r = run("view s.voi --brain missing.nii.gz");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "the MNI template missing.nii.gz, which is missing")) << r.err;
    EXPECT_FALSE(fileExists(folder.file("bad.html")));
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
    for (const char* command : {"import", "info", "nifti", "png", "report", "view", "outputs"}) {
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
        {"nifti s.voi out.img", 1, "out.img: a NIfTI volume's name ends with .nii or .nii.gz"},
        {"png s.voi none/p.png", 1, "cannot create none/p.png"},
        {"nifti s.voi o.nii --grid s.voi", 1, "s.voi is not a readable NIfTI image"},
    };
    for (const auto& c : refused) {
        r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments;
        EXPECT_TRUE(contains(r.err, c.message)) << c.arguments << ": " << r.err;
    }
    writeFile(folder.file("bad.voi"), "\r\nFileVersion:                4\r\nReference\r\n");
    r = run("info bad.voi");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "glomera-voi: bad.voi: line 3 should be empty"));
    EXPECT_EQ(folder.listing(), "bad.voi s.voi s.voi.json");
}

TEST_F(GlomeraVoiTest, EveryReportAndLabelTableSaysWhatMadeIt) {
    ASSERT_EQ(run("outputs s.voi --nifti v.nii.gz --report r.txt --report-json r.json "
                  "--mni-to-tal fsl --atlas aal -q")
                  .status,
              0);
    const std::string aal = std::string(voikit::kTemplateFolder) + "/aal.nii.gz";
    const voikit::FileChecksum atlas = voikit::sha256OfFile(aal);
    const std::string atlasLine = "atlas AAL image: " + aal + ", " + std::to_string(atlas.bytes) +
                                  " bytes, SHA-256 " + atlas.sha256;
    const std::string command = std::string("command: ") + GLOMERA_VOI +
                                " outputs s.voi --nifti v.nii.gz --report r.txt --report-json "
                                "r.json --mni-to-tal fsl --atlas aal -q";
    const std::string voiLine =
        "VOI file: s.voi, " + std::to_string(readFile(folder.file("s.voi")).size()) + " bytes";
    // The text report ends with it; the colour table opens with it as comments.
    const std::string text = readFile(folder.file("r.txt"));
    const std::string made = text.substr(text.find("\nMade by:\n"));
    for (const std::string& line :
         {std::string("  glomera-voi (Glomera "), "  " + command,
          std::string("  transform between TAL and MNI: fsl"), "  " + voiLine, "  " + atlasLine,
          std::string("  brain template: ")}) {
        EXPECT_TRUE(contains(made, line)) << line << "\n" << made;
    }
    EXPECT_FALSE(contains(made, "Brodmann")) << "only the atlas asked for";
    const std::string lut = readFile(folder.file("v_ColorLUT.txt"));
    EXPECT_EQ(lut.rfind("# glomera-voi (Glomera ", 0), 0u) << lut;
    EXPECT_TRUE(contains(lut, "\n# " + command +
                                  "\n# transform between TAL and MNI: fsl\n# input space of the "
                                  "VOIs: TAL\n# " +
                                  voiLine + "\n"))
        << lut;
    EXPECT_TRUE(contains(lut, "\n#No. Label Name"));
    EXPECT_EQ(readFile(folder.file("v.tsv")).rfind("index\tname\t", 0), 0u);
    // The JSON report and the volume's comment extension carry the same, for scripts.
    const nlohmann::json report = nlohmann::json::parse(readFile(folder.file("r.json")));
    const nlohmann::json& provenance = report.at("provenance");
    EXPECT_EQ(provenance.at("program"), "glomera-voi");
    EXPECT_EQ(provenance.at("transform"), "fsl");
    EXPECT_EQ(provenance.at("inputs").at(1).at("path"), aal);
    EXPECT_EQ(provenance.at("inputs").at(1).at("sha256"), atlas.sha256);
    const voikit::NiftiImage volume(nifti_image_read(folder.file("v.nii.gz").c_str(), 0));
    ASSERT_TRUE(volume);
    ASSERT_EQ(volume->num_ext, 1);
    EXPECT_EQ(volume->ext_list[0].ecode, NIFTI_ECODE_COMMENT);
    EXPECT_EQ(provenanceIn(folder.file("v.nii.gz")), provenance);
    // So does the label table's sidecar, beside its columns.
    const nlohmann::json sidecar = nlohmann::json::parse(readFile(folder.file("v.json")));
    EXPECT_EQ(sidecar.at("provenance"), provenance);
    EXPECT_EQ(sidecar.at("index").at("LongName"), "Label");
}

TEST_F(GlomeraVoiTest, VolumesFromPeaksAndMasksSayWhatMadeThem) {
    const std::string table = std::string(EXAMPLES_DIR) + "/mni_table.txt";
    ASSERT_EQ(run("nifti --peaks " + table + " --space mni --grid mni2mm p.nii.gz -q").status, 0);
    ASSERT_EQ(run("nifti s.voi m.nii.gz --one-per-voi --grid mni2mm --mni-to-tal brett -q").status,
              0);
    const nlohmann::json peaks = provenanceIn(folder.file("p.nii.gz"));
    ASSERT_FALSE(peaks.is_null());
    EXPECT_EQ(peaks.at("inputs").size(), 1u) << "a named grid is no file";
    EXPECT_EQ(peaks.at("inputs").at(0).at("role"), "table of peaks");
    EXPECT_EQ(peaks.at("inputs").at(0).at("sha256"), voikit::sha256OfFile(table).sha256);
    EXPECT_TRUE(contains(readFile(folder.file("p_ColorLUT.txt")), "\n# table of peaks: " + table));
    EXPECT_EQ(nlohmann::json::parse(readFile(folder.file("p.json"))).at("provenance"), peaks);
    const nlohmann::json masks = provenanceIn(folder.file("m.nii.gz"));
    ASSERT_FALSE(masks.is_null());
    EXPECT_EQ(masks.at("transform"), "brett");
    EXPECT_EQ(masks.at("inputs").at(0).at("path"), "s.voi");
    EXPECT_TRUE(contains(masks.at("command_line"), " nifti s.voi m.nii.gz --one-per-voi"));
}

TEST_F(GlomeraVoiTest, MethodsParagraphWithOrWithoutAReport) {
    ProgramResult r = run("report --methods --mni-to-tal brett --atlas aicha");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Methods\n\nVolumes of interest (VOIs) were described with Glomera ", 0),
              0u)
        << r.out;
    EXPECT_TRUE(contains(r.out, "(mni2tal; Brett et al., 2002)"));
    EXPECT_TRUE(contains(r.out, "AICHA atlas (Joliot et al., 2015)"));
    EXPECT_TRUE(contains(r.out, "\nJoliot M, Jobard G, "));
    EXPECT_FALSE(contains(r.out, "mirrored")) << r.out;
    // The JHU file of mricron-data is known by its checksum as read with its x axis mirrored,
    // with or without a report whose atlases were read.
    r = run("report --methods --atlas jhu");
    EXPECT_TRUE(contains(r.out,
                         "The header of the file of the JHU white-matter labels swaps left "
                         "and right"))
        << r.out;
    r = run("report s.voi --methods --atlas jhu --atlas aal");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "\n  JHU white matter: ") && contains(r.out, "; x read as 90 - i"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "the image was read with the x axis mirrored")) << r.out;
    r = run("report s.voi --methods --no-atlas");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("VOIs of s.voi: 6\n", 0), 0u);
    EXPECT_LT(r.out.find("\nMade by:\n"), r.out.find("\nMethods\n\n"));
    r = run("report s.voi --methods --json --no-atlas");
    EXPECT_EQ(r.status, 0) << r.err;
    const nlohmann::json json = nlohmann::json::parse(r.out);
    // The spheres were TAL, as the record beside the file says: nothing was converted.
    EXPECT_FALSE(contains(json.at("methods").at("paragraph"), "icbm_spm2tal"));
    EXPECT_TRUE(contains(json.at("methods").at("paragraph"), "used as given"));
    EXPECT_EQ(json.at("methods").at("references").size(), 1u);
    r = run("report --methods --json");
    EXPECT_EQ(nlohmann::json::parse(r.out).at("references").size(), 10u);
    // A report needs its file.
    r = run("report");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "report: FILE.voi is required (or --methods alone")) << r.err;
}

TEST_F(GlomeraVoiTest, VersionNamesTheRelease) {
    const ProgramResult r = run("--version");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out.rfind(std::string("glomera-voi (Glomera) ") + GLOMERA_PROJECT_VERSION + "\n", 0), 0u)
        << r.out;
}

// A file saved with LF line ends, as editors on Linux may: the toolbox reads it and says
// so; the host stand-in's load-back check stays with the format's CR LF.
TEST_F(GlomeraVoiTest, FilesWithLfLineEndsAreReadWithAWarning) {
    std::string text;
    for (char c : readFile(folder.file("s.voi"))) {
        if (c != '\r') text += c;
    }
    writeFile(folder.file("lf.voi"), text);
    ProgramResult r = run("info lf.voi --quiet");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "lf.voi: 6 VOIs, ")) << r.out;
    EXPECT_TRUE(contains(r.err,
                         "glomera-voi: lf.voi: its lines end with LF alone, not CR LF as the "
                         ".voi format has it; read all the same, but the host loads only CR "
                         "LF files\n"))
        << r.err;
    r = run("report lf.voi lf.txt --no-atlas");
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(run("report s.voi s.txt --no-atlas -q").status, 0);
    // The same report but for the file's name and size in its first line and its record.
    const auto body = [](const std::string& report) {
        const std::size_t start = report.find('\n');
        return report.substr(start, report.find("\nMade by:\n") - start);
    };
    EXPECT_EQ(body(readFile(folder.file("lf.txt"))), body(readFile(folder.file("s.txt"))));
    EXPECT_TRUE(contains(r.err, "lf.voi: its lines end with LF alone")) << r.err;
    // A file the plug-in wrote never draws the warning.
    EXPECT_FALSE(contains(run("info s.voi").err, "LF alone"));
}

}  // namespace
