#include <gtest/gtest.h>
#include <nifti2_io.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "plugin/sphere_voxels.h"
#include "tests/support/vois_in_memory.h"
#include "tests/test_files.h"
#include "tests/test_vois.h"
#include "voikit/io/error.h"
#include "voikit/outputs/label_volume.h"
#include "voikit/outputs/outputs.h"
#include "voikit/outputs/voi_report.h"
#include "voikit/voxels/voi_statistics.h"

namespace {

using glomera::VoiFileContents;
using namespace voikit;
using Voxel = std::tuple<int, int, int>;

struct ImageFree {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};
using Image = std::unique_ptr<nifti_image, ImageFree>;

std::set<Voxel> voxelSet(const VoiFileContents::Voi& voi) {
    std::set<Voxel> set;
    for (std::size_t i = 0; i < voi.voxels.size(); i += 3) {
        set.insert({voi.voxels[i], voi.voxels[i + 1], voi.voxels[i + 2]});
    }
    return set;
}

// Every labelled cell of a written volume, by its millimetre position under a transform.
std::map<Voxel, int> labelsByPosition(const nifti_image& image, const nifti_dmat44& transform) {
    std::map<Voxel, int> labels;
    const auto* data = static_cast<const std::int16_t*>(image.data);
    for (std::int64_t k = 0; k < image.nz; ++k) {
        for (std::int64_t j = 0; j < image.ny; ++j) {
            for (std::int64_t i = 0; i < image.nx; ++i) {
                const int label = data[(k * image.ny + j) * image.nx + i];
                if (label == 0) continue;
                int mm[3];
                for (int r = 0; r < 3; ++r) {
                    mm[r] =
                        static_cast<int>(std::lround(transform.m[r][0] * i + transform.m[r][1] * j +
                                                     transform.m[r][2] * k + transform.m[r][3]));
                }
                labels[{mm[0], mm[1], mm[2]}] = label;
            }
        }
    }
    return labels;
}

// A NIfTI image whose grid has voxels of 2 mm, a mirrored x axis and an offset.
void writeGridImage(const std::string& path, std::int64_t nx, std::int64_t ny, std::int64_t nz,
                    const double affine[3][4], bool useSform) {
    const std::int64_t dims[8] = {3, nx, ny, nz, 1, 1, 1, 1};
    Image image(nifti_make_new_nim(dims, NIFTI_TYPE_UINT8, 1));
    nifti_dmat44 m{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) m.m[r][c] = affine[r][c];
    }
    m.m[3][3] = 1;
    if (useSform) {
        image->sform_code = NIFTI_XFORM_SCANNER_ANAT;
        image->sto_xyz = m;
    } else {
        image->qform_code = NIFTI_XFORM_SCANNER_ANAT;
        nifti_dmat44_to_quatern(m, &image->quatern_b, &image->quatern_c, &image->quatern_d,
                                &image->qoffset_x, &image->qoffset_y, &image->qoffset_z, &image->dx,
                                &image->dy, &image->dz, &image->qfac);
        image->pixdim[1] = image->dx;
        image->pixdim[2] = image->dy;
        image->pixdim[3] = image->dz;
    }
    image->nifti_type = NIFTI_FTYPE_NIFTI1_1;
    nifti_set_filenames(image.get(), path.c_str(), 0, 1);
    nifti_image_write(image.get());
}

class VoiExportsTest : public testing::Test {
  protected:
    TempFolder folder;
    VoiFileContents contents;

    void SetUp() override {
        contents.vois.push_back(sphereVoi("Left", -20.5f, 10, 4, 6, 255, 0, 0));
        contents.vois.push_back(sphereVoi("Right", 22, -30, 30.25f, 5, 0, 0, 255));
    }

    // Writes the volume and reads it back through the library.
    Image writeAndRead(const LabelGrid& grid, const std::string& name, LabelVolume& volume) {
        volume = fillLabels(contents, grid);
        writeLabelVolume(folder.file(name), contents, volume);
        return Image(nifti_image_read(folder.file(name).c_str(), 1));
    }
};

