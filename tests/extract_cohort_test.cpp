// The input-space record beside each .voi file, the methods that rest on it, BIDS derivative
// trees as extract's input, the dry run, the sidecars and names that are UTF-8 everywhere.
#include <gtest/gtest.h>
#include <nifti2_io.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/test_files.h"
#include "tests/test_images.h"
#include "voikit/extract/batch.h"
#include "voikit/extract/bids_derivatives.h"
#include "voikit/extract/extraction_sidecar.h"
#include "voikit/io/error.h"
#include "voikit/io/sha256.h"
#include "voikit/io/utf8.h"
#include "voikit/provenance/input_space.h"
#include "voikit/provenance/methods.h"

namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

nlohmann::json readJson(const std::string& path) { return nlohmann::json::parse(readFile(path)); }

// .voi files made by the host stand-in, as a researcher makes them.
class InputSpaceRecord : public testing::Test {
  protected:
    ProgramResult host(const std::string& arguments) {
        return runProgram(folder.path(), HEADLESS_HOST, "--quiet " + arguments);
    }
    TempFolder folder;
};

TEST_F(InputSpaceRecord, WrittenBesideEachVoiAndReadBackAsMadeFrom) {
    writeFile(folder.file("mni.txt"),
              "MNI coordinates\nx y z name\n-22 -6 -18 Amygdala_L\n40 -60 42 IPS_R\n");
    ASSERT_EQ(host("--list mni.txt --space mni --mni-to-tal fsl --radius 8 -o mni.voi").status, 0);
    voikit::InputSpaceReading read = voikit::readInputSpaceRecord(folder.file("mni.voi"));
    ASSERT_TRUE(read.record) << read.why;
    EXPECT_EQ(read.record->space, voikit::Space::kMni);
    EXPECT_EQ(read.record->transform, voikit::MniToTal::kFsl);
    ASSERT_TRUE(read.record->source);
    EXPECT_EQ(read.record->source->sha256, voikit::sha256Of(readFile(folder.file("mni.txt"))));
    ASSERT_EQ(read.record->spheres.size(), 2u);
    EXPECT_EQ(read.record->spheres[1].name, "IPS_R");
    EXPECT_EQ(read.record->spheres[1].written, (voikit::Point{40, -60, 42}));
    EXPECT_EQ(read.record->spheres[1].radius, 8);
    const voikit::Point tal = voikit::mniToTal({40, -60, 42}, voikit::MniToTal::kFsl);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(read.record->spheres[1].tal[a], tal[a], 1e-9);
    EXPECT_EQ(voikit::inputSpaceWords(read.record), "MNI (converted to TAL with fsl)");

    // A plug-in list is TAL by its format; a sphere typed as TAL needs no transform.
    writeFile(folder.file("list.txt"), "0 0 0 3 Centre 255 0 0\n");
    ASSERT_EQ(host("--raw-list list.txt -o tal.voi").status, 0);
    read = voikit::readInputSpaceRecord(folder.file("tal.voi"));
    ASSERT_TRUE(read.record) << read.why;
    EXPECT_EQ(read.record->space, voikit::Space::kTal);
    EXPECT_FALSE(read.record->transform);
    ASSERT_EQ(host("--sphere 10,20,30,5 --space mni -o one.voi").status, 0);
    read = voikit::readInputSpaceRecord(folder.file("one.voi"));
    ASSERT_TRUE(read.record) << read.why;
    ASSERT_EQ(read.record->spheres.size(), 1u);
    EXPECT_EQ(read.record->spheres[0].written, (voikit::Point{10, 20, 30}));
    EXPECT_EQ(read.record->transform, voikit::MniToTal::kSpm);
}

