// Values inside the VOIs: statistics, reading images volume by volume, cells per VOI, many
// images at once, and the command.
#include <gtest/gtest.h>
#include <nifti2_io.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/test_files.h"
#include "tests/test_images.h"
#include "tests/test_vois.h"
#include "voikit/extract/batch.h"
#include "voikit/extract/cell_statistics.h"
#include "voikit/extract/extraction.h"
#include "voikit/extract/extraction_tables.h"
#include "voikit/extract/image_series.h"
#include "voikit/extract/sphere_regions.h"
#include "voikit/extract/voi_file_regions.h"
#include "voikit/io/error.h"
#include "voikit/tables/table_import.h"

namespace {

using voikit::CellStatistics;
using voikit::Error;
using voikit::ImageSeries;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void expectSame(double got, double wanted, const std::string& what) {
    if (std::isnan(wanted)) {
        EXPECT_TRUE(std::isnan(got)) << what << ": " << got;
    } else {
        EXPECT_DOUBLE_EQ(got, wanted) << what;
    }
}

TEST(CellStatistics, EachFigureByItsStatedRule) {
    const struct {
        std::vector<double> values;
        CellStatistics wanted;
    } cases[] = {
        {{}, {kNaN, kNaN, kNaN, kNaN, kNaN, 0, 0}},
        {{7}, {7, 7, kNaN, 7, 7, 1, 0}},
        // An even count: the median is the mean of the two middle values; std uses n - 1.
        {{4, 1, 3, 2}, {2.5, 2.5, std::sqrt(5.0 / 3.0), 1, 4, 4, 0}},
        {{5, 1, 9}, {5, 5, 4, 1, 9, 3, 0}},
        // NaN and infinities are left out and counted, never taken as 0.
        {{kNaN, 2, kInf, 4, -kInf}, {3, 3, std::sqrt(2.0), 2, 4, 2, 3}},
        {{kNaN, kNaN}, {kNaN, kNaN, kNaN, kNaN, kNaN, 0, 2}},
        // Deviations from the mean, not a difference of large sums of squares.
        {{1e10 + 1, 1e10 + 2, 1e10 + 3}, {1e10 + 2, 1e10 + 2, 1, 1e10 + 1, 1e10 + 3, 3, 0}},
    };
    for (const auto& c : cases) {
        std::vector<double> values = c.values;
        const CellStatistics got = voikit::statisticsOf(values.data(), values.size());
        const std::string what = "case of " + std::to_string(c.values.size()) + " values";
        expectSame(got.mean, c.wanted.mean, what + " mean");
        expectSame(got.median, c.wanted.median, what + " median");
        expectSame(got.std, c.wanted.std, what + " std");
        expectSame(got.min, c.wanted.min, what + " min");
        expectSame(got.max, c.wanted.max, what + " max");
        EXPECT_EQ(got.count, c.wanted.count) << what;
        EXPECT_EQ(got.nonfinite, c.wanted.nonfinite) << what;
    }
}

TEST(ExtractionTables, ColumnNamesFieldsAndNumbers) {
    EXPECT_EQ(voikit::columnNames({"A", "B", "A"}), (std::vector<std::string>{"A_1", "B", "A_3"}));
    // A name that clashes with a made one: every column still unique.
    const std::vector<std::string> clash = voikit::columnNames({"A", "A", "A_2"});
    EXPECT_EQ(std::set<std::string>(clash.begin(), clash.end()).size(), 3u);
    EXPECT_EQ(clash[0], "A_1");
    EXPECT_EQ(voikit::tsvField("a\tb\\c\nd\re"), "a\\tb\\\\c\\nd\\re");
    EXPECT_EQ(voikit::tableNumber(kNaN), "n/a");
    EXPECT_EQ(voikit::tableNumber(0.1), "0.1");
    EXPECT_EQ(voikit::tableNumber(-2.5e-7), "-2.5e-07");
    EXPECT_EQ(voikit::tableNumber(1.0 / 3.0), "0.3333333333333333");
}

TEST(ExtractionTables, OutputFilesAreNamedFromTheImage) {
    using voikit::ExtractTable;
    EXPECT_EQ(voikit::outputFileFor("a/sub-01_bold.nii.gz", "out", ExtractTable::kTimeSeries),
              "out/sub-01_bold_voi_timeseries.tsv");
    EXPECT_EQ(voikit::outputFileFor("con_0001.nii", "out/", ExtractTable::kStatistics),
              "out/con_0001_voi_stats.tsv");
    EXPECT_EQ(voikit::outputFileFor("x.img.hdr", "o", ExtractTable::kJson),
              "o/x.img_voi_stats.json");
    EXPECT_EQ(voikit::outputFileFor(".nii", "o", ExtractTable::kJson), "o/.nii_voi_stats.json");
}

// Images of every real datatype, both byte orders, both versions, plain and compressed, with
// and without scaling: each cell of each volume reads back as the value the image means.
TEST(ImageSeries, EveryRealDatatypeByteOrderAndVersion) {
    TempFolder folder;
    const int datatypes[] = {NIFTI_TYPE_UINT8,  NIFTI_TYPE_INT8,   NIFTI_TYPE_INT16,
                             NIFTI_TYPE_UINT16, NIFTI_TYPE_INT32,  NIFTI_TYPE_UINT32,
                             NIFTI_TYPE_INT64,  NIFTI_TYPE_UINT64, NIFTI_TYPE_FLOAT32,
                             NIFTI_TYPE_FLOAT64};
    for (const int datatype : datatypes) {
        for (int variant = 0; variant < 8; ++variant) {
            TestImage image;
            image.datatype = datatype;
            image.dims = {3, 2, 2, 3};
            image.bigEndian = (variant & 1) != 0;
            image.nifti2 = (variant & 2) != 0;
            const bool scaled = (variant & 4) != 0;
            if (scaled) {
                image.slope = 0.25;
                image.inter = -3;
            }
            for (int n = 0; n < 36; ++n) image.values.push_back(n * 3 + 1);
            const std::string path =
                folder.file("image" + std::to_string(variant) + (variant % 3 ? ".nii.gz" : ".nii"));
            image.write(path);
            const std::string what =
                "datatype " + std::to_string(datatype) + " variant " + std::to_string(variant);
            ImageSeries series(path);
            ASSERT_EQ(series.volumes(), 3) << what;
            const std::int64_t cells[] = {11, 0, 5};
            for (int volume = 0; volume < 3; ++volume) {
                series.readVolume();
                double values[3];
                series.values(cells, 3, values);
                for (int c = 0; c < 3; ++c) {
                    const double raw =
                        static_cast<double>((std::int64_t{volume} * 12 + cells[c]) * 3 + 1);
                    EXPECT_EQ(values[c], scaled ? raw * 0.25 - 3 : raw) << what;
                }
            }
        }
    }
}

TEST(ImageSeries, RefusesWhatItCannotReadAndSaysWhy) {
    TempFolder folder;
    const auto with = [](auto change) {
        TestImage image;
        image.dims = {4, 4, 4, 2};
        change(image);
        return image.bytes();
    };
    const std::string good = with([](TestImage&) {});
    const struct {
        const char* name;
        std::string bytes;
        bool compressed;
        const char* why;
    } cases[] = {
        {"complex.nii", with([](TestImage& i) { i.datatype = NIFTI_TYPE_COMPLEX64; }), false,
         "complex numbers (datatype 32)"},
        {"rgb.nii", with([](TestImage& i) { i.datatype = NIFTI_TYPE_RGB24; }), false,
         "colours (datatype 128)"},
        {"quad.nii", with([](TestImage& i) { i.datatype = NIFTI_TYPE_FLOAT128; }), false,
         "128-bit floats"},
        {"wide.nii.gz", with([](TestImage& i) {
             i.dims = {1 << 14, 1 << 14, 2};
             i.withVoxels = false;
         }),
         true, "more than 2^27 voxels in a volume"},
        {"long.nii.gz", with([](TestImage& i) {
             i.dims = {2, 2, 2, 1 << 21};
             i.nifti2 = true;
             i.withVoxels = false;
         }),
         true, "axis 4 has 2097152 volumes"},
        {"analyze.hdr", with([](TestImage& i) { i.nifti2 = false; }).replace(344, 4, 4, '\0'),
         false, "is not a readable NIfTI image"},
        {"short.nii", good.substr(0, good.size() - 1), false, "shorter than its header says"},
        {"text.nii", std::string(400, 'x'), false, "is not a readable NIfTI image"},
        {"text.nii.gz", std::string(400, 'x'), true, "is not a readable NIfTI image"},
    };
    for (const auto& c : cases) {
        const std::string path = folder.file(c.name);
        c.compressed ? writeCompressed(path, c.bytes) : writeFile(path, c.bytes);
        try {
            ImageSeries series(path);
            FAIL() << c.name << " was taken";
        } catch (const Error& error) {
            EXPECT_TRUE(contains(error.what(), c.why)) << c.name << ": " << error.what();
            EXPECT_TRUE(contains(error.what(), path)) << error.what();
        }
    }
    // A compressed series cut short: the volume it ends in is named when it is reached.
    writeCompressed(folder.file("cut.nii.gz"), good.substr(0, good.size() - 100));
    ImageSeries cut(folder.file("cut.nii.gz"));
    cut.readVolume();
    try {
        cut.readVolume();
        FAIL() << "a truncated volume was read";
    } catch (const Error& error) {
        EXPECT_TRUE(contains(error.what(), "volume 1 of 2 (counted from 0)")) << error.what();
        EXPECT_TRUE(contains(error.what(), "ends early")) << error.what();
    }
    // Compressed bytes broken in the middle of the stream.
    std::string gz;
    writeCompressed(folder.file("whole.nii.gz"), good);
    gz = readFile(folder.file("whole.nii.gz"));
    for (std::size_t at = gz.size() / 2; at < gz.size() / 2 + 8; ++at) gz[at] ^= 0x55;
    writeFile(folder.file("broken.nii.gz"), gz);
    EXPECT_THROW(
        {
            ImageSeries broken(folder.file("broken.nii.gz"));
            broken.readVolume();
            broken.readVolume();
        },
        Error);
}

// A series whose volumes together pass the whole-image limit is read volume by volume.
TEST(ImageSeries, ALongSeriesIsCheckedVolumeByVolume) {
    TempFolder folder;
    TestImage image;
    image.datatype = NIFTI_TYPE_UINT8;
    image.dims = {128, 128, 8, 1025};  // 2^27 + 2^17 voxels in all
    image.values.assign(3, 9);
    image.write(folder.file("long.nii.gz"));
    EXPECT_THROW(voikit::readImageHeader(folder.file("long.nii.gz")), Error);
    ImageSeries series(folder.file("long.nii.gz"));
    EXPECT_EQ(series.volumes(), 1025);
    const std::int64_t cell = 1;
    double value = 0;
    for (int volume = 0; volume < 1025; ++volume) series.readVolume();
    series.values(&cell, 1, &value);
    EXPECT_EQ(value, 0);  // the last volume holds zeros; the first held the nines
    EXPECT_EQ(series.volumesRead(), 1025);
}

// On a 1 mm TAL grid on the lattice, a VOI's cells are its voxels, and overlapping VOIs each
// keep the shared ones.
TEST(VoiFileRegions, OverlappingVoisKeepTheirOwnCells) {
    glomera::VoiFileContents contents;
    contents.vois.push_back(sphereVoi("A", 0, 0, 0, 4));
    contents.vois.push_back(sphereVoi("B", 3, 0, 0, 4));
    const voikit::VoiFileRegions regions(voikit::runsOf(contents));
    voikit::LabelGrid grid;
    for (int a = 0; a < 3; ++a) {
        grid.dims[a] = 21;
        grid.affine[a][a] = 1;
        grid.affine[a][3] = -10;
    }
    const voikit::VoiCells cells = regions.cellsOn(grid);
    ASSERT_EQ(cells.cells.size(), 2u);
    for (std::size_t v = 0; v < 2; ++v) {
        EXPECT_EQ(static_cast<std::int64_t>(cells.cells[v].size()),
                  contents.vois[v].info.voxelCount);
        EXPECT_EQ(cells.outside[v], 0);
    }
    std::vector<std::int64_t> shared;
    std::set_intersection(cells.cells[0].begin(), cells.cells[0].end(), cells.cells[1].begin(),
                          cells.cells[1].end(), std::back_inserter(shared));
    EXPECT_GT(shared.size(), 50u);
    // The centre of A: (0, 0, 0) is cell (10, 10, 10).
    EXPECT_TRUE(
        std::binary_search(cells.cells[0].begin(), cells.cells[0].end(), (10 * 21 + 10) * 21 + 10));
    // A grid that cuts B: its voxels off the grid are counted, its cells are the rest.
    grid.dims[0] = 16;  // x up to +5
    const voikit::VoiCells cut = regions.cellsOn(grid);
    EXPECT_EQ(cut.outside[0], 0);
    EXPECT_GT(cut.outside[1], 0);
    EXPECT_EQ(static_cast<std::int64_t>(cut.cells[1].size()) + cut.outside[1],
              contents.vois[1].info.voxelCount);
}

// The warnings of an image's VOIs: each count agrees with its noun and verb.
TEST(ExtractionWarnings, CountsInTheSingularAndThePlural) {
    glomera::VoiFileContents contents;
    for (const char* name : {"A", "B", "C"}) contents.vois.push_back(sphereVoi(name, 0, 0, 0, 2));
    const voikit::VoiFileRegions regions(voikit::runsOf(contents));
    const struct {
        std::vector<std::int64_t> outside;  // per VOI; -1: no cell at all
        std::vector<std::int64_t> finite;   // per VOI, in the one volume
        std::vector<const char*> wanted;
    } cases[] = {
        {{1, 0, -1},
         {3, 3, 0},
         {"img.nii: 1 of 3 VOIs has no cell in the image's field of view (values n/a): 3 C",
          "img.nii: 1 VOI lies partly outside the image's field of view; its values come from "
          "the cells inside:\n  1 A: 1 voxel outside"}},
        {{2, 5, 0},
         {3, 0, 3},
         {"img.nii: 2 VOIs lie partly outside the image's field of view; their values come from "
          "the cells inside:\n  1 A: 2 voxels outside\n  2 B: 5 voxels outside",
          "in some volumes, values n/a there:\n  2 B: 1 of 1 volume"}},
        {{-1, -1, 0},
         {0, 0, 3},
         {"img.nii: 2 of 3 VOIs have no cell in the image's field of view (values n/a): 1 A, 2 B"}},
    };
    for (const auto& c : cases) {
        auto cells = std::make_shared<voikit::VoiCells>();
        voikit::ImageExtraction extraction;
        extraction.image = "img.nii";
        extraction.volumes = 1;
        for (std::size_t v = 0; v < 3; ++v) {
            const bool none = c.outside[v] < 0;
            cells->cells.push_back(none ? std::vector<std::int64_t>{}
                                        : std::vector<std::int64_t>{0, 1, 2});
            cells->outside.push_back(none ? 0 : c.outside[v]);
            voikit::CellStatistics statistics{};
            statistics.count = c.finite[v];
            extraction.statistics.push_back(statistics);
        }
        extraction.cells = cells;
        std::string warnings;
        for (const std::string& warning : voikit::extractionWarnings(extraction, regions)) {
            warnings += warning + "\n";
        }
        for (const char* wanted : c.wanted) {
            EXPECT_TRUE(contains(warnings, wanted)) << wanted << "\n---\n" << warnings;
        }
    }
}

class ExtractBatch : public testing::Test {
  protected:
    ExtractBatch() {
        contents.vois.push_back(sphereVoi("A", 0, 0, 0, 2));
        contents.vois.push_back(sphereVoi("B", 50, 50, 50, 2));  // off every image's grid
    }
    // A 3D TAL image of 9 cells a side around the origin holding `value` everywhere.
    std::string image(const std::string& name, double value, int volumes = 1) const {
        TestImage image;
        image.dims = {9, 9, 9, volumes};
        for (int a = 0; a < 3; ++a) image.affine[a][3] = -4;
        image.values.assign(std::size_t{729} * static_cast<std::size_t>(volumes), value);
        image.write(folder.file(name));
        return folder.file(name);
    }
    voikit::BatchOutcome extract(const voikit::BatchSettings& settings) {
        const voikit::VoiFileRegions regions(voikit::runsOf(contents));
        voikit::Log log;
        log.warning = [this](const std::string& line) { warnings += line + "\n"; };
        return voikit::extractImages(regions, settings, log);
    }
    glomera::VoiFileContents contents;
    TempFolder folder;
    std::string warnings;
};

TEST_F(ExtractBatch, OneTableInTheOrderGivenWhateverFailsOrFinishesFirst) {
    voikit::BatchSettings settings;
    settings.table = voikit::ExtractTable::kStatistics;
    settings.output = folder.file("all.tsv");
    settings.jobs = 3;
    for (int n = 0; n < 8; ++n) settings.images.push_back(image(std::to_string(n) + ".nii", n));
    writeFile(folder.file("3.nii"), "not an image");
    settings.images.push_back(folder.file("missing.nii.gz"));
    const voikit::BatchOutcome outcome = extract(settings);
    ASSERT_EQ(outcome.failures.size(), 2u);
    EXPECT_EQ(outcome.failures[0].first, folder.file("3.nii"));
    EXPECT_EQ(outcome.failures[1].first, folder.file("missing.nii.gz"));
    EXPECT_EQ(outcome.written, 7u);
    const std::string table = readFile(folder.file("all.tsv"));
    std::string wanted = voikit::statisticsHeader();
    const std::string count = std::to_string(contents.vois[0].info.voxelCount);
    for (int n : {0, 1, 2, 4, 5, 6, 7}) {
        const std::string image = folder.file(std::to_string(n) + ".nii");
        const std::string v = std::to_string(n);
        const std::vector<std::vector<std::string>> rows = {
            {image, "0", "1", "A", v, v, "0", v, v, count, "0"},
            {image, "0", "2", "B", "n/a", "n/a", "n/a", "n/a", "n/a", "0", "0"}};
        for (const auto& row : rows) {
            for (std::size_t f = 0; f < row.size(); ++f) {
                wanted += f > 0 ? "\t" : "";
                wanted += row[f];
            }
            wanted += "\n";
        }
    }
    EXPECT_EQ(table, wanted);
    EXPECT_TRUE(contains(warnings,
                         "1 of 2 VOIs has no cell in the image's field of view (values "
                         "n/a): 2 B"))
        << warnings;
    EXPECT_TRUE(contains(warnings, "failed: " + folder.file("3.nii") + " is not")) << warnings;
}

TEST_F(ExtractBatch, OneFilePerImageAndAResumedRunSkipsThoseWritten) {
    voikit::BatchSettings settings;
    settings.outDir = folder.path();
    settings.images = {image("a.nii.gz", 2, 3), image("b.nii", 5)};
    settings.jobs = 2;
    voikit::BatchOutcome outcome = extract(settings);
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_EQ(readFile(folder.file("a_voi_timeseries.tsv")), "A\tB\n2\tn/a\n2\tn/a\n2\tn/a\n");
    EXPECT_EQ(readFile(folder.file("b_voi_timeseries.tsv")), "A\tB\n5\tn/a\n");
    writeFile(folder.file("b_voi_timeseries.tsv"), "kept");
    std::remove(folder.file("a_voi_timeseries.tsv").c_str());
    settings.skipExisting = true;
    outcome = extract(settings);
    EXPECT_EQ(outcome.skipped, 1u);
    EXPECT_EQ(outcome.written, 1u);
    EXPECT_EQ(readFile(folder.file("b_voi_timeseries.tsv")), "kept");
    // Two images of one name in different folders would write one file: refused before work.
    settings.images = {settings.images[0], folder.file("a.nii")};
    EXPECT_THROW(extract(settings), Error);
}

TEST_F(ExtractBatch, NoTableWhenEveryImageFailsAndAnEarlierOneStays) {
    writeFile(folder.file("all.tsv"), "earlier");
    voikit::BatchSettings settings;
    settings.table = voikit::ExtractTable::kJson;
    settings.output = folder.file("all.tsv");
    settings.images = {folder.file("none1.nii"), folder.file("none2.nii")};
    const voikit::BatchOutcome outcome = extract(settings);
    EXPECT_EQ(outcome.failures.size(), 2u);
    EXPECT_EQ(readFile(folder.file("all.tsv")), "earlier");
    EXPECT_EQ(folder.listing(), "all.tsv");
}

class ExtractCommand : public testing::Test {
  protected:
    void SetUp() override {
        writeFile(folder.file("list.txt"), "0 0 0 3 Centre 255 0 0\n2 0 0 3 Centre 0 255 0\n");
        const ProgramResult made =
            runProgram(folder.path(), HEADLESS_HOST, "--quiet --raw-list list.txt -o s.voi");
        ASSERT_EQ(made.status, 0) << made.err;
        TestImage image;
        image.dims = {9, 9, 9, 2};
        image.sformCode = NIFTI_XFORM_SCANNER_ANAT;
        for (int a = 0; a < 3; ++a) image.affine[a][3] = -4;
        for (int n = 0; n < 729 * 2; ++n) image.values.push_back(n < 729 ? 1.5 : kNaN);
        image.write(folder.file("scanner.nii.gz"));
    }
    ProgramResult run(const std::string& arguments) {
        return runProgram(folder.path(), GLOMERA_VOI, "extract " + arguments);
    }
    TempFolder folder;
};

TEST_F(ExtractCommand, TimeSeriesWithDuplicateNamesAndNaVolumes) {
    ProgramResult r = run("s.voi scanner.nii.gz");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "scanner.nii.gz: the image does not say which space")) << r.err;
    EXPECT_TRUE(contains(r.err, "normalised")) << r.err;
    r = run("s.voi scanner.nii.gz --grid-space tal");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Centre_1\tCentre_2\n1.5\t1.5\nn/a\tn/a\n");
    EXPECT_TRUE(contains(r.err, "1 Centre: 1 of 2 volumes")) << r.err;
}