TEST_F(VoiExportsTest, DefaultGridRoundTripsEveryVoxelInBothTransforms) {
    const VoiStatistics statistics = computeStatistics(contents);
    const LabelGrid grid = defaultGrid("vois.voi", statistics, 5);
    LabelVolume volume;
    const Image image = writeAndRead(grid, "labels.nii.gz", volume);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->datatype, NIFTI_TYPE_INT16);
    EXPECT_EQ(image->intent_code, NIFTI_INTENT_LABEL);
    EXPECT_EQ(image->sform_code, NIFTI_XFORM_TALAIRACH);
    EXPECT_EQ(image->qform_code, NIFTI_XFORM_TALAIRACH);
    std::map<Voxel, int> expected;
    for (int i = 0; i < 2; ++i) {
        for (const Voxel& v : voxelSet(contents.vois[i])) expected[v] = i + 1;
    }
    EXPECT_EQ(labelsByPosition(*image, image->sto_xyz), expected);
    EXPECT_EQ(labelsByPosition(*image, image->qto_xyz), expected);
    EXPECT_EQ(volume.outside, (std::vector<std::int64_t>{0, 0}));
}

TEST_F(VoiExportsTest, LabelsLandOnAGivenGridWithATransform) {
    // 2 mm voxels, x mirrored, an offset; the sform is used.
    const double affine[3][4] = {{-2, 0, 0, 70}, {0, 2, 0, -110}, {0, 0, 2, -50}};
    const std::string gridPath = folder.file("t1.nii");
    writeGridImage(gridPath, 72, 92, 64, affine, true);
    const LabelGrid grid = gridOfImage(gridPath, Space::kTal, MniToTal::kSpm);
    LabelVolume volume;
    const Image image = writeAndRead(grid, "on-t1.nii", volume);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->nx, 72);
    // The labels are in the space the user named for the grid, and the codes say so.
    EXPECT_EQ(image->sform_code, NIFTI_XFORM_TALAIRACH);
    // Each cell holds the label of the VOI voxel nearest to its centre, if any.
    std::map<Voxel, int> owner;
    for (int voi = 0; voi < 2; ++voi) {
        for (const Voxel& v : voxelSet(contents.vois[voi])) owner[v] = voi + 1;
    }
    const auto* data = static_cast<const std::int16_t*>(image->data);
    std::size_t labelled = 0;
    for (int k = 0; k < 64; ++k) {
        for (int j = 0; j < 92; ++j) {
            for (int i = 0; i < 72; ++i) {
                const Voxel nearest{static_cast<int>(std::floor(70 - 2.0 * i + 0.5)),
                                    static_cast<int>(std::floor(-110 + 2.0 * j + 0.5)),
                                    static_cast<int>(std::floor(-50 + 2.0 * k + 0.5))};
                const auto found = owner.find(nearest);
                const int expected = found == owner.end() ? 0 : found->second;
                ASSERT_EQ(data[(k * 92 + j) * 72 + i], expected) << i << " " << j << " " << k;
                labelled += expected != 0;
            }
        }
    }
    EXPECT_GT(labelled, 100u);
    EXPECT_EQ(volume.outside, (std::vector<std::int64_t>{0, 0}));
}

TEST_F(VoiExportsTest, QformIsUsedWithoutSformAndCutSpheresAreCounted) {
    // A 1 mm grid that starts at x = 0 cuts the left sphere off and halves nothing else.
    const double affine[3][4] = {{1, 0, 0, 0}, {0, 1, 0, -60}, {0, 0, 1, -20}};
    const std::string gridPath = folder.file("half.nii.gz");
    writeGridImage(gridPath, 60, 100, 80, affine, false);
    const LabelGrid grid = gridOfImage(gridPath, Space::kTal, MniToTal::kSpm);
    EXPECT_NEAR(grid.affine[1][3], -60, 1e-6);
    const LabelVolume volume = fillLabels(contents, grid);
    EXPECT_EQ(volume.outside[0], contents.vois[0].info.voxelCount);
    EXPECT_EQ(volume.outside[1], 0);
    EXPECT_EQ(volume.labelled[1], contents.vois[1].info.voxelCount);
}