TEST_F(InputSpaceRecord, NotBelievedWhenMissingBrokenOrOfAnotherFile) {
    writeFile(folder.file("list.txt"), "0 0 0 3 Centre 255 0 0\n");
    ASSERT_EQ(host("--raw-list list.txt -o a.voi").status, 0);
    ASSERT_EQ(host("--sphere 5,5,5,4 -o b.voi").status, 0);
    const std::string a = folder.file("a.voi");
    // Another file copied over a.voi: its record no longer describes it.
    fs::copy_file(folder.file("b.voi"), a, fs::copy_options::overwrite_existing);
    voikit::InputSpaceReading read = voikit::readInputSpaceRecord(a);
    EXPECT_FALSE(read.record);
    EXPECT_TRUE(contains(read.why, "describes another version")) << read.why;
    EXPECT_TRUE(contains(read.why, "Talairach")) << read.why;
    writeFile(voikit::inputSpaceRecordPath(a), "{\"format\": ");
    EXPECT_TRUE(contains(voikit::readInputSpaceRecord(a).why, "not readable JSON"));
    writeFile(voikit::inputSpaceRecordPath(a), "{\"format\": \"something else\"}");
    EXPECT_TRUE(contains(voikit::readInputSpaceRecord(a).why, "no input-space record"));
    fs::remove(voikit::inputSpaceRecordPath(a));
    read = voikit::readInputSpaceRecord(a);
    EXPECT_FALSE(read.record);
    EXPECT_TRUE(contains(read.why, "has no input-space record")) << read.why;
    EXPECT_EQ(voikit::inputSpaceWords(std::nullopt), "TAL (no input-space record)");

    // A record that contradicts itself is refused by what is wrong.
    voikit::InputSpaceRecord record;
    record.space = voikit::Space::kMni;
    record.spheres.push_back({"x", voikit::Space::kMni, {}, {}, 6});
    nlohmann::json json = voikit::inputSpaceJson(record);
    EXPECT_THROW(voikit::inputSpaceFromJson(json), voikit::Error);  // MNI without a transform
    record.transform = voikit::MniToTal::kBrett;
    json = voikit::inputSpaceJson(record);
    EXPECT_EQ(voikit::inputSpaceFromJson(json).transform, voikit::MniToTal::kBrett);
    json["input_space"] = "tal";
    EXPECT_THROW(voikit::inputSpaceFromJson(json), voikit::Error);
}

// A small .voi file is known by its checksum, so that a copy elsewhere keeps its record; a
// large one by its size and modification time, which cost no second reading of the file.
TEST_F(InputSpaceRecord, SmallFilesByChecksumLargeOnesByTime) {
    writeFile(folder.file("list.txt"), "0 0 0 3 Centre 255 0 0\n");
    ASSERT_EQ(host("--raw-list list.txt -o small.voi").status, 0);
    fs::create_directory(folder.file("copy"));
    fs::copy_file(folder.file("small.voi"), folder.file("copy/small.voi"));
    fs::copy_file(folder.file("small.voi.json"), folder.file("copy/small.voi.json"));
    const auto later = fs::last_write_time(folder.file("small.voi")) + std::chrono::seconds(5);
    fs::last_write_time(folder.file("copy/small.voi"), later);
    const voikit::InputSpaceReading copied =
        voikit::readInputSpaceRecord(folder.file("copy/small.voi"));
    EXPECT_TRUE(copied.record) << copied.why;

    const std::string large = folder.file("large.voi");
    writeFile(large, std::string(voikit::kVoiChecksummedUpTo + 1, 'v'));
    voikit::writeInputSpaceRecord(large, {});
    const nlohmann::json json = readJson(voikit::inputSpaceRecordPath(large));
    EXPECT_TRUE(json["voi_file"]["sha256"].is_null());
    EXPECT_EQ(json["voi_file"]["bytes"], voikit::kVoiChecksummedUpTo + 1);
    EXPECT_EQ(json["voi_file"]["modified"].get<std::string>().size(), 30u);
    voikit::InputSpaceReading read = voikit::readInputSpaceRecord(large);
    EXPECT_TRUE(read.record) << read.why;

    // Rewritten with other bytes of the same size: only its time tells.
    writeFile(large, std::string(voikit::kVoiChecksummedUpTo + 1, 'w'));
    fs::last_write_time(large, fs::last_write_time(large) + std::chrono::seconds(5));
    read = voikit::readInputSpaceRecord(large);
    EXPECT_FALSE(read.record);
    EXPECT_TRUE(contains(read.why, "(its modification time differs)")) << read.why;
    writeFile(large, "short");
    EXPECT_TRUE(contains(voikit::readInputSpaceRecord(large).why, "(its size differs)"));
}