TEST_F(ExtractCommand, UsageErrorsNameWhatIsMissing) {
    const struct {
        const char* arguments;
        const char* why;
    } cases[] = {
        {"s.voi", "give at least one image"},
        {"s.voi a.nii b.nii", "give --out-dir DIR"},
        {"s.voi a.nii -o x.tsv --out-dir .", "give one of them"},
        {"s.voi a.nii --skip-existing", "--skip-existing needs files"},
        {"s.voi a.nii --stats --json", "excludes"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = run(c.arguments);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_TRUE(contains(r.err, c.why)) << c.arguments << ": " << r.err;
    }
    const ProgramResult help = run("--help");
    EXPECT_TRUE(contains(help.out, "Volumes count from 0")) << help.out;
    EXPECT_TRUE(contains(help.out, "29 % more under spm, 23 % under fsl")) << help.out;
}

TEST_F(ExtractCommand, ABrokenVoiFileOrListIsAClearError) {
    writeFile(folder.file("bad.voi"), "FileVersion: 4\n");
    ProgramResult r = run("bad.voi scanner.nii.gz --grid-space tal");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "bad.voi")) << r.err;
    writeFile(folder.file("images.txt"), "# the run\n\nscanner.nii.gz  \r\nmissing.nii\n");
    r = run("s.voi --images images.txt --grid-space tal --stats -o t.tsv -j 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err,
                         "1 of 2 images failed; the others were written:\n  cannot read "
                         "missing.nii: No such file or directory"))
        << r.err;
    EXPECT_TRUE(contains(readFile(folder.file("t.tsv")), "scanner.nii.gz\t1\t2\tCentre\tn/a"));
}

}  // namespace