TEST_F(VoiExportsTest, LabelTableMatchesTheVois) {
    const VoiStatistics statistics = computeStatistics(contents);
    const LabelGrid grid = defaultGrid("vois.voi", statistics, 2);
    const LabelVolume volume = fillLabels(contents, grid);
    const std::string table = writeLabelVolume(folder.file("v.nii"), contents, volume);
    EXPECT_EQ(table, folder.file("v.tsv"));
    const std::string left = std::to_string(contents.vois[0].info.voxelCount);
    const std::string right = std::to_string(contents.vois[1].info.voxelCount);
    // A BIDS table of a discrete segmentation: index, name and color first.
    EXPECT_EQ(readFile(table),
              "index\tname\tcolor\tr\tg\tb\tvoxels\tlabelled\toutside\tvolume_voi_mm3\t"
              "volume_grid_mm3\n"
              "1\tLeft\t#ff0000\t255\t0\t0\t" +
                  left + "\t" + left + "\t0\t" + left + "\t" + left +
                  ".0\n"
                  "2\tRight\t#0000ff\t0\t0\t255\t" +
                  right + "\t" + right + "\t0\t" + right + "\t" + right + ".0\n");
    // Its sidecar describes every column, with units where there are any.
    const auto sidecar = nlohmann::json::parse(readFile(folder.file("v.json")));
    const std::string header = readFile(table).substr(0, readFile(table).find('\n'));
    std::size_t columns = 0;
    for (std::size_t start = 0; start != std::string::npos; ++columns) {
        const std::size_t tab = header.find('\t', start);
        const std::string column = header.substr(start, tab - start);
        ASSERT_TRUE(sidecar.contains(column)) << column;
        EXPECT_FALSE(sidecar[column]["LongName"].get<std::string>().empty()) << column;
        EXPECT_FALSE(sidecar[column]["Description"].get<std::string>().empty()) << column;
        EXPECT_EQ(sidecar[column].contains("Units"), column.find("_mm3") != std::string::npos);
        start = tab == std::string::npos ? tab : tab + 1;
    }
    EXPECT_EQ(columns, sidecar.size());
    EXPECT_EQ(sidecar["volume_grid_mm3"]["Units"], "mm^3");
    // The tables other tools read: a FreeSurfer colour table and a Workbench label list.
    EXPECT_EQ(readFile(folder.file("v_ColorLUT.txt")),
              "#No. Label Name                                 R   G   B   A\n"
              "0   Unknown                                    0   0   0   0\n"
              "1   Left                                       255   0   0   0\n"
              "2   Right                                        0   0 255   0\n");
    EXPECT_EQ(readFile(folder.file("v_wb_labels.txt")),
              "Left\n1 255 0 0 255\nRight\n2 0 0 255 255\n");
}

TEST_F(VoiExportsTest, LabelTableCellsAreUtf8WithoutTabs) {
    VoiFileContents named;
    named.vois.push_back(sphereVoi("tab\there", 0, 0, 0, 2, 300, -5, 16));
    named.vois.push_back(sphereVoi("Gyrus_\xe9", 9, 0, 0, 2, 1, 2, 3));
    named.vois.push_back(sphereVoi("", 18, 0, 0, 2, 1, 2, 3));
    const LabelVolume volume =
        fillLabels(named, defaultGrid("vois.voi", computeStatistics(named), 1));
    const std::string table = readFile(writeLabelVolume(folder.file("n.nii"), named, volume));
    // The colour as the file gives it in r g b, held to 0..255 as #rrggbb.
    EXPECT_NE(table.find("\n1\ttab here\t#ff0010\t300\t-5\t16\t"), std::string::npos) << table;
    EXPECT_NE(table.find("\n2\tGyrus_\xc3\xa9\t#010203\t"), std::string::npos) << table;
    EXPECT_NE(table.find("\n3\tn/a\t#010203\t"), std::string::npos) << table;
}

