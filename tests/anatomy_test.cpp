#include "voikit/anatomy/anatomy.h"

#include <gtest/gtest.h>
#include <nifti2_io.h>

#include <map>
#include <memory>
#include <random>
#include <string>

#include "plugin/sphere_voxels.h"
#include "tests/support/vois_in_memory.h"
#include "tests/test_files.h"
#include "tests/test_images.h"
#include "tests/test_vois.h"
#include "voikit/io/error.h"
#include "voikit/space/atlas.h"
#include "voikit/space/nifti_file.h"

namespace {

glomera::VoiFileContents sphereAt(const voikit::Point& tal, float radius) {
    return oneSphere(static_cast<float>(tal[0]), static_cast<float>(tal[1]),
                     static_cast<float>(tal[2]), radius);
}

using voikit::MniToTal;
using voikit::Point;

const std::string kAal = std::string(voikit::kTemplateFolder) + "/aal.nii.gz";

TEST(MniImage, AColumnStepsThroughTheImageAsPointsOneByOneWould) {
    // A 1 mm image and a 2 mm one flipped in x; every transform, columns all over the box.
    for (const char* file : {"aal.nii.gz", "AICHAmc.nii.gz"}) {
        const voikit::MniImage image(std::string(voikit::kTemplateFolder) + "/" + file);
        std::mt19937 random(5);
        std::vector<std::int64_t> column(240);
        for (MniToTal transform :
             {MniToTal::kSpm, MniToTal::kFsl, MniToTal::kOther, MniToTal::kBrett}) {
            std::int64_t inside = 0;
            for (int c = 0; c < 300; ++c) {
                const double x = static_cast<int>(random() % 200) - 100;
                const double y = static_cast<int>(random() % 240) - 130;
                const std::int64_t from = static_cast<int>(random() % 100) - 160;
                image.indicesUpColumn(x, y, from, column.size(), transform, column.data());
                for (std::size_t k = 0; k < column.size(); ++k) {
                    const Point tal{x, y, static_cast<double>(from + static_cast<std::int64_t>(k))};
                    ASSERT_EQ(column[k], image.indexAtMni(voikit::talToMni(tal, transform)))
                        << file << " at " << x << " " << y << " " << tal[2];
                    inside += column[k] >= 0;
                }
            }
            EXPECT_GT(inside, 10000) << file;
        }
    }
}

// Stored numbers stand for slope * stored + intercept when the slope is not 0, for images of
// values and label images alike.
TEST(MniImage, VoxelsAreTheNumbersTheHeaderScalesThemTo) {
    TempFolder folder;
    const struct {
        int datatype;
        double slope, inter;
        std::vector<float> values;  // of the stored 0, 1, 2, 3
    } rows[] = {
        {NIFTI_TYPE_INT16, 0, 5, {0, 1, 2, 3}},  // a slope of 0: stored as they are
        {NIFTI_TYPE_INT16, 1, 0, {0, 1, 2, 3}},         {NIFTI_TYPE_INT16, 2, 10, {10, 12, 14, 16}},
        {NIFTI_TYPE_UINT8, 0.5, 0, {0, 0.5f, 1, 1.5f}}, {NIFTI_TYPE_FLOAT32, -1, 3, {3, 2, 1, 0}},
    };
    for (const auto& row : rows) {
        TestImage image;
        image.datatype = row.datatype;
        image.dims = {4, 1, 1};
        image.sformCode = NIFTI_XFORM_MNI_152;
        image.slope = row.slope;
        image.inter = row.inter;
        image.values = {0, 1, 2, 3};
        const std::string path = folder.file("scaled.nii");
        image.write(path);
        voikit::NiftiImage header = voikit::readImageHeader(path);
        EXPECT_EQ(voikit::readImageValues(path, *header), row.values)
            << row.datatype << " " << row.slope << " " << row.inter;
    }
    // A label image stored as 0..3 with a slope of 10 holds the labels 0, 10, 20 and 30.
    TestImage labels;
    labels.datatype = NIFTI_TYPE_INT16;
    labels.dims = {4, 1, 1};
    labels.sformCode = NIFTI_XFORM_MNI_152;
    labels.slope = 10;
    labels.values = {0, 1, 2, 3};
    labels.write(folder.file("labels.nii"));
    voikit::NiftiImage header = voikit::readImageHeader(folder.file("labels.nii"));
    EXPECT_EQ(voikit::readImageLabelPlaces(folder.file("labels.nii"), *header,
                                           voikit::VoxelOrder::kIFastest)
                  .labels,
              (std::vector<std::int32_t>{0, 10, 20, 30}));
}

// A compressed image is decompressed whole at once where it is one gzip member of the size
// its header implies, and by the library otherwise: the voxels are the same either way, in
// either byte order, and an image whose compressed voxels are short or broken is refused.
TEST(MniImage, CompressedImagesHoldTheVoxelsOfTheirUncompressedTwins) {
    TempFolder folder;
    const auto valuesOf = [](const std::string& path) {
        voikit::NiftiImage header = voikit::readImageHeader(path);
        return voikit::readImageValues(path, *header, voikit::VoxelOrder::kKFastest);
    };
    const struct {
        int datatype;
        bool bigEndian;
        std::vector<std::int64_t> dims;
    } rows[] = {
        {NIFTI_TYPE_FLOAT32, false, {3, 4, 5}},   {NIFTI_TYPE_INT16, true, {3, 4, 5}},
        {NIFTI_TYPE_FLOAT64, true, {3, 4, 5, 2}},  // the first of two volumes
        {NIFTI_TYPE_UINT8, false, {7, 1, 3}},     {NIFTI_TYPE_UINT16, true, {2, 2, 2}},
    };
    for (const auto& row : rows) {
        TestImage image;
        image.datatype = row.datatype;
        image.bigEndian = row.bigEndian;
        image.dims = row.dims;
        image.sformCode = NIFTI_XFORM_MNI_152;
        for (int v = 0; v < 120; ++v) image.values.push_back((v * 37) % 101);
        image.write(folder.file("plain.nii"));
        image.write(folder.file("packed.nii.gz"));
        const std::vector<float> plain = valuesOf(folder.file("plain.nii"));
        ASSERT_EQ(plain.size(), static_cast<std::size_t>(row.dims[0] * row.dims[1] * row.dims[2]));
        // Voxel (0, 0, 1), k fastest.
        EXPECT_EQ(plain[1], static_cast<float>(row.dims[0] * row.dims[1] * 37 % 101));
        EXPECT_EQ(valuesOf(folder.file("packed.nii.gz")), plain) << row.datatype;
        // The same bytes as two gzip members, one after the other.
        const std::string bytes = image.bytes();
        writeCompressed(folder.file("front.gz"), bytes.substr(0, 200));
        writeCompressed(folder.file("back.gz"), bytes.substr(200));
        writeFile(folder.file("members.nii.gz"),
                  readFile(folder.file("front.gz")) + readFile(folder.file("back.gz")));
        EXPECT_EQ(valuesOf(folder.file("members.nii.gz")), plain) << row.datatype;
    }
    TestImage image;
    image.dims = {20, 20, 20};
    for (int v = 0; v < 8000; ++v) image.values.push_back(v);
    const std::string bytes = image.bytes();
    writeCompressed(folder.file("short.nii.gz"), bytes.substr(0, bytes.size() - 4));
    EXPECT_THROW(valuesOf(folder.file("short.nii.gz")), voikit::Error);
    image.write(folder.file("broken.nii.gz"));
    std::string broken = readFile(folder.file("broken.nii.gz"));
    for (std::size_t at = broken.size() / 2; at < broken.size() / 2 + 8; ++at) broken[at] ^= 0x55;
    writeFile(folder.file("broken.nii.gz"), broken);
    EXPECT_THROW(valuesOf(folder.file("broken.nii.gz")), voikit::Error);
}

TEST(Atlas, KnownVoxelsOfTheAtlasFileAreFoundAtTheirTalPositions) {
    // Voxels taken from the atlas file itself, away from region borders: their MNI centres,
    // converted to TAL, must be looked up as the label the file gives them.
    voikit::NiftiImage header = voikit::readImageHeader(kAal);
    const voikit::ImageGrid grid = voikit::gridOf(*header);
    const std::vector<float> labels = voikit::readImageValues(kAal, *header);
    const voikit::Atlas aal("aal");
    std::mt19937 random(3);
    int checked = 0;
    for (MniToTal transform : {MniToTal::kSpm, MniToTal::kFsl, MniToTal::kBrett}) {
        for (int attempt = 0; attempt < 20000 && checked < 300; ++attempt) {
            const std::int64_t i = 1 + random() % (grid.dims[0] - 2);
            const std::int64_t j = 1 + random() % (grid.dims[1] - 2);
            const std::int64_t k = 1 + random() % (grid.dims[2] - 2);
            const auto at = [&](std::int64_t a, std::int64_t b, std::int64_t c) {
                return labels[static_cast<std::size_t>((c * grid.dims[1] + b) * grid.dims[0] + a)];
            };
            const float label = at(i, j, k);
            if (label == 0 || at(i - 1, j, k) != label || at(i + 1, j, k) != label ||
                at(i, j - 1, k) != label || at(i, j + 1, k) != label || at(i, j, k - 1) != label ||
                at(i, j, k + 1) != label) {
                continue;
            }
            Point mni{};
            for (int r = 0; r < 3; ++r) {
                mni[r] = grid.affine[r][0] * i + grid.affine[r][1] * j + grid.affine[r][2] * k +
                         grid.affine[r][3];
            }
            const Point tal = voikit::mniToTal(mni, transform);
            ASSERT_EQ(aal.labelAt(tal, transform), static_cast<std::int32_t>(label))
                << mni[0] << " " << mni[1] << " " << mni[2];
            ++checked;
        }
    }
    EXPECT_GE(checked, 300);
    EXPECT_EQ(aal.regionName(37), "Hippocampus_L");
    EXPECT_EQ(voikit::Atlas("brodmann").regionName(17), "BA 17");
}

TEST(Anatomy, RegionsAndTheirSharesAtAKnownPlace) {
    // MNI (-24, -1, -17), the centre of AAL's left amygdala in the atlas file; the sphere is
    // placed at its TAL point.
    const Point tal = voikit::mniToTal({-24, -1, -17}, MniToTal::kSpm);
    const auto contents = sphereAt(tal, 2.0f);
    voikit::AnatomySettings settings;
    settings.atlases = {"aal"};
    const voikit::Anatomy anatomy =
        voikit::describeAnatomy(contents, voikit::computeStatistics(contents), settings);
    ASSERT_EQ(anatomy.vois.size(), 1u);
    const voikit::AtlasRegions& aal = anatomy.vois[0].atlases.at(0);
    EXPECT_EQ(aal.atlas, "AAL");
    EXPECT_EQ(aal.atCentre, "Amygdala_L");
    double total = 0;
    for (const voikit::RegionShare& region : aal.regions) total += region.share;
    EXPECT_NEAR(total, 1.0, 1e-9);
    EXPECT_EQ(aal.regions.front().region, "Amygdala_L");
    EXPECT_GT(aal.regions.front().share, 0.5);
    EXPECT_TRUE(anatomy.vois[0].centreInBrain);
    EXPECT_TRUE(anatomy.vois[0].warnings.empty());
}

TEST(Anatomy, SpheresOutsideTheBrainAreWarnedOf) {
    // Inside the accepted box, but above the cortex: no brain there in ch2bet.
    const auto scalp = sphereAt({0, 60, 70}, 6.0f);
    const voikit::Anatomy anatomy =
        voikit::describeAnatomy(scalp, voikit::computeStatistics(scalp), voikit::AnatomySettings{});
    EXPECT_FALSE(anatomy.vois[0].centreInBrain);
    ASSERT_EQ(anatomy.vois[0].warnings.size(), 1u);
    EXPECT_EQ(anatomy.vois[0].warnings[0].rfind("its centre lies outside the brain", 0), 0u);
    // A sphere straddling the brain's edge at the vertex, its centre just inside (off the
    // midline, whose fissure holds no brain): 41% of its voxels inside.
    const auto edge = sphereAt(voikit::mniToTal({30, -20, 75}, MniToTal::kSpm), 10.0f);
    const voikit::Anatomy half =
        voikit::describeAnatomy(edge, voikit::computeStatistics(edge), voikit::AnatomySettings{});
    EXPECT_TRUE(half.vois[0].centreInBrain);
    EXPECT_LT(half.vois[0].shareInBrain, 0.5);
    ASSERT_EQ(half.vois[0].warnings.size(), 1u);
    EXPECT_EQ(half.vois[0].warnings[0].rfind("only ", 0), 0u) << half.vois[0].warnings[0];
}

// An MNI image of 1 mm voxels centred on the origin, each voxel given by `value`, stored
// as T (of NIfTI datatype `datatype`).
template <typename T, typename Value>
void writeImage(const std::string& path, int datatype, std::int64_t size, Value value) {
    const std::int64_t dims[8] = {3, size, size, size, 1, 1, 1, 1};
    nifti_image* image = nifti_make_new_nim(dims, datatype, 1);
    auto* data = static_cast<T*>(image->data);
    for (std::int64_t i = 0; i < size * size * size; ++i) data[i] = static_cast<T>(value(i));
    image->sform_code = NIFTI_XFORM_MNI_152;
    image->sto_xyz = nifti_dmat44{};
    const std::int64_t half = size / 2;  // the origin at the voxel (half, half, half)
    for (int r = 0; r < 3; ++r) {
        image->sto_xyz.m[r][r] = 1;
        image->sto_xyz.m[r][3] = -static_cast<double>(half);
    }
    image->sto_xyz.m[3][3] = 1;
    image->nifti_type = NIFTI_FTYPE_NIFTI1_1;
    nifti_set_filenames(image, path.c_str(), 0, 1);
    nifti_image_write(image);
    nifti_image_free(image);
}

template <typename Value>
void writeFloatImage(const std::string& path, std::int64_t size, Value value) {
    writeImage<float>(path, NIFTI_TYPE_FLOAT32, size, value);
}

// Why the image at `path` is refused as an atlas; "" when it is taken.
std::string atlasRefusal(const std::string& path) {
    try {
        const voikit::Atlas atlas(path);
    } catch (const voikit::Error& error) {
        return error.what();
    }
    return "";
}

TEST(Atlas, LabelsAreRoundedWholeNumbersAndAnythingElseIsRefused) {
    TempFolder folder;
    const std::string rounded = folder.file("rounded.nii");
    // 2.4 and 2.5 one after the other up every column.
    writeFloatImage(rounded, 8, [](std::int64_t i) { return i % 2 == 0 ? 2.4f : 2.5f; });
    const voikit::Atlas atlas(rounded);
    EXPECT_EQ(atlas.labels(), (std::vector<std::int32_t>{0, 2, 3}));
    EXPECT_EQ(atlas.maxLabel(), 3);
    EXPECT_EQ(atlas.labelAtMni({0, 0, 0}), 2);
    EXPECT_EQ(atlas.labelAtMni({1, 0, 0}), 3);
    EXPECT_EQ(atlas.labelAtMni({40, 0, 0}), 0);  // off the image

    const std::string negative = folder.file("negative.nii");
    writeFloatImage(negative, 8, [](std::int64_t i) { return i == 100 ? -3.0f : 1.0f; });
    EXPECT_NE(atlasRefusal(negative).find("is no label image: it holds the value -3"),
              std::string::npos)
        << atlasRefusal(negative);
    // Whole-number images are taken as they are, and refused alike.
    const std::string bytes = folder.file("bytes.nii");
    writeImage<std::uint8_t>(bytes, NIFTI_TYPE_UINT8, 8,
                             [](std::int64_t i) { return i % 3 * 100; });
    EXPECT_EQ(voikit::Atlas(bytes).labels(), (std::vector<std::int32_t>{0, 100, 200}));
    const std::string shorts = folder.file("shorts.nii");
    writeImage<std::int16_t>(shorts, NIFTI_TYPE_INT16, 8,
                             [](std::int64_t i) { return i == 300 ? -7 : 30000; });
    EXPECT_NE(atlasRefusal(shorts).find("is no label image: it holds the value -7"),
              std::string::npos)
        << atlasRefusal(shorts);
    // Every voxel its own label: more regions than an atlas holds.
    const std::string many = folder.file("many.nii");
    writeFloatImage(many, 42, [](std::int64_t i) { return static_cast<float>(i); });
    EXPECT_NE(atlasRefusal(many).find("holds 74088 different labels"), std::string::npos)
        << atlasRefusal(many);
}

// Unscaled images of 8- and 16-bit whole numbers go through a table of their values: the
// labels and places are those the same numbers give stored as floats, up to the largest
// number each type holds, a byte a voxel for up to 256 labels; and the first negative number
// is refused.
TEST(Atlas, SmallWholeNumbersHoldTheLabelsTheirFloatsHold) {
    TempFolder folder;
    const auto places = [](const std::string& path) {
        voikit::NiftiImage header = voikit::readImageHeader(path);
        return voikit::readImageLabelPlaces(path, *header, voikit::VoxelOrder::kKFastest);
    };
    std::vector<double> many;  // 0 to 299 and 65,000: two bytes a voxel
    many.reserve(301);
    for (int label = 0; label < 300; ++label) many.push_back(label);
    many.push_back(65000);
    const struct {
        int datatype;
        std::vector<double> values;  // every voxel one of them, scattered
    } rows[] = {
        {NIFTI_TYPE_UINT8, {0, 255, 1, 128, 7}},
        {NIFTI_TYPE_INT8, {0, 127, 5, 64}},
        {NIFTI_TYPE_UINT16, {0, 65535, 300, 1, 40000, 255, 256}},
        {NIFTI_TYPE_INT16, {32767, 2, 1000}},  // no 0 in the image: 0 is still the first label
        {NIFTI_TYPE_UINT16, many},
    };
    for (const auto& row : rows) {
        const auto value = [&row](std::int64_t i) {
            return row.values[static_cast<std::size_t>(i * 11) % row.values.size()];
        };
        const std::string whole = folder.file("whole.nii");
        switch (row.datatype) {
            case NIFTI_TYPE_UINT8:
                writeImage<std::uint8_t>(whole, row.datatype, 8, value);
                break;
            case NIFTI_TYPE_INT8:
                writeImage<std::int8_t>(whole, row.datatype, 8, value);
                break;
            case NIFTI_TYPE_UINT16:
                writeImage<std::uint16_t>(whole, row.datatype, 8, value);
                break;
            default:
                writeImage<std::int16_t>(whole, row.datatype, 8, value);
        }
        writeFloatImage(folder.file("floats.nii"), 8, value);
        const voikit::LabelPlaces tabled = places(whole);
        const voikit::LabelPlaces floats = places(folder.file("floats.nii"));
        EXPECT_EQ(tabled.labels, floats.labels) << row.datatype;
        EXPECT_EQ(tabled.labels.front(), 0) << row.datatype;
        EXPECT_EQ(tabled.labels.size(), row.values.size() + (row.values.front() == 0 ? 0 : 1));
        EXPECT_EQ(tabled.narrow, floats.narrow) << row.datatype;
        EXPECT_EQ(tabled.wide, floats.wide) << row.datatype;
        EXPECT_EQ(tabled.narrow.empty(), tabled.labels.size() > 256) << row.datatype;
        EXPECT_EQ(tabled.narrow.size() + tabled.wide.size(), 512u) << row.datatype;
    }
    const std::string negative = folder.file("negative.nii");
    writeImage<std::int8_t>(negative, NIFTI_TYPE_INT8, 8, [](std::int64_t i) {
        return i == 100 ? -128 : i == 50 ? 127 : i == 200 ? -3 : 1;
    });
    EXPECT_NE(atlasRefusal(negative).find("is no label image: it holds the value -128.000000"),
              std::string::npos)
        << atlasRefusal(negative);
}

// The label texts as atlases ship them (CRLF lines; a tab after the number, or spaces and a
// code column) and as people write them, names with spaces.
TEST(Atlas, LabelNamesAreReadWholeInEveryLayout) {
    TempFolder folder;
    const std::string image = folder.file("labels.nii");
    writeFloatImage(image, 4, [](std::int64_t i) { return static_cast<float>(i % 4); });
    const struct {
        const char* text;
        std::vector<std::string> names;  // of labels 1, 2 and 3
    } rows[] = {
        {"1 Precentral_L 2001\r\n2 Precentral_R 2002\r\n3 Frontal_Sup_L 2101\r\n",
         {"Precentral_L", "Precentral_R", "Frontal_Sup_L"}},
        {"0\tUnclassified\r\n1\tMiddle_cerebellar_peduncle\r\n2\tGenu\r\n3\tFornix\r\n",
         {"Middle_cerebellar_peduncle", "Genu", "Fornix"}},
        {"1\tLeft amygdala\n2\tRight amygdala\t2002\textra\n3\t Left  insula \n",
         {"Left amygdala", "Right amygdala", "Left  insula"}},
        {"1 Left amygdala\n2 Right amygdala\n3 Area 44\n",
         {"Left amygdala", "Right amygdala", "Area 44"}},
        {"# index name\n1 Left amygdala 17\n2 Right amygdala 18\n3 Insula 19\n",
         {"Left amygdala", "Right amygdala", "Insula"}},
        {"1 Left amygdala\t17\n2 V1\n3\tArea 44\n", {"Left amygdala", "V1", "Area 44"}},
    };
    for (const auto& row : rows) {
        writeFile(folder.file("labels.txt"), row.text);
        const voikit::Atlas atlas(image + ":" + folder.file("labels.txt"));
        for (std::int32_t label = 1; label <= 3; ++label) {
            EXPECT_EQ(atlas.regionName(label), row.names[static_cast<std::size_t>(label - 1)])
                << row.text;
        }
    }
}

TEST(Anatomy, AnAtlasOfManyRegionsCountsItsVoisInBatchesAsOneByOne) {
    // 59,319 regions, one a voxel: the counts of 300 VOIs do not fit one batch.
    TempFolder folder;
    const std::string atlas = folder.file("fine.nii");
    writeFloatImage(atlas, 39, [](std::int64_t i) { return static_cast<float>(i + 1); });
    voikit::AnatomySettings settings;
    settings.atlases = {atlas};
    glomera::VoiFileContents all;
    std::mt19937 random(9);
    std::uniform_real_distribution<float> place(-12.0f, 12.0f);
    for (int i = 0; i < 300; ++i) {
        all.vois.push_back(
            sphereVoi("V", place(random), place(random), place(random), 2.5f, 0, 0, 0));
    }
    const voikit::Anatomy together =
        voikit::describeAnatomy(all, voikit::computeStatistics(all), settings);
    ASSERT_EQ(together.vois.size(), 300u);
    for (const std::size_t i :
         {std::size_t{0}, std::size_t{150}, std::size_t{280}, std::size_t{299}}) {
        glomera::VoiFileContents one;
        one.vois.push_back(all.vois[i]);
        const voikit::Anatomy alone =
            voikit::describeAnatomy(one, voikit::computeStatistics(one), settings);
        const auto& a = together.vois[i].atlases.at(0).regions;
        const auto& b = alone.vois[0].atlases.at(0).regions;
        ASSERT_EQ(a.size(), b.size()) << i;
        EXPECT_GT(a.size(), 40u) << i;  // a region per voxel, nearly
        for (std::size_t r = 0; r < a.size(); ++r) {
            EXPECT_EQ(a[r].region, b[r].region) << i;
            EXPECT_EQ(a[r].voxels, b[r].voxels) << i;
        }
    }
}

// VOIs that overlap in most columns, and some that share columns far apart: per VOI and atlas,
// the voxels counted column by column are those its voxels give looked up one by one.
TEST(Anatomy, ColumnCountsAreTheVoxelsLookedUpOneByOne) {
    glomera::VoiFileContents contents;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> x(-60, 25), y(-90, 60), z(-40, 70), radius(2, 9);
    for (int i = 0; i < 40; ++i) {
        contents.vois.push_back(sphereVoi("V", x(random), y(random), z(random), radius(random)));
    }
    // Small spheres above one another, alone in their columns but for each other, from below
    // the brain to its top: one VOI of two of them, one of a third, and one listing its
    // voxels twice.
    glomera::VoiFileContents::Voi apart = sphereVoi("apart", 45, -20, -40, 2);
    const glomera::VoiFileContents::Voi upper = sphereVoi("upper", 45, -20, 60, 2);
    apart.voxels.insert(apart.voxels.end(), upper.voxels.begin(), upper.voxels.end());
    contents.vois.push_back(apart);
    contents.vois.push_back(sphereVoi("middle", 45, -20, 10, 1.5f));
    glomera::VoiFileContents::Voi twice = sphereVoi("twice", 45, -20, 35, 2);
    twice.voxels.insert(twice.voxels.end(), twice.voxels.begin(), twice.voxels.end());
    contents.vois.push_back(twice);
    for (glomera::VoiFileContents::Voi& voi : contents.vois) {
        voi.info.voxelCount = static_cast<std::int32_t>(voi.voxels.size() / 3);
    }

    std::vector<std::unique_ptr<voikit::Atlas>> atlases;
    for (const std::string& name : voikit::defaultAtlases()) {
        atlases.push_back(std::make_unique<voikit::Atlas>(name));
    }
    const voikit::Atlas brain(voikit::defaultBrain());
    for (MniToTal transform : {MniToTal::kSpm, MniToTal::kBrett}) {
        voikit::AnatomySettings settings;
        settings.transform = transform;
        const voikit::Anatomy anatomy =
            voikit::describeAnatomy(contents, voikit::computeStatistics(contents), settings);
        ASSERT_EQ(anatomy.vois.size(), contents.vois.size());
        for (std::size_t v = 0; v < contents.vois.size(); ++v) {
            const std::vector<std::int32_t>& voxels = contents.vois[v].voxels;
            const auto count = static_cast<double>(voxels.size()) / 3;
            std::int64_t inBrain = 0;
            for (std::size_t i = 0; i < voxels.size(); i += 3) {
                const Point tal{static_cast<double>(voxels[i]), static_cast<double>(voxels[i + 1]),
                                static_cast<double>(voxels[i + 2])};
                inBrain += brain.labelAt(tal, transform) > 0 ? 1 : 0;
            }
            EXPECT_EQ(anatomy.vois[v].shareInBrain, static_cast<double>(inBrain) / count) << v;
            ASSERT_EQ(anatomy.vois[v].atlases.size(), atlases.size());
            for (std::size_t a = 0; a < atlases.size(); ++a) {
                std::map<std::string, std::int64_t> expected, counted;
                for (std::size_t i = 0; i < voxels.size(); i += 3) {
                    const Point tal{static_cast<double>(voxels[i]),
                                    static_cast<double>(voxels[i + 1]),
                                    static_cast<double>(voxels[i + 2])};
                    const std::int32_t label = atlases[a]->labelAt(tal, transform);
                    ++expected[label != 0 ? atlases[a]->regionName(label) : ""];
                }
                for (const voikit::RegionShare& region : anatomy.vois[v].atlases[a].regions) {
                    counted[region.region] += region.voxels;
                }
                EXPECT_EQ(counted, expected) << "VOI " << v << ", " << atlases[a]->name();
            }
        }
    }
}

TEST(Anatomy, AnAtlasOfTheUsersMustBeReadable) {
    voikit::AnatomySettings settings;
    settings.atlases = {"/nonexistent/atlas.nii.gz:labels.txt"};
    const auto contents = sphereAt({0, 0, 0}, 2.0f);
    EXPECT_THROW(voikit::describeAnatomy(contents, voikit::computeStatistics(contents), settings),
                 voikit::Error);
    // Any label image with its label text works.
    settings.atlases = {kAal + ":" + voikit::kTemplateFolder + "/aal.nii.txt"};
    const auto anatomy =
        voikit::describeAnatomy(contents, voikit::computeStatistics(contents), settings);
    EXPECT_EQ(anatomy.vois[0].atlases.at(0).atlas, "aal.nii.gz");
}

}  // namespace
