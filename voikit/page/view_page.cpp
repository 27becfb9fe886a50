#include "voikit/page/view_page.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "voikit/io/text_input.h"
#include "voikit/io/utf8.h"
#include "voikit/page/embedded_files.h"
#include "voikit/page/html_text.h"
#include "voikit/page/page_bytes.h"
#include "voikit/space/nifti_file.h"
#include "voikit/space/point_text.h"

namespace voikit {
namespace {

using json = nlohmann::ordered_json;

// The regions of each atlas the list names for a VOI; the rest are summed up.
constexpr std::size_t kRegionsListed = 3;

// What the viewer's single-file build carries inside it besides niivue's own code.
constexpr const char kBundledLibraries[] =
    "niivue's build includes fflate, gl-matrix, nifti-reader-js, numcodecs, zarrita, "
    "@zarrita/storage, @lukeed/uuid and array-equal (MIT licence) and "
    "@ungap/structured-clone (ISC licence).";

json matrixJson(const double m[3][4]) {
    json rows = json::array();
    for (int r = 0; r < 3; ++r) rows.push_back({m[r][0], m[r][1], m[r][2], m[r][3]});
    return rows;
}

// A number for the Content-Security-Policy that only the page's own scripts carry: a script
// that a name might smuggle in would not run even if it reached the page unescaped.
std::string scriptNonce() {
    std::random_device random;
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t word = random();
        for (int b = 0; b < 4; ++b) bytes += static_cast<char>((word >> (8 * b)) & 0xFF);
    }
    return base64(bytes);
}

// An atlas as the page's script looks it up: each voxel's place among the atlas's labels
// (in the order MniImage holds them, k fastest), the names of those labels, and the
// transform from MNI millimetres to voxel indices.
json atlasJson(const Atlas& atlas) {
    const ImageGrid& grid = atlas.image().grid();
    double toVoxel[3][4];
    invertAffine(grid.affine, toVoxel);
    const std::vector<std::int32_t>& labels = atlas.labels();
    const bool wide = labels.size() > 256;
    const std::int64_t cells = grid.dims[0] * grid.dims[1] * grid.dims[2];
    std::string places;
    places.reserve(static_cast<std::size_t>(cells) * (wide ? 2 : 1));
    for (std::int64_t index = 0; index < cells; ++index) {
        const std::uint16_t place = atlas.regionAtIndex(index);
        places += static_cast<char>(place & 0xFF);
        if (wide) places += static_cast<char>(place >> 8);  // little-endian, as browsers read
    }
    json regions = json::array({""});
    for (std::size_t place = 1; place < labels.size(); ++place) {
        regions.push_back(asUtf8(atlas.regionName(labels[place])));
    }
    return {
        {"name", asUtf8(atlas.name())},      {"dims", {grid.dims[0], grid.dims[1], grid.dims[2]}},
        {"toVoxel", matrixJson(toVoxel)},    {"wide", wide},
        {"places", base64(gzipped(places))}, {"regions", regions}};
}

Point centreOf(const VoiStatistics::Voi& figures) {
    return {figures.centre[0], figures.centre[1], figures.centre[2]};
}

std::string fileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The data the page's script works from.
json pageData(const ViewPageContents& c) {
    const std::string templateBytes = readTextInput(c.templatePath);
    const bool compressed =
        templateBytes.size() >= 2 && templateBytes[0] == '\x1f' && templateBytes[1] == '\x8b';
    const MniToTalMatrices matrices = mniToTalMatrices(c.transform);
    json vois = json::array();
    for (std::size_t i = 0; i < c.vois->vois.size(); ++i) {
        const auto& info = c.vois->vois[i].info;
        const VoiStatistics::Voi& figures = c.statistics->vois[i];
        json voi = {{"number", i + 1},
                    {"name", asUtf8(info.name)},
                    {"colour", {info.color[0], info.color[1], info.color[2]}},
                    {"voxels", figures.voxels}};
        if (figures.voxels > 0) {
            const Point mni = talToMni(centreOf(figures), c.transform);
            voi["tal"] = {figures.centre[0], figures.centre[1], figures.centre[2]};
            voi["mni"] = {mni[0], mni[1], mni[2]};
        }
        vois.push_back(std::move(voi));
    }
    json atlases = json::array();
    for (const Atlas* atlas : c.atlases) atlases.push_back(atlasJson(*atlas));
    return {{"radiological", c.radiological},
            {"mniToTal",
             {{"upper", matrixJson(matrices.upper)}, {"lower", matrixJson(matrices.lower)}}},
            // The viewer tells a file's kind by its name.
            {"template",
             {{"name", compressed ? "template.nii.gz" : "template.nii"},
              {"base64", base64(templateBytes)}}},
            {"labels", base64(gzipped(c.labels))},
            {"vois", vois},
            {"atlases", atlases}};
}

// The shares of an atlas's regions among a VOI's voxels, the largest first.
std::string shares(const AtlasRegions& atlas) {
    std::string text;
    double rest = 0;
    for (std::size_t r = 0; r < atlas.regions.size(); ++r) {
        const RegionShare& region = atlas.regions[r];
        if (r >= kRegionsListed) {
            rest += region.share;
            continue;
        }
        text += (r ? ", " : "") + percent(region.share) + " " +
                (region.region.empty() ? "no region" : asUtf8(region.region));
    }
    return rest > 0 ? text + ", others " + percent(rest) : text;
}

// Where a VOI lies: per atlas the region at its centre, with the shares of its voxels in the
// regions as the line's tooltip; a warning when it lies outside the brain or on the other
// side from its name.
std::string regionsCell(const VoiAnatomy& anatomy) {
    std::string cell = "<div class=\"where\">";
    for (const AtlasRegions& atlas : anatomy.atlases) {
        cell += "<span title=\"" + htmlEscaped(asUtf8(atlas.atlas) + ": " + shares(atlas)) + "\">" +
                htmlEscaped(asUtf8(atlas.atlas)) + " <b>" +
                htmlEscaped(atlas.atCentre.empty() ? "no region" : asUtf8(atlas.atCentre)) +
                "</b></span> ";
    }
    for (const std::string& warning : anatomy.warnings) {
        cell += "<div class=\"warning\">" + htmlEscaped(asUtf8(warning)) + "</div>";
    }
    return cell + "</div>";
}

// A VOI's centre of mass in TAL and in MNI, or "-" for a VOI without voxels.
std::string centreCell(const VoiStatistics::Voi& figures, MniToTal transform) {
    if (figures.voxels == 0) return "<td class=\"mm\">-</td>";
    return "<td class=\"mm\"><div>TAL " + pointText(centreOf(figures), ", ") + "</div><div>MNI " +
           pointText(talToMni(centreOf(figures), transform), ", ") + "</div></td>";
}

std::string voiRows(const ViewPageContents& c) {
    std::string rows;
    for (std::size_t i = 0; i < c.vois->vois.size(); ++i) {
        const auto& info = c.vois->vois[i].info;
        const VoiStatistics::Voi& figures = c.statistics->vois[i];
        const std::string number = std::to_string(i + 1);
        std::string swatch = "rgb(";
        for (int channel = 0; channel < 3; ++channel) {
            if (channel > 0) swatch += ',';
            swatch += std::to_string(std::clamp(info.color[channel], 0, 255));
        }
        swatch += ')';
        rows += "<tr data-voi=\"" + number + "\" tabindex=\"0\">";
        rows += "<td class=\"number\">" + number + "</td>";
        rows += "<td><span class=\"swatch\" style=\"background:" + swatch + "\"></span></td>";
        rows += "<td><div class=\"name\">" + htmlEscaped(asUtf8(info.name)) + "</div>";
        if (c.anatomy) rows += regionsCell(c.anatomy->vois[i]);
        rows += "</td><td class=\"voxels\">" + std::to_string(figures.voxels) + "</td>";
        rows += centreCell(figures, c.transform);
        rows += "</tr>\n";
    }
    return rows;
}

std::string templateNotice() {
    std::ifstream in(kTemplateNotice);
    if (!in) return std::string("(not found: ") + kTemplateNotice + ")";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string viewPage(const ViewPageContents& c) {
    const EmbeddedFiles& files = embeddedFiles();
    const std::string nonce = scriptNonce();
    const std::string title =
        htmlEscaped(c.title.empty() ? "VOIs of " + asUtf8(c.source) : asUtf8(c.title));
    const std::size_t count = c.vois->vois.size();
    const std::string data = scriptJson(pageData(c).dump());
    std::string page;
    page.reserve(data.size() + files.niivue.size() + (std::size_t{1} << 16));
    page +=
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        // No request leaves the page: everything it shows is inside it.
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "script-src 'nonce-" +
        nonce +
        "'; style-src 'unsafe-inline'; img-src data: blob:; connect-src data: blob:; "
        "worker-src blob:; base-uri 'none'; form-action 'none'\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
        title + "</title>\n<style>\n" + std::string(files.style) +
        "</style>\n</head>\n<body>\n<header><h1>" + title + "</h1><p>" + std::to_string(count) +
        (count == 1 ? " VOI" : " VOIs") + " over the MNI template " +
        htmlEscaped(asUtf8(fileName(c.templatePath))) + "; TAL and MNI through " +
        transformName(c.transform) +
        (c.inputSpace.empty() ? std::string()
                              : "; made from coordinates in " + htmlEscaped(c.inputSpace)) +
        ". Click a VOI to go to its centre; click the image to move the crosshair.</p></header>\n" +
        c.preface +
        "<main>\n<section id=\"viewer\">\n<div class=\"toolbar\"><label><input type=\"checkbox\" "
        "id=\"radiological\"> radiological (the subject's right on the left)</label> "
        "<span id=\"convention\"></span></div>\n"
        // The crosshair's place fills the corner the three views leave free.
        "<div id=\"canvas-box\"><canvas id=\"gl\"></canvas>\n"
        "<dl id=\"crosshair\"><dt>MNI</dt><dd id=\"at-mni\">-</dd><dt>TAL</dt><dd "
        "id=\"at-tal\">-</dd><dt>VOI</dt><dd id=\"at-voi\">-</dd><dt>regions</dt><dd "
        "id=\"at-regions\">-</dd></dl></div>\n"
        "<p id=\"viewer-error\" hidden></p>\n</section>\n"
        "<section id=\"list\">\n<table id=\"vois\">\n<thead><tr><th>#</th><th></th><th>name; "
        "per atlas the region at the centre (point at it for the shares)</th><th>voxels</th>"
        "<th>centre (mm)</th></tr></thead>\n<tbody>\n" +
        voiRows(c) +
        "</tbody>\n</table>\n</section>\n</main>\n"
        "<footer>\n<details><summary>Licences</summary>\n<h2>niivue " +
        htmlEscaped(files.niivueVersion) + ", the viewer</h2>\n<pre>" +
        htmlEscaped(files.niivueLicence) + "</pre>\n<p>" + kBundledLibraries +
        "</p>\n<h2>Templates and atlases (mricron-data)</h2>\n<pre>" +
        htmlEscaped(asUtf8(templateNotice())) + "</pre>\n</details>\n</footer>\n" +
        "<script type=\"application/json\" id=\"glomera-data\">" + data +
        "</script>\n<script nonce=\"" + nonce + "\">\n" + inlineScript(files.niivue) +
        "\n</script>\n<script nonce=\"" + nonce + "\">\n" + inlineScript(files.script) +
        "\n</script>\n</body>\n</html>\n";
    return page;
}

}  // namespace voikit