TEST(VoiStatistics, OverlapsAreCountedExactlyForEveryPair) {
    VoiFileContents contents;
    contents.vois.push_back(sphereVoi("A", 0, 0, 0, 5, 1, 1, 1));
    contents.vois.push_back(sphereVoi("B", 4, 0, 0, 5, 1, 1, 1));
    contents.vois.push_back(sphereVoi("C", 2, 3, 0, 3, 1, 1, 1));
    contents.vois.push_back(sphereVoi("Far", 40, 40, 40, 2, 1, 1, 1));
    const VoiStatistics statistics = computeStatistics(contents);
    std::vector<std::set<Voxel>> sets;
    for (const auto& voi : contents.vois) sets.push_back(voxelSet(voi));
    std::vector<std::tuple<int, int, std::int64_t>> expected;
    for (int a = 0; a < 4; ++a) {
        for (int b = a + 1; b < 4; ++b) {
            std::int64_t shared = 0;
            for (const Voxel& v : sets[a]) shared += sets[b].count(v);
            if (shared > 0) expected.emplace_back(a, b, shared);
        }
    }
    ASSERT_EQ(expected.size(), 3u);  // A-B, A-C, B-C; Far touches nothing
    std::vector<std::tuple<int, int, std::int64_t>> found;
    for (const auto& o : statistics.overlaps) found.emplace_back(o.first, o.second, o.sharedVoxels);
    EXPECT_EQ(found, expected);
    EXPECT_NEAR(statistics.vois[1].centre[0], 4.0, 1e-9);
    EXPECT_EQ(statistics.vois[3].low[2], 38);
    EXPECT_EQ(statistics.vois[3].high[2], 42);

    // In the label volume the later VOI wins every shared cell.
    const LabelGrid grid = defaultGrid("vois.voi", statistics, 0);
    const LabelVolume volume = fillLabels(contents, grid);
    EXPECT_EQ(volume.labelled[2], static_cast<std::int64_t>(sets[2].size()));
    std::int64_t union_ = 0;
    std::set<Voxel> all;
    for (const auto& set : sets) all.insert(set.begin(), set.end());
    for (auto labelled : volume.labelled) union_ += labelled;
    EXPECT_EQ(union_, static_cast<std::int64_t>(all.size()));

    const std::string report = reportText("x.voi", contents, statistics, MniToTal::kSpm);
    EXPECT_NE(report.find("Overlaps: 3 pairs of VOIs share voxels\n"), std::string::npos);
    EXPECT_NE(
        report.find("  1 A and 2 B: " + std::to_string(std::get<2>(expected[0])) + " voxels\n"),
        std::string::npos);
    const auto json =
        nlohmann::json::parse(reportJson("x.voi", contents, statistics, MniToTal::kFsl));
    ASSERT_EQ(json["overlaps"].size(), 3u);
    EXPECT_EQ(json["overlaps"][0]["first"], 1);
    EXPECT_EQ(json["overlaps"][0]["second"], 2);
    EXPECT_EQ(json["overlaps"][0]["shared"], std::get<2>(expected[0]));
    EXPECT_EQ(json["vois"][3]["high"][2], 42);
    // Every centre in TAL and, by the transform the report was asked for, in MNI.
    EXPECT_EQ(json["mni_to_tal"], "fsl");
    const Point far = talToMni({40, 40, 40}, MniToTal::kFsl);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(json["vois"][3]["centre"][axis], 40.0);
        EXPECT_NEAR(json["vois"][3]["centre_mni"][axis].get<double>(), far[axis], 5e-4);
    }
    char row[64];
    const Point mniOfA = talToMni({0, 0, 0}, MniToTal::kSpm);
    std::snprintf(row, sizeof row, "0.0 0.0 0.0           %.1f %.1f %.1f ", mniOfA[0], mniOfA[1],
                  mniOfA[2]);
    EXPECT_NE(report.find(row), std::string::npos) << row << "\n" << report;
    EXPECT_NE(report.find("centre of mass TAL    centre MNI (spm)"), std::string::npos) << report;
}