namespace {

TEST(SphereRegions, SpheresInTheImagesOwnMillimetres) {
    // Peaks as a table gives them, in MNI, through the importer.
    voikit::ImportSettings settings;
    settings.space = voikit::Space::kMni;
    const voikit::ImportResult table = voikit::importTable(
        "name x y z radius\nA -22 -6 -18 6\nB 1.3 2.2 0.1 0.5\nC 0 0 0 7\n", settings);
    ASSERT_EQ(table.peaks.size(), 3u);
    EXPECT_EQ(table.peaks[0].writings.front().second, (voikit::Point{-22, -6, -18}));
    EXPECT_EQ(table.peaks[0].written, voikit::Space::kMni);
    EXPECT_EQ(table.peaks[1].values.radius, 0.5f);
    EXPECT_EQ(table.peaks[2].name, "C");
    std::vector<voikit::Sphere> spheres;
    for (const auto& peak : table.peaks) {
        spheres.push_back(
            {peak.writings.front().second, peak.written, peak.values.radius, peak.name});
    }
    const voikit::SphereRegions regions(spheres);
    voikit::LabelGrid grid = *voikit::namedGrid("mni2mm", voikit::MniToTal::kSpm);
    const voikit::VoiCells cells = regions.cellsOn(grid);
    // A 6 mm sphere on 2 mm cells centred on one: the 123 cells within 3 cells; a 7 mm one
    // the 179 within 3.5.
    EXPECT_EQ(cells.cells[0].size(), 123u);
    EXPECT_EQ(cells.cells[2].size(), 179u);
    EXPECT_EQ(cells.outside[0], 0);
    // MNI (-22, -6, -18) is cell (56, 60, 27) of the 2 mm grid; it is among them.
    EXPECT_TRUE(std::binary_search(cells.cells[0].begin(), cells.cells[0].end(),
                                   (27 * 109 + 60) * 91 + 56));
    // No cell centre within 0.5 mm of (1.3, 2.2, 0.1): the nearest cell, (44, 64, 36), whose
    // centre is (2, 2, 0).
    EXPECT_EQ(cells.cells[1], (std::vector<std::int64_t>{(36 * 109 + 64) * 91 + 44}));
    // The same peak given in TAL lands where the transform takes it, with the same radius.
    const voikit::Point tal = voikit::mniToTal({0, 0, 0}, voikit::MniToTal::kSpm);
    const voikit::SphereRegions inTal({{tal, voikit::Space::kTal, 7.0, "C"}});
    EXPECT_EQ(inTal.cellsOn(grid).cells[0], cells.cells[2]);
    // A grid that ends at x = 0 (x runs from +90 down): the half of C beyond it is counted.
    grid.dims[0] = 46;
    const voikit::VoiCells cut = regions.cellsOn(grid);
    EXPECT_EQ(cut.cells[2].size() + static_cast<std::size_t>(cut.outside[2]), 179u);
    EXPECT_GT(cut.outside[2], 50);
    // Far off the grid: no cell, and said so.
    const voikit::SphereRegions far({{{1e30, 0, 0}, voikit::Space::kMni, 6.0, "far"}});
    EXPECT_TRUE(far.cellsOn(grid).cells[0].empty());
    EXPECT_EQ(far.cellsOn(grid).outside[0], 1);
}

}  // namespace