// The methods paragraph says what was done to the coordinates, and cites only what was used.
TEST(MethodsOfTheInput, ConversionOnlyForMniInputWithRadiiAndVoxels) {
    voikit::MethodsChoices choices;
    choices.anatomy = false;
    choices.voxelCounts = {515, 925};
    voikit::Methods methods = voikit::methodsFor(choices);
    EXPECT_TRUE(contains(methods.paragraph, "taken to be in Talairach space")) << methods.paragraph;
    EXPECT_TRUE(contains(methods.paragraph, "from 515 to 925 voxels")) << methods.paragraph;
    EXPECT_FALSE(contains(methods.paragraph, "converted")) << methods.paragraph;
    EXPECT_EQ(methods.references.size(), 1u);

    voikit::InputSpaceRecord record;
    record.space = voikit::Space::kMni;
    record.transform = voikit::MniToTal::kFsl;
    record.spheres = {{"a", voikit::Space::kMni, {}, {}, 6},
                      {"b", voikit::Space::kMni, {}, {}, 10}};
    choices.input = record;
    methods = voikit::methodsFor(choices);
    EXPECT_TRUE(contains(methods.paragraph, "converted to Talairach space")) << methods.paragraph;
    EXPECT_TRUE(contains(methods.paragraph, "icbm_fsl2tal")) << methods.paragraph;
    EXPECT_TRUE(contains(methods.paragraph, "radius from 6 to 10 mm")) << methods.paragraph;
    EXPECT_EQ(methods.references.size(), 2u);

    // Mixed input: the TAL ones were used as given. The atlases are reached with the
    // report's own transform, named when it differs from the one that converted.
    record.space.reset();
    record.spheres[1].space = voikit::Space::kTal;
    choices.input = record;
    choices.anatomy = true;
    choices.atlases = {"aal"};
    choices.transform = voikit::MniToTal::kBrett;
    methods = voikit::methodsFor(choices);
    EXPECT_TRUE(contains(methods.paragraph, "those reported in Talairach space were used as given"))
        << methods.paragraph;
    EXPECT_TRUE(contains(methods.paragraph, "with the inverse of Brett's")) << methods.paragraph;
    EXPECT_FALSE(contains(methods.paragraph, "the same transform")) << methods.paragraph;
}

TEST(MethodsOfTheInput, ExtractionSaysRegionsGridAndSummary) {
    voikit::ExtractionChoices choices;
    choices.peakSpace = voikit::Space::kMni;
    choices.radii = {8};
    choices.grids = {"2 x 2 x 2 mm cells, 91 x 109 x 91, MNI"};
    choices.gridSpaces = {voikit::Space::kMni};
    choices.cells = {257, 251};
    voikit::Methods methods = voikit::extractionMethods(choices);
    EXPECT_TRUE(contains(methods.paragraph, "radius 8 mm were centred on peaks reported in MNI"))
        << methods.paragraph;
    EXPECT_TRUE(contains(methods.paragraph, "from 251 to 257 cells")) << methods.paragraph;
    // MNI peaks on MNI images: nothing converted, nothing cited.
    EXPECT_FALSE(contains(methods.paragraph, "converted")) << methods.paragraph;
    EXPECT_TRUE(methods.references.empty());
    choices.gridSpaces = {voikit::Space::kTal};
    choices.summary = "eig1";
    choices.repetitionTime = 2.5;
    methods = voikit::extractionMethods(choices);
    EXPECT_TRUE(contains(methods.paragraph, "converted with the transform of Lancaster"))
        << methods.paragraph;
    EXPECT_TRUE(contains(methods.paragraph, "first eigenvariate")) << methods.paragraph;
    EXPECT_TRUE(contains(methods.paragraph, "repetition time was 2.5 s")) << methods.paragraph;
}