TEST(VoiReport, ColumnsAfterTheNamesLineUpUnderTheLongestName) {
    VoiFileContents contents;
    contents.vois.push_back(sphereVoi("A", 0, 0, 0, 2, 1, 1, 1));
    contents.vois.push_back(sphereVoi("Superior_temporal_sulcus_R_posterior", 9, 0, 0, 2, 1, 1, 1));
    contents.vois.push_back(sphereVoi("Insula_R", -9, 0, 0, 2, 1, 1, 1));
    const std::string report =
        reportText("x.voi", contents, computeStatistics(contents), MniToTal::kSpm);
    // The heading and every row: the colour column starts at the same place in each.
    const std::string heading = "    #  name";
    std::vector<std::size_t> colourAt;
    for (const std::string& start :
         {heading, std::string("    1  A "), std::string("    2  Superior"),
          std::string("    3  Insula_R")}) {
        const std::size_t row = report.find(start);
        ASSERT_NE(row, std::string::npos) << start << "\n" << report;
        const std::size_t line = report.find('\n', row);
        const std::string text = report.substr(row, line - row);
        colourAt.push_back(text.find(start == heading ? "colour" : "1 1 1"));
    }
    EXPECT_EQ(colourAt[0], std::string("    2  Superior_temporal_sulcus_R_posterior ").size())
        << report;
    for (std::size_t at : colourAt) EXPECT_EQ(at, colourAt[0]) << report;
}