namespace {

TEST_F(ExtractCommand, MasksOnePerVoiAndSpheresFromPeaksOnNamedGrids) {
    ProgramResult r = runProgram(folder.path(), GLOMERA_VOI,
                                 "nifti s.voi masks.nii --one-per-voi --grid-space tal "
                                 "--grid scanner.nii.gz");
    ASSERT_EQ(r.status, 0) << r.err;
    // Two overlapping VOIs: each mask keeps every cell of its VOI, shared ones too.
    const std::string masks = readFile(folder.file("masks.nii"));
    const std::size_t cells = std::size_t{9} * 9 * 9;
    // The voxels follow the header and the extension that says what made the file.
    ASSERT_GT(masks.size(), 112u);
    float voxelOffset = 0;
    std::memcpy(&voxelOffset, masks.data() + 108, sizeof voxelOffset);
    const auto offset = static_cast<std::size_t>(voxelOffset);
    EXPECT_GT(offset, 352u);
    ASSERT_EQ(masks.size(), offset + 2 * cells);
    std::size_t inFirst = 0, inSecond = 0, inBoth = 0;
    for (std::size_t c = 0; c < cells; ++c) {
        inFirst += masks[offset + c] == 1;
        inSecond += masks[offset + cells + c] == 1;
        inBoth += masks[offset + c] == 1 && masks[offset + cells + c] == 1;
    }
    EXPECT_EQ(inFirst, 123u);   // a 3 mm sphere on 1 mm cells
    EXPECT_EQ(inSecond, 122u);  // one voxel of it beyond the grid's x = 4
    EXPECT_GT(inBoth, 40u);
    EXPECT_EQ(readFile(folder.file("masks.tsv")),
              "volume\tindex\tname\tr\tg\tb\tcells\toutside\n"
              "0\t1\tCentre\t255\t0\t0\t123\t0\n1\t2\tCentre\t0\t255\t0\t122\t1\n");

    writeFile(folder.file("peaks.txt"), "region x y z\nA -22 -6 -18\nB -20 -6 -18\n");
    r = runProgram(folder.path(), GLOMERA_VOI,
                   "nifti --peaks peaks.txt --space mni --grid mni2mm spheres.nii.gz");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err,
                         "wrote spheres.nii.gz (91 x 109 x 91), spheres.tsv, spheres.json, "
                         "spheres_ColorLUT.txt and spheres_wb_labels.txt\n"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "spheres overlap")) << r.err;
    const std::string labels = readFile(folder.file("spheres.tsv"));
    EXPECT_TRUE(contains(labels, "1\tA\t")) << labels;
    const struct {
        const char* arguments;
        const char* why;
    } refused[] = {
        {"nifti --peaks peaks.txt spheres.nii", "give --grid IMAGE, or --grid mni1mm"},
        {"nifti --peaks peaks.txt s.voi x.nii --grid mni2mm", "give only OUT"},
        {"nifti s.voi x.nii --grid mni3mm", "wants mni1mm, mni2mm or an image"},
        {"nifti s.voi x.nii --radius 3", "--radius requires --peaks"},
    };
    for (const auto& c : refused) {
        r = runProgram(folder.path(), GLOMERA_VOI, c.arguments);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_TRUE(contains(r.err, c.why)) << c.arguments << ": " << r.err;
    }
}

}  // namespace