// report --methods on files made from MNI and from TAL input, and on one without a record.
TEST_F(InputSpaceRecord, ReportMethodsTrueForTheInput) {
    writeFile(folder.file("mni.txt"), "MNI\nx y z\n-22 -6 -18\n");
    writeFile(folder.file("list.txt"), "0 0 0 3 Centre 255 0 0\n");
    ASSERT_EQ(host("--list mni.txt --space mni -o mni.voi").status, 0);
    ASSERT_EQ(host("--raw-list list.txt -o tal.voi").status, 0);
    const auto methods = [&](const std::string& voi) {
        return runProgram(folder.path(), GLOMERA_VOI, "report " + voi + " --methods --no-atlas");
    };
    ProgramResult r = methods("mni.voi");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Coordinates reported in MNI space were converted")) << r.out;
    EXPECT_TRUE(contains(r.out, "input space of the VOIs: MNI (converted to TAL with spm)"));
    r = methods("tal.voi");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "used as given, with no conversion")) << r.out;
    EXPECT_FALSE(contains(r.out, "Lancaster")) << r.out;
    fs::remove(folder.file("tal.voi.json"));
    r = methods("tal.voi");
    EXPECT_TRUE(contains(r.out, "no record of another input space")) << r.out;
    EXPECT_TRUE(contains(r.err, "has no input-space record")) << r.err;
    // A broken record is warned of even without --methods.
    writeFile(folder.file("tal.voi.json"), "[]");
    r = runProgram(folder.path(), GLOMERA_VOI, "report tal.voi --no-atlas");
    EXPECT_TRUE(contains(r.err, "not believed")) << r.err;
}

// A small fMRIPrep-like derivatives tree: three runs in MNI, one in T1w, one of another task.
class BidsCohort : public testing::Test {
  protected:
    void SetUp() override {
        const std::string root = folder.file("derivatives");
        image("sub-01/func", "sub-01_task-rest_space-MNI152NLin2009cAsym_desc-preproc", 1);
        image("sub-02/ses-1/func",
              "sub-02_ses-1_task-rest_run-1_space-MNI152NLin2009cAsym_desc-preproc", 2);
        image("sub-02/ses-1/func",
              "sub-02_ses-1_task-rest_run-2_space-MNI152NLin2009cAsym_desc-preproc", 3);
        image("sub-02/ses-1/func", "sub-02_ses-1_task-rest_run-1_space-T1w_desc-preproc", 4);
        image("sub-03/func", "sub-03_task-nback_space-MNI152NLin6Asym_res-2_desc-preproc", 5);
        writeFile(
            folder.file("derivatives/sub-01/func/sub-01_task-rest_desc-confounds_timeseries.tsv"),
            "csf\n1\n2\n3\n");
        writeFile(folder.file("derivatives/sub-01/func/"
                              "sub-01_task-rest_space-MNI152NLin2009cAsym_desc-preproc_bold.json"),
                  "{\"RepetitionTime\": 2}");
        writeFile(folder.file("peaks.txt"), "MNI\nx y z name\n0 0 0 Centre\n4 0 0 Right\n");
    }
    // A 4D image of 9^3 cells of 2 mm around 0, 3 volumes, whose values say which it is;
    // its header's forms say "aligned", as some derivatives do.
    void image(const std::string& at, const std::string& name, int which) {
        fs::create_directories(folder.file("derivatives/" + at));
        TestImage image;
        image.dims = {9, 9, 9, 3};
        image.sformCode = NIFTI_XFORM_ALIGNED_ANAT;
        for (int a = 0; a < 3; ++a) {
            image.affine[a][a] = 2;
            image.affine[a][3] = -8;
        }
        for (int n = 0; n < 729 * 3; ++n) {
            const int volume = n / 729;  // each volume a step higher
            image.values.push_back(which * 100 + n % 729 % 9 + volume);
        }
        image.write(folder.file("derivatives/" + at + "/" + name + "_bold.nii.gz"));
    }
    ProgramResult extract(const std::string& arguments) {
        return runProgram(folder.path(), GLOMERA_VOI,
                          "extract --peaks peaks.txt --radius 3 " + arguments);
    }
    TempFolder folder;
};