// The message of the Error that making the outputs throws; "" when none is thrown.
std::string outputError(const std::string& voi, const OutputRequest& request) {
    try {
        makeOutputs(voi, request, Log());
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

TEST_F(VoiExportsTest, BadInputGivesAnErrorAndNoFile) {
    OutputRequest request;
    request.nifti = folder.file("out.nii.gz");
    request.png = folder.file("out.png");
    writeFile(folder.file("bad.voi"), "\r\nFileVersion: 4\r\n");
    EXPECT_NE(
        outputError(folder.file("bad.voi"), request).find("bad.voi: line 2 should begin with"),
        std::string::npos);

    // A proper .voi file, but a grid image that is no NIfTI image.
    writeFile(folder.file("notnifti.nii"), std::string(400, 'x'));
    const std::string voi = std::string(FUZZ_CORPUS_DIR) + "/voi_reader/sphere-r1.voi";
    request.grid = folder.file("notnifti.nii");
    EXPECT_NE(outputError(voi, request).find("is not a readable NIfTI image"), std::string::npos);
    request.grid = folder.file("missing.nii");
    EXPECT_NE(outputError(voi, request), "");

    // Outputs into a folder that does not exist, or a volume name NIfTI does not know.
    for (const char* nifti : {"none/out.nii", "wrong.img"}) {
        request = OutputRequest();
        request.nifti = folder.file(nifti);
        EXPECT_NE(outputError(voi, request), "") << nifti;
    }
    request = OutputRequest();
    request.png = folder.file("none/out.png");
    EXPECT_NE(outputError(voi, request).find("cannot create"), std::string::npos);
    EXPECT_EQ(folder.listing(), "bad.voi notnifti.nii");
}

// Shared voxels go to the later VOI and are counted once for each VOI that takes them over;
// a voxel a VOI lists twice is not taken from anyone.
TEST(LabelVolume, VoxelsTakenOverByLaterVoisAreCounted) {
    VoiFileContents overlapping;
    overlapping.vois.push_back(sphereVoi("A", 0, 0, 0, 6, 255, 0, 0));
    overlapping.vois.push_back(sphereVoi("B", 4, 1, 0, 5, 0, 255, 0));
    overlapping.vois.push_back(sphereVoi("C", 2, -3, 2.5f, 4, 0, 0, 255));
    auto& twice = overlapping.vois[2];
    twice.voxels.insert(twice.voxels.end(), twice.voxels.begin(), twice.voxels.begin() + 30);
    twice.info.voxelCount += 10;
    std::map<Voxel, int> owner;
    std::int64_t expected = 0;
    for (int i = 0; i < 3; ++i) {
        for (const Voxel& v : voxelSet(overlapping.vois[static_cast<std::size_t>(i)])) {
            if (owner.count(v) != 0) ++expected;
            owner[v] = i + 1;
        }
    }
    ASSERT_GT(expected, 100);
    const VoiStatistics statistics = computeStatistics(overlapping);
    EXPECT_EQ(fillLabels(overlapping, defaultGrid("vois.voi", statistics, 1)).overwritten,
              expected);
}

// A 1 mm grid aligned with the voxels that cuts the VOIs on every side, a little on one axis
// at a time and on all three: each VOI's voxels off the grid are counted exactly.
TEST_F(VoiExportsTest, AnAlignedGridThatCutsTheVoisCountsTheVoxelsOffIt) {
    const VoiStatistics statistics = computeStatistics(contents);
    for (int cutAxis = -1; cutAxis < 3; ++cutAxis) {
        LabelGrid grid = defaultGrid("vois.voi", statistics, 0);
        for (int axis = 0; axis < 3; ++axis) {
            if (cutAxis >= 0 && axis != cutAxis) continue;
            grid.affine[axis][3] += 2;
            grid.dims[axis] -= 5;
        }
        std::vector<std::int64_t> expected(contents.vois.size(), 0);
        for (std::size_t i = 0; i < contents.vois.size(); ++i) {
            for (const Voxel& v : voxelSet(contents.vois[i])) {
                const std::int64_t at[3] = {std::get<0>(v), std::get<1>(v), std::get<2>(v)};
                for (int axis = 0; axis < 3; ++axis) {
                    const double cell = static_cast<double>(at[axis]) - grid.affine[axis][3];
                    if (cell < 0 || cell >= static_cast<double>(grid.dims[axis])) {
                        ++expected[i];
                        break;
                    }
                }
            }
        }
        EXPECT_GT(expected[0] + expected[1], 0);
        EXPECT_EQ(fillLabels(contents, grid).outside, expected) << "cut on axis " << cutAxis;
    }
}

// Every write of a volume is checked: a disk that fills up is named as the reason, and no
// label table is left beside a volume that was not written.
TEST_F(VoiExportsTest, AVolumeThatCannotBeWrittenSaysWhyAndLeavesNoTables) {
    const VoiStatistics statistics = computeStatistics(contents);
    const LabelVolume volume = fillLabels(contents, defaultGrid("vois.voi", statistics, 5));
    for (const char* name : {"full.nii.gz", "full.nii"}) {
        const std::string path = folder.file(name);
        ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
        try {
            writeLabelVolume(path, contents, volume);
            ADD_FAILURE() << name << " was written";
        } catch (const voikit::Error& error) {
            EXPECT_EQ(std::string(error.what()), path + ": cannot write: No space left on device");
        }
    }
    EXPECT_EQ(folder.listing(), "full.nii full.nii.gz");
}

TEST(VoiStatistics, DenseAndSparsePairTablesAgree) {
    // A chain of overlapping spheres: each shares voxels with its neighbours only.
    VoiFileContents contents;
    for (int i = 0; i < 6; ++i) {
        contents.vois.push_back(sphereVoi("S", static_cast<float>(3 * i), 0, 0, 2, 1, 1, 1));
    }
    const VoiStatistics dense = computeStatistics(contents);
    const VoiStatistics sparse = computeStatistics(contents, 2);
    ASSERT_EQ(dense.overlaps.size(), 5u);
    ASSERT_EQ(sparse.overlaps.size(), dense.overlaps.size());
    for (std::size_t i = 0; i < dense.overlaps.size(); ++i) {
        EXPECT_EQ(sparse.overlaps[i].first, dense.overlaps[i].first);
        EXPECT_EQ(sparse.overlaps[i].second, dense.overlaps[i].second);
        EXPECT_EQ(sparse.overlaps[i].sharedVoxels, dense.overlaps[i].sharedVoxels);
        EXPECT_EQ(dense.overlaps[i].second, dense.overlaps[i].first + 1);
    }
}

TEST(VoiStatistics, VoisSpreadFarApartAreCountedButGetNoDefaultGrid) {
    VoiFileContents contents;
    contents.vois.push_back(sphereVoi("A", -3000, -3000, -3000, 1, 1, 1, 1));
    contents.vois.push_back(sphereVoi("B", 3000, 3000, 3000, 1, 1, 1, 1));
    contents.vois.push_back(sphereVoi("C", 3000, 3000, 3000, 1, 1, 1, 1));
    // Overlaps are counted column by column, not on a lattice over the whole extent.
    const VoiStatistics figures = computeStatistics(contents);
    ASSERT_EQ(figures.overlaps.size(), 1u);
    EXPECT_EQ(figures.overlaps[0].first, 1);
    EXPECT_EQ(figures.overlaps[0].sharedVoxels, figures.vois[1].voxels);
    try {
        defaultGrid("far.voi", figures, 5);
        ADD_FAILURE() << "a default grid over 6 m was made";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "far.voi: the VOIs spread too far for a 1 mm grid");
    }
    // The default grid's bound.
    VoiStatistics wide;
    for (int axis = 0; axis < 3; ++axis) {
        wide.low[axis] = -300;
        wide.high[axis] = 300;
    }
    EXPECT_THROW(defaultGrid("vois.voi", wide, 5), Error);
    for (int axis = 0; axis < 3; ++axis) wide.high[axis] = 90;
    EXPECT_EQ(defaultGrid("vois.voi", wide, 5).dims[0], 401);
    // Labels tell apart no more VOIs than 16 bits hold; the refusal names the file.
    VoiStatistics many = wide;
    many.vois.resize(kMaxLabels + 1);
    try {
        const LabelPass labels("many.voi", defaultGrid("many.voi", wide, 5), many);
        ADD_FAILURE() << "labels for more VOIs than 16 bits hold";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "many.voi: more than " + std::to_string(kMaxLabels) +
                                                 " VOIs do not fit 16-bit labels");
    }
}

