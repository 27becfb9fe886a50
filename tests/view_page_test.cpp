// The interactive page as text: escaping for each place text goes, the bytes it carries, and
// a whole page of hostile names taken apart again. (Its behaviour in a browser is
// tests/browser/view_page_test.js.)
#include "voikit/page/view_page.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "tests/support/vois_in_memory.h"
#include "tests/test_files.h"
#include "tests/test_vois.h"
#include "voikit/outputs/label_volume.h"
#include "voikit/page/html_text.h"
#include "voikit/page/page_bytes.h"
#include "voikit/space/atlas.h"
#include "voikit/space/nifti_file.h"

namespace {

using voikit::Point;

TEST(HtmlText, EachContextEscapesWhatWouldEndOrOpenSomething) {
    struct Case {
        std::string (*escape)(std::string_view);
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {voikit::htmlEscaped, "Amygdala_L", "Amygdala_L"},
        {voikit::htmlEscaped, "<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
        {voikit::htmlEscaped, "a & \"b\" 'c'", "a &amp; &quot;b&quot; &#39;c&#39;"},
        {voikit::htmlEscaped, "Gyrus \xC3\xA9", "Gyrus \xC3\xA9"},
        {voikit::scriptJson, R"({"n":"</script><script>x()</script>"})",
         R"({"n":"\u003c/script\u003e\u003cscript\u003ex()\u003c/script\u003e"})"},
        {voikit::scriptJson, R"(["a & b", "<!--"])", R"(["a \u0026 b", "\u003c!--"])"},
        {voikit::scriptJson, "[\"line\xE2\x80\xA8para\xE2\x80\xA9\"]",
         R"(["line\u2028para\u2029"])"},
        {voikit::scriptJson, "[\"\xE2\x80\xA6\"]", "[\"\xE2\x80\xA6\"]"},  // an ellipsis stays
        {voikit::inlineScript, "s = '</script>';", R"(s = '<\/script>';)"},
        {voikit::inlineScript, "s = '</SCRIPT >';", R"(s = '<\/SCRIPT >';)"},
        {voikit::inlineScript, "x <!-- y", R"(x <\!-- y)"},
        {voikit::inlineScript, "a </scrip b <scriptx", "a </scrip b <scriptx"},
        {voikit::inlineScript, "ends </script", R"(ends <\/script)"},
        {voikit::inlineScript, "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.escape(c.in), c.out) << c.in;
}

TEST(HtmlText, EscapedJsonReadsBackAsTheSameText) {
    const std::string name = "</script><script>document.title='x'</script>\xE2\x80\xA8&<>";
    const nlohmann::json data = {{"name", name}};
    const std::string safe = voikit::scriptJson(data.dump());
    EXPECT_EQ(safe.find('<'), std::string::npos);
    EXPECT_EQ(safe.find("\xE2\x80\xA8"), std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(safe)["name"], name);
}

TEST(PageBytes, Base64OfTheStandardsVectors) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [in, out] : vectors) EXPECT_EQ(voikit::base64(in), out) << in;
    EXPECT_EQ(voikit::base64(std::string("\xFF\xFE\x00", 3)), "//4A");
}

// Reads a gzip member back with zlib.
std::string gunzipped(const std::string& bytes) {
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
    std::string out;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    int status = Z_OK;
    while (status == Z_OK) {
        char chunk[1 << 14];
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - stream.avail_out);
    }
    EXPECT_EQ(status, Z_STREAM_END);
    inflateEnd(&stream);
    return out;
}

std::string base64Decoded(const std::string& text) {
    std::string out;
    std::uint32_t group = 0;
    int bits = 0;
    for (const char c : text) {
        const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = std::strchr(digits, c);
        if (c == '=' || at == nullptr) break;
        group = group << 6 | static_cast<std::uint32_t>(at - digits);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return out;
}

TEST(PageBytes, GzipRoundTripsEmptyRepetitiveAndRandomBytes) {
    std::mt19937 random(7);
    std::string noise(300000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    for (const std::string& bytes : {std::string(), std::string(5000000, '\0'), noise}) {
        const std::string packed = voikit::gzipped(bytes);
        ASSERT_GE(packed.size(), 18u);
        EXPECT_EQ(packed.substr(0, 2), "\x1f\x8b");
        EXPECT_EQ(gunzipped(packed), bytes);
    }
    EXPECT_LT(voikit::gzipped(std::string(5000000, '\0')).size(), 10000u);
}

// The JSON the page's script works from.
nlohmann::json dataOf(const std::string& page) {
    const std::string open = "<script type=\"application/json\" id=\"glomera-data\">";
    const std::size_t from = page.find(open) + open.size();
    return nlohmann::json::parse(page.substr(from, page.find("</script>", from) - from));
}

// The region the page's script finds at an MNI position in one of its atlases (`places`
// unpacked): the nearest voxel, as the program's own lookup takes it; none off the image.
std::string regionInPage(const nlohmann::json& atlas, const std::string& places, const Point& at) {
    const std::int64_t dims[3] = {atlas["dims"][0], atlas["dims"][1], atlas["dims"][2]};
    std::int64_t voxel[3];
    for (int r = 0; r < 3; ++r) {
        const double ijk = atlas["toVoxel"][r][0].get<double>() * at[0] +
                           atlas["toVoxel"][r][1].get<double>() * at[1] +
                           atlas["toVoxel"][r][2].get<double>() * at[2] +
                           atlas["toVoxel"][r][3].get<double>();
        voxel[r] = static_cast<std::int64_t>(std::floor(ijk + 0.5));
        if (voxel[r] < 0 || voxel[r] >= dims[r]) return "";
    }
    const std::int64_t index = (voxel[0] * dims[1] + voxel[1]) * dims[2] + voxel[2];
    const std::size_t place =
        atlas["wide"]
            ? static_cast<unsigned char>(places[2 * index]) |
                  static_cast<std::size_t>(static_cast<unsigned char>(places[2 * index + 1])) << 8
            : static_cast<unsigned char>(places[index]);
    return atlas["regions"][place];
}

// A page of two spheres named to break out of every context, one ordinary, and one VOI
// without voxels; taken apart again.
class ViewPageTest : public testing::Test {
  protected:
    void SetUp() override {
        vois.vois.push_back(sphereVoi(kHostile[0], -21, -6, -13, 5, 230, 25, 75));
        vois.vois.push_back(sphereVoi(kHostile[1], 21, -4, -12, 5, 60, 180, 75));
        vois.vois.push_back(sphereVoi("Fusiform_R", 38, -49, -18, 5, 255, 225, 25));
        vois.vois.push_back(sphereVoi("Empty", 0, 0, 0, 5));
        vois.vois.back().voxels.clear();
        vois.vois.back().info.voxelCount = 0;
        statistics = voikit::computeStatistics(vois);
        const voikit::LabelGrid grid =
            voikit::mniTemplateGrid(voikit::defaultBrain(), voikit::MniToTal::kSpm);
        labels = voikit::fillLabels(vois, grid);
        contents.source = "</title><b>s.voi";
        contents.vois = &vois;
        contents.statistics = &statistics;
        contents.templatePath = voikit::defaultBrain();
        contents.labels = voikit::labelVolumeBytes(vois, labels);
        contents.atlases.push_back(&aal);
        page = voikit::viewPage(contents);
        data = dataOf(page);
    }

    static constexpr const char* kHostile[2] = {"</script><script>document.title='x'</script>",
                                                "<img src=x onerror=alert(1)>"};
    glomera::VoiFileContents vois;
    voikit::VoiStatistics statistics;
    voikit::LabelVolume labels;
    voikit::Atlas aal{"aal"};
    voikit::ViewPageContents contents;
    std::string page;
    nlohmann::json data;
};

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST_F(ViewPageTest, HostileNamesAreTextInEveryPlaceTheyGo) {
    // Three script elements end where they should, and nothing else opens a tag.
    EXPECT_EQ(occurrences(page, "</script"), 3u);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("<b>s.voi"), std::string::npos);
    EXPECT_EQ(occurrences(page, "<title>VOIs of &lt;/title&gt;&lt;b&gt;s.voi</title>"), 1u);
    EXPECT_EQ(occurrences(page,
                          "<div class=\"name\">&lt;/script&gt;&lt;script&gt;document.title="
                          "&#39;x&#39;&lt;/script&gt;</div>"),
              1u);
    EXPECT_EQ(occurrences(page, "<div class=\"name\">&lt;img src=x onerror=alert(1)&gt;</div>"),
              1u);
    // The names read back from the page's data as they were.
    EXPECT_EQ(data["vois"][0]["name"], kHostile[0]);
    EXPECT_EQ(data["vois"][1]["name"], kHostile[1]);
}

TEST_F(ViewPageTest, TheDataHoldCentresInBothSpacesAndTheTransform) {
    ASSERT_EQ(data["vois"].size(), 4u);
    const nlohmann::json& third = data["vois"][2];
    EXPECT_EQ(third["number"], 3);
    EXPECT_EQ(third["colour"], nlohmann::json({255, 225, 25}));
    EXPECT_EQ(third["voxels"], statistics.vois[2].voxels);
    const Point tal = {third["tal"][0], third["tal"][1], third["tal"][2]};
    EXPECT_NEAR(tal[0], 38, 0.05);
    EXPECT_NEAR(tal[1], -49, 0.05);
    const Point mni = voikit::talToMni(tal, voikit::MniToTal::kSpm);
    for (int a = 0; a < 3; ++a) EXPECT_DOUBLE_EQ(third["mni"][a].get<double>(), mni[a]);
    // Without voxels a VOI has no centre to go to.
    EXPECT_FALSE(data["vois"][3].contains("mni"));
    EXPECT_EQ(occurrences(page, "<td class=\"mm\">-</td>"), 1u);
    EXPECT_EQ(occurrences(page, "<td class=\"mm\"><div>TAL 38.0, -49.0, -18.0</div><div>MNI "), 1u);
    // The matrices take MNI back to the TAL the program uses.
    const nlohmann::json& upper = data["mniToTal"]["upper"];
    for (int r = 0; r < 3; ++r) {
        const double back = upper[r][0].get<double>() * mni[0] +
                            upper[r][1].get<double>() * mni[1] +
                            upper[r][2].get<double>() * mni[2] + upper[r][3].get<double>();
        EXPECT_NEAR(back, tal[r], 1e-9);
    }
}

TEST_F(ViewPageTest, TheLabelsAreOnTheTemplatesGridAndTheAtlasLooksUpAsTheProgramDoes) {
    // The VOIs' labels: a .nii.gz on ch2bet's 181 x 217 x 181 grid, 352 bytes of header.
    const std::string nifti = gunzipped(base64Decoded(data["labels"]));
    ASSERT_EQ(nifti.size(), 352u + 181u * 217u * 181u * 2u);
    nifti_1_header header;
    std::memcpy(&header, nifti.data(), sizeof header);
    EXPECT_EQ(header.dim[1], 181);
    EXPECT_EQ(header.dim[3], 181);
    EXPECT_EQ(header.datatype, NIFTI_TYPE_INT16);
    EXPECT_EQ(header.sform_code, NIFTI_XFORM_MNI_152);
    EXPECT_EQ(std::memcmp(nifti.data() + 352, labels.labels.data(), labels.labels.size() * 2), 0);
    // The label at the third VOI's MNI centre is 3.
    const Point mni = {data["vois"][2]["mni"][0], data["vois"][2]["mni"][1],
                       data["vois"][2]["mni"][2]};
    const std::int64_t cell[3] = {std::lround(mni[0] + 90), std::lround(mni[1] + 125),
                                  std::lround(mni[2] + 71)};
    EXPECT_EQ(labels.labels[static_cast<std::size_t>((cell[2] * 217 + cell[1]) * 181 + cell[0])],
              3);

    // The atlas: a place per voxel, k fastest; looked up as its image is, it names the same
    // region as the program's own lookup.
    const nlohmann::json& atlas = data["atlases"][0];
    EXPECT_EQ(atlas["name"], "AAL");
    const std::string places = gunzipped(base64Decoded(atlas["places"]));
    ASSERT_EQ(places.size(), 181u * 217u * 181u);
    for (const Point& at : {mni, Point{-22, -6, -18}, Point{0, 0, 0}, Point{300, 0, 0}}) {
        const std::int32_t label = aal.labelAtMni(at);
        EXPECT_EQ(regionInPage(atlas, places, at), label == 0 ? "" : aal.regionName(label))
            << at[0] << " " << at[1];
    }
    EXPECT_EQ(atlas["regions"][0], "");
}

TEST_F(ViewPageTest, ThePageCarriesTheViewerTheTemplateAndTheirLicences) {
    EXPECT_NE(page.find("BSD 2-Clause License"), std::string::npos);
    EXPECT_NE(page.find("Copyright (c) 2021, Niivue"), std::string::npos);
    EXPECT_NE(page.find("Chris Rorden"), std::string::npos);   // mricron-data's notice
    EXPECT_NE(page.find("niivue.Niivue"), std::string::npos);  // the page's script
    // No address of the network anywhere in what the page loads: everything is inside.
    EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
    EXPECT_EQ(page.find("src=\"http"), std::string::npos);
    const std::string templateBytes = base64Decoded(data["template"]["base64"]);
    EXPECT_EQ(data["template"]["name"], "template.nii.gz");
    EXPECT_EQ(gunzipped(templateBytes).size(), 352u + 181u * 217u * 181u);
}

TEST(ViewPageAtlas, AnAtlasOfMoreThan256RegionsTravelsAsTwoBytesPerVoxel) {
    // 300 regions: a label volume of 300 small spheres, taken as an atlas.
    TempFolder folder;
    glomera::VoiFileContents many;
    for (int row = 0; row < 20; ++row) {
        for (int column = 0; column < 15; ++column) {
            many.vois.push_back(sphereVoi("R", static_cast<float>(-45 + 6 * column),
                                          static_cast<float>(-60 + 6 * row), 0, 2));
        }
    }
    const voikit::VoiStatistics figures = voikit::computeStatistics(many);
    const std::string image = folder.file("many.nii.gz");
    voikit::writeLabelVolume(image, many,
                             voikit::fillLabels(many, voikit::defaultGrid("vois.voi", figures, 2)));
    const voikit::Atlas atlas(image);
    ASSERT_EQ(atlas.labels().size(), 301u);

    glomera::VoiFileContents one;
    one.vois.push_back(sphereVoi("V", 0, 0, 0, 3));
    const voikit::VoiStatistics statistics = voikit::computeStatistics(one);
    voikit::ViewPageContents contents;
    contents.source = "one.voi";
    contents.vois = &one;
    contents.statistics = &statistics;
    contents.templatePath = voikit::defaultBrain();
    contents.labels = voikit::labelVolumeBytes(
        one, voikit::fillLabels(
                 one, voikit::mniTemplateGrid(contents.templatePath, voikit::MniToTal::kSpm)));
    contents.atlases.push_back(&atlas);
    const nlohmann::json data = dataOf(voikit::viewPage(contents));
    const nlohmann::json& carried = data["atlases"][0];
    EXPECT_EQ(carried["wide"], true);
    EXPECT_EQ(carried["regions"].size(), 301u);
    EXPECT_EQ(carried["regions"][300], atlas.regionName(atlas.labels()[300]));
    const std::string places = gunzipped(base64Decoded(carried["places"]));
    const std::int64_t cells = carried["dims"][0].get<std::int64_t>() *
                               carried["dims"][1].get<std::int64_t>() *
                               carried["dims"][2].get<std::int64_t>();
    ASSERT_EQ(places.size(), static_cast<std::size_t>(cells) * 2);
    std::size_t highest = 0;
    for (std::int64_t index = 0; index < cells; ++index) {
        const auto at = static_cast<std::size_t>(index) * 2;
        const std::size_t place =
            static_cast<unsigned char>(places[at]) |
            static_cast<std::size_t>(static_cast<unsigned char>(places[at + 1])) << 8;
        ASSERT_EQ(place, atlas.regionAtIndex(index)) << index;
        highest = std::max(highest, place);
    }
    EXPECT_EQ(highest, 300u);
}

// The page reads the JHU labels of mricron-data as the reports do, with the x axis their
// header has wrong put right: a sphere in the right posterior limb of the internal capsule
// is there under the crosshair too.
TEST(ViewPageAtlas, TheJhuAtlasIsOnTheSameSidesAsInTheReport) {
    glomera::VoiFileContents vois;
    const Point tal = voikit::mniToTal({21, -13, 8}, voikit::MniToTal::kSpm);
    vois.vois.push_back(sphereVoi("PLIC_R", static_cast<float>(tal[0]), static_cast<float>(tal[1]),
                                  static_cast<float>(tal[2]), 3));
    const voikit::VoiStatistics statistics = voikit::computeStatistics(vois);
    const voikit::LabelVolume labels = voikit::fillLabels(
        vois, voikit::mniTemplateGrid(voikit::defaultBrain(), voikit::MniToTal::kSpm));
    const voikit::Atlas jhu("jhu");
    voikit::ViewPageContents contents;
    contents.source = "plic.voi";
    contents.vois = &vois;
    contents.statistics = &statistics;
    contents.templatePath = voikit::defaultBrain();
    contents.labels = voikit::labelVolumeBytes(vois, labels);
    contents.atlases.push_back(&jhu);
    const nlohmann::json atlas = dataOf(voikit::viewPage(contents))["atlases"][0];
    const std::string places = gunzipped(base64Decoded(atlas["places"]));
    EXPECT_EQ(regionInPage(atlas, places, {21, -13, 8}), "Posterior_limb_of_internal_capsule_R");
    EXPECT_EQ(regionInPage(atlas, places, {-21, -13, 8}), "Posterior_limb_of_internal_capsule_L");
    EXPECT_EQ(regionInPage(atlas, places, {32, 0, 2}), "External_capsule_R");
}

}  // namespace