TEST_F(BidsCohort, FindsTheRunsAndWritesDerivativeNamesWithSidecars) {
    voikit::BidsListing listing =
        voikit::findBidsRuns({folder.file("derivatives"), "rest", "", "preproc"});
    ASSERT_EQ(listing.runs.size(), 3u);
    EXPECT_EQ(listing.runs[0].folder, "sub-01/func");
    EXPECT_EQ(listing.runs[0].entities, "sub-01_task-rest_space-MNI152NLin2009cAsym");
    EXPECT_TRUE(
        contains(listing.runs[0].confounds, "sub-01_task-rest_desc-confounds_timeseries.tsv"));
    EXPECT_TRUE(contains(listing.runs[0].sidecar, "_desc-preproc_bold.json"));
    EXPECT_EQ(listing.runs[1].confounds, "");
    ASSERT_EQ(listing.leftOut.size(), 1u);
    EXPECT_TRUE(contains(listing.leftOut[0], "space-T1w is no MNI template space"))
        << listing.leftOut[0];
    EXPECT_EQ(listing.notes.size(), 1u);
    EXPECT_EQ(voikit::findBidsRuns({folder.file("derivatives"), "", "MNI152NLin6Asym", "preproc"})
                  .runs.size(),
              1u);
    EXPECT_THROW(voikit::findBidsRuns({folder.file("derivatives"), "", "T1w", "preproc"}),
                 voikit::Error);
    EXPECT_THROW(voikit::findBidsRuns({folder.file("nowhere"), "", "", "preproc"}), voikit::Error);

    ProgramResult r = extract("--bids derivatives --task rest --out-dir out/new -j 2");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "space-MNI152NLin2009cAsym taken as MNI")) << r.err;
    EXPECT_TRUE(contains(r.err, "space-T1w is no MNI template space")) << r.err;
    const std::string series[] = {
        "out/new/sub-01/func/sub-01_task-rest_space-MNI152NLin2009cAsym_desc-peaks_timeseries",
        "out/new/sub-02/ses-1/func/"
        "sub-02_ses-1_task-rest_run-1_space-MNI152NLin2009cAsym_desc-peaks_timeseries",
        "out/new/sub-02/ses-1/func/"
        "sub-02_ses-1_task-rest_run-2_space-MNI152NLin2009cAsym_desc-peaks_timeseries"};
    for (int n = 0; n < 3; ++n) {
        const std::string table = readFile(folder.file(series[n] + ".tsv"));
        // Sphere "Centre" of 3 mm: the 7 cells around 0; the mean of i is 4 (the centre's i).
        EXPECT_EQ(table.substr(0, table.find('\n')), "Centre\tRight");
        const nlohmann::json sidecar = readJson(folder.file(series[n] + ".json"));
        EXPECT_EQ(sidecar["vois"][0]["radius_mm"], 3.0);
        EXPECT_EQ(sidecar["vois"][1]["centre"], nlohmann::json::array({4.0, 0.0, 0.0}));
        EXPECT_EQ(sidecar["images"][0]["volumes"], 3);
        EXPECT_EQ(sidecar["images"][0]["grid"]["space"], "MNI");
        EXPECT_TRUE(
            contains(sidecar["methods"]["paragraph"].get<std::string>(), "peaks reported in MNI"));
        EXPECT_TRUE(sidecar["provenance"]["command_line"].get<std::string>().find("--bids") !=
                    std::string::npos);
    }
    // Each run's values are those of the image extracted alone.
    r = runProgram(
        folder.path(), GLOMERA_VOI,
        "extract --peaks peaks.txt --radius 3 --grid-space mni -q -o alone.tsv "
        "derivatives/sub-02/ses-1/func/"
        "sub-02_ses-1_task-rest_run-2_space-MNI152NLin2009cAsym_desc-preproc_bold.nii.gz");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(folder.file("alone.tsv")), readFile(folder.file(series[2] + ".tsv")));
    EXPECT_TRUE(fileExists(folder.file("alone.json")));
    const nlohmann::json description = readJson(folder.file("out/new/dataset_description.json"));
    EXPECT_EQ(description["DatasetType"], "derivative");
    EXPECT_EQ(description["GeneratedBy"][0]["Name"], "Glomera");
    EXPECT_FALSE(fs::exists(
        folder.file("out/new/sub-02/ses-1/func/"
                    "sub-02_ses-1_task-rest_run-1_space-T1w_desc-peaks_timeseries.tsv")));
}