// A small image whose header is then changed at byte offsets of the NIfTI-1 layout.
template <typename T>
void patch(std::string& bytes, std::size_t offset, T value) {
    std::memcpy(&bytes[offset], &value, sizeof value);
}

TEST_F(VoiExportsTest, HostileImageHeadersAreRefusedBeforeTheirVoxelsAreRead) {
    const double identity[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    writeGridImage(folder.file("good.nii"), 4, 4, 4, identity, true);
    const std::string good = readFile(folder.file("good.nii"));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        std::function<void(std::string&)> change;
        const char* error;
    } cases[] = {
        {"cells beyond the limit",
         [](std::string& b) {
             patch<std::int16_t>(b, 42, 1024);
             patch<std::int16_t>(b, 44, 1024);
             patch<std::int16_t>(b, 46, 512);
         },
         "more than 2^27 voxels"},
        {"negative size", [](std::string& b) { patch<std::int16_t>(b, 42, -5); }, ""},
        {"complex datatype",
         [](std::string& b) {
             patch<std::int16_t>(b, 70, 32);
             patch<std::int16_t>(b, 72, 64);
         },
         "datatype 32"},
        {"data past the end", [](std::string& b) { patch<std::int16_t>(b, 42, 400); },
         "shorter than its header says"},
        {"voxel offset past the end", [](std::string& b) { patch<float>(b, 108, 1e9f); },
         "shorter than its header says"},
        {"flat transform", [](std::string& b) { patch<float>(b, 312 + 8, 0.0f); },
         "not finite and invertible"},
        {"NaN in the transform", [nan](std::string& b) { patch<float>(b, 280, nan); }, ""},
        {"huge voxel size", [](std::string& b) { patch<float>(b, 80, 1e30f); }, "voxel sizes"},
        {"truncated header", [](std::string& b) { b.resize(200); }, ""},
    };
    for (const auto& c : cases) {
        std::string bytes = good;
        c.change(bytes);
        writeFile(folder.file("bad.nii"), bytes);
        try {
            gridOfImage(folder.file("bad.nii"), Space::kTal, MniToTal::kSpm);
            ADD_FAILURE() << c.what << " was taken";
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos)
                << c.what << ": " << error.what();
        }
    }
    EXPECT_EQ(gridOfImage(folder.file("good.nii"), Space::kTal, MniToTal::kSpm).dims[2], 4);
}