// Each run's confounds table and sidecar come from the tree; a run without its table is
// named before any work.
TEST_F(BidsCohort, EachRunCleanedWithItsOwnConfoundsAndRepetitionTime) {
    const std::string run1 = "sub-02_ses-1_task-rest_run-1_space-MNI152NLin2009cAsym_desc-preproc";
    ProgramResult r =
        extract("--bids derivatives --task rest --out-dir out --confound-columns csf");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, run1 + "_bold.nii.gz has no confounds table")) << r.err;
    EXPECT_FALSE(fs::exists(folder.file("out/sub-01")));
    for (const char* run : {"run-1", "run-2"}) {
        writeFile(folder.file(std::string("derivatives/sub-02/ses-1/func/sub-02_ses-1_task-rest_") +
                              run + "_desc-confounds_timeseries.tsv"),
                  "csf\tframewise_displacement\n5\tn/a\n1\t0.1\n2\t0.2\n");
    }
    r = extract("--bids derivatives --task rest --out-dir out --confound-columns csf -j 2");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string series =
        "out/sub-01/func/sub-01_task-rest_space-MNI152NLin2009cAsym_desc-peaks_timeseries";
    const nlohmann::json sidecar = readJson(folder.file(series + ".json"));
    EXPECT_EQ(sidecar["RepetitionTime"], 2.0);  // from the run's own sidecar
    EXPECT_TRUE(contains(sidecar["images"][0]["confounds"].get<std::string>(),
                         "sub-01_task-rest_desc-confounds_timeseries.tsv"));
    EXPECT_EQ(sidecar["images"][0]["cleaning"]["confound_columns"], nlohmann::json::array({"csf"}))
        << sidecar["images"][0]["cleaning"].dump();
    EXPECT_TRUE(contains(sidecar["methods"]["paragraph"].get<std::string>(), "1 confound (csf)"))
        << sidecar["methods"]["paragraph"];
    EXPECT_TRUE(
        fs::exists(folder.file("out/sub-02/ses-1/func/sub-02_ses-1_task-rest_run-2_"
                               "space-MNI152NLin2009cAsym_desc-peaks_timeseries.tsv")));
    EXPECT_EQ(
        extract("--bids derivatives --out-dir out --confounds x.tsv --confound-columns csf").status,
        2);
}

TEST_F(BidsCohort, DryRunListsAndWritesNothingAndBadCommandsAreRefused) {
    ProgramResult r = extract("--bids derivatives --out-dir out --stats --dry-run");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "4 images")) << r.out;
    EXPECT_TRUE(contains(
        r.out,
        "3 volumes -> "
        "out/sub-03/func/sub-03_task-nback_space-MNI152NLin6Asym_res-2_desc-peaks_stats.tsv"))
        << r.out;
    EXPECT_FALSE(fs::exists(folder.file("out")));
    writeFile(folder.file("broken.nii.gz"), "not an image");
    r = extract(
        "--dry-run --out-dir out broken.nii.gz "
        "derivatives/sub-01/func/"
        "sub-01_task-rest_space-MNI152NLin2009cAsym_desc-preproc_bold.nii.gz");
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_TRUE(contains(r.out, "broken.nii.gz: would fail")) << r.out;
    EXPECT_FALSE(fs::exists(folder.file("out")));
    EXPECT_EQ(extract("--bids derivatives --bids-space T1w --out-dir out").status, 2);
    EXPECT_EQ(extract("--bids nowhere --out-dir out").status, 2);
    EXPECT_EQ(extract("--bids derivatives").status, 2);  // no --out-dir
    EXPECT_EQ(extract("--bids derivatives --out-dir out broken.nii.gz").status, 2);
    // Images beside --bids choose among its runs, as a cluster's shard does.
    r = extract(
        "--bids derivatives --out-dir out --dry-run "
        "derivatives/sub-03/func/"
        "sub-03_task-nback_space-MNI152NLin6Asym_res-2_desc-preproc_bold.nii.gz");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "1 image")) << r.out;
    EXPECT_EQ(extract("--bids derivatives --out-dir out --grid-space tal").status, 2);
    EXPECT_EQ(extract("--bids derivatives --task nothing --out-dir out").status, 2);
    EXPECT_EQ(extract("--task rest --out-dir out broken.nii.gz").status, 2);  // needs --bids
    EXPECT_FALSE(fs::exists(folder.file("out")));
}

TEST(CohortNames, SidecarPathsLabelsAndUtf8) {
    EXPECT_EQ(voikit::sidecarPathFor("out/a.tsv"), "out/a.json");
    EXPECT_EQ(voikit::sidecarPathFor("out.d/table"), "out.d/table.json");
    EXPECT_EQ(voikit::sidecarPathFor("all.json"), "all_sidecar.json");
    EXPECT_EQ(voikit::bidsLabel("my spheres_2"), "myspheres2");
    EXPECT_EQ(voikit::bidsLabel("__"), "vois");
    EXPECT_TRUE(voikit::isMniTemplateSpace("MNI152NLin6Asym"));
    EXPECT_FALSE(voikit::isMniTemplateSpace("T1w"));
    EXPECT_FALSE(voikit::isMniTemplateSpace("MNI"));
    const std::string latin1 = "r\xe9gion";
    const std::string name =
        voikit::outputFileFor(latin1 + ".nii.gz", "out", voikit::ExtractTable::kTimeSeries);
    EXPECT_EQ(name, "out/r\xc3\xa9gion_voi_timeseries.tsv");
    EXPECT_TRUE(voikit::isValidUtf8(name));
}

// A VOI named in Latin-1 (as old lists are) gives a table a UTF-8 reader takes, -o gives its
// sidecar, and --out-dir is made when missing.
TEST(CohortNamesCommand, Latin1VoiNamesAreUtf8InTablesAndSidecars) {
    TempFolder folder;
    writeFile(folder.file("list.txt"), "0 0 0 3 Gyrus_\xe9t\xe9 255 0 0\n");
    ASSERT_EQ(
        runProgram(folder.path(), HEADLESS_HOST, "--quiet --raw-list list.txt -o s.voi").status, 0);
    TestImage image;
    image.dims = {9, 9, 9};
    for (int a = 0; a < 3; ++a) image.affine[a][3] = -4;
    image.write(folder.file("x\xe9.nii"));
    ProgramResult r =
        runProgram(folder.path(), GLOMERA_VOI, "extract s.voi x\xe9.nii --out-dir made/here");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string table = readFile(folder.file("made/here/x\xc3\xa9_voi_timeseries.tsv"));
    EXPECT_EQ(table.substr(0, table.find('\n')), "Gyrus_\xc3\xa9t\xc3\xa9");
    const nlohmann::json sidecar = readJson(folder.file("made/here/x\xc3\xa9_voi_timeseries.json"));
    EXPECT_EQ(sidecar["vois"][0]["name"], "Gyrus_\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(sidecar["input_space"], "TAL");
    r = runProgram(folder.path(), GLOMERA_VOI, "extract s.voi x\xe9.nii --stats -o stats.tsv");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(voikit::isValidUtf8(readFile(folder.file("stats.tsv"))));
    EXPECT_EQ(readJson(folder.file("stats.json"))["images"].size(), 1u);
    // Standard output has no file beside it.
    r = runProgram(folder.path(), GLOMERA_VOI, "extract s.voi x\xe9.nii --stats -q");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(fileExists(folder.file("-.json")));
}

}  // namespace