TEST_F(VoiExportsTest, AGridOfUnknownSpaceIsRefusedUntilTheUserSaysWhich) {
    const double identity[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    writeGridImage(folder.file("scanner.nii"), 4, 4, 4, identity, true);
    try {
        gridOfImage(folder.file("scanner.nii"), std::nullopt, MniToTal::kSpm);
        ADD_FAILURE() << "a grid of unknown space was taken";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()).rfind(folder.file("scanner.nii") + ": ", 0), 0u)
            << error.what();
        EXPECT_NE(std::string(error.what()).find("scanner coordinates"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("--grid-space mni"), std::string::npos);
    }
    EXPECT_EQ(gridOfImage(folder.file("scanner.nii"), Space::kMni, MniToTal::kSpm).space,
              Space::kMni);
}

TEST(VoiReport, JsonKeepsEveryByteOfTheNames) {
    VoiFileContents contents;
    contents.vois.push_back(sphereVoi("quote\"back\\slash", 0, 0, 0, 1, 1, 2, 3));
    contents.vois.push_back(sphereVoi("tab\there", 10, 0, 0, 1, 1, 2, 3));
    contents.vois.push_back(sphereVoi("Gyrus_\xc3\xa9", 20, 0, 0, 1, 1, 2, 3));  // UTF-8
    contents.vois.push_back(sphereVoi("Gyrus_\xe9", 30, 0, 0, 1, 1, 2, 3));      // Latin-1
    const std::string json =
        reportJson("a\"b.voi", contents, computeStatistics(contents), MniToTal::kSpm);
    EXPECT_NE(json.find("\"file\": \"a\\\"b.voi\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"quote\\\"back\\\\slash\""), std::string::npos);
    EXPECT_NE(json.find("\"tab\\there\""), std::string::npos);
    // Both spellings of é end up as the same UTF-8 text.
    std::size_t count = 0;
    for (std::size_t at = json.find("Gyrus_\xc3\xa9"); at != std::string::npos;
         at = json.find("Gyrus_\xc3\xa9", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 2u);
    EXPECT_NE(json.find("\"centre\": [\n        10.0,"), std::string::npos) << json;

    // Atlas and region names from label texts in Latin-1, in the regions, the notes and
    // the atlas sides, end up as UTF-8 too.
    Anatomy anatomy;
    anatomy.vois.resize(contents.vois.size());
    anatomy.vois[0].atlases.push_back({"Atlas_\xe9", "R\xe9gion_L", {{"R\xe9gion_L", 10, 1.0}}});
    anatomy.notes.push_back("Atlas_\xe9: 1 of 1 labels named for a side lie on the other side");
    AtlasSides sides;
    sides.sided = 1;
    sides.misplaced.push_back({"R\xe9gion_L", 12.0});
    anatomy.atlasSides.push_back({"Atlas_\xe9", sides, ""});
    const std::string withAnatomy =
        reportJson("a.voi", contents, computeStatistics(contents), MniToTal::kSpm, &anatomy);
    count = 0;
    for (std::size_t at = withAnatomy.find("R\xc3\xa9gion_L"); at != std::string::npos;
         at = withAnatomy.find("R\xc3\xa9gion_L", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 3u) << withAnatomy;
    EXPECT_NE(withAnatomy.find("\"Atlas_\xc3\xa9\": {"), std::string::npos) << withAnatomy;
    EXPECT_NE(withAnatomy.find("\"Atlas_\xc3\xa9: 1 of 1"), std::string::npos) << withAnatomy;
}

}  // namespace
