#include "voikit/extract/extraction_sidecar.h"

#include <cmath>
#include <cstdio>

#include "common/ends_with.h"
#include "voikit/io/utf8.h"

namespace voikit {
namespace {

using json = nlohmann::ordered_json;

json point(const Point& p) { return json::array({p[0], p[1], p[2]}); }

// A cell's edge along one axis of the grid: the length of the affine's column.
double edge(const LabelGrid& grid, int axis) {
    return std::sqrt(grid.affine[0][axis] * grid.affine[0][axis] +
                     grid.affine[1][axis] * grid.affine[1][axis] +
                     grid.affine[2][axis] * grid.affine[2][axis]);
}

std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

json gridJson(const LabelGrid& grid) {
    json affine = json::array();
    for (const auto& row : grid.affine) affine.push_back({row[0], row[1], row[2], row[3]});
    return {{"dims", {grid.dims[0], grid.dims[1], grid.dims[2]}},
            {"cell_mm", {edge(grid, 0), edge(grid, 1), edge(grid, 2)}},
            {"affine", affine},
            {"space", spaceName(grid.space)},
            {"transform",
             grid.space == Space::kMni ? json(transformName(grid.transform)) : json("none")}};
}

json voiJson(const SidecarVoi& voi, std::size_t index) {
    json entry = {{"index", index + 1}, {"name", asUtf8(voi.name)}, {"column", asUtf8(voi.column)}};
    if (voi.space) {
        entry["space"] = spaceName(*voi.space);
        entry["centre"] = point(voi.centre);
    }
    if (voi.centreTal) entry["centre_tal"] = point(*voi.centreTal);
    entry["radius_mm"] = voi.radius ? json(*voi.radius) : json();
    if (voi.voxels) entry["voxels"] = *voi.voxels;
    return entry;
}

json imageJson(const SidecarImage& image) {
    json entry = {{"image", asUtf8(image.image)},
                  {"table", asUtf8(image.output)},
                  {"volumes", image.volumes},
                  {"grid", gridJson(image.grid)},
                  {"cells", image.cells},
                  {"RepetitionTime", image.repetitionTime ? json(*image.repetitionTime) : json()}};
    if (!image.repetitionTimeSource.empty()) {
        entry["repetition_time_from"] = asUtf8(image.repetitionTimeSource);
    }
    entry["confounds"] = image.confounds.empty() ? json() : json(asUtf8(image.confounds));
    entry["cleaning"] = image.cleaning ? *image.cleaning : json();
    json others = json::array();
    for (const std::string& other : image.otherOutputs) others.push_back(asUtf8(other));
    entry["other_outputs"] = others;
    return entry;
}

}  // namespace

std::string sidecarPathFor(const std::string& table) {
    const std::size_t slash = table.rfind('/');
    const std::size_t dot = table.rfind('.');
    const bool extension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string stem = extension ? table.substr(0, dot) : table;
    return glomera::endsWith(table, ".json") ? stem + "_sidecar.json" : stem + ".json";
}

std::string gridWords(const LabelGrid& grid) {
    return shortNumber(edge(grid, 0)) + " x " + shortNumber(edge(grid, 1)) + " x " +
           shortNumber(edge(grid, 2)) + " mm cells, " + std::to_string(grid.dims[0]) + " x " +
           std::to_string(grid.dims[1]) + " x " + std::to_string(grid.dims[2]) + ", " +
           spaceName(grid.space);
}

nlohmann::ordered_json sidecarJson(const SidecarContents& c) {
    json sidecar;
    sidecar["Description"] =
        c.kind == "timeseries"
            ? "The " + c.summary + " series of each VOI, one column per VOI, one row per volume"
            : std::string("Per-VOI statistics of every volume");
    if (c.images.size() == 1) {
        sidecar["RepetitionTime"] =
            c.images.front().repetitionTime ? json(*c.images.front().repetitionTime) : json();
    }
    sidecar["table"] = asUtf8(c.table);
    sidecar["regions"] = c.regions;
    sidecar["input_space"] = c.inputSpace;
    sidecar["summary"] = c.summary;
    sidecar["cleaning"] = c.cleaningSettings;
    json vois = json::array();
    for (std::size_t v = 0; v < c.vois.size(); ++v) vois.push_back(voiJson(c.vois[v], v));
    sidecar["vois"] = vois;
    json images = json::array();
    for (const SidecarImage& image : c.images) images.push_back(imageJson(image));
    sidecar["images"] = images;
    sidecar["methods"] = methodsJson(c.methods);
    sidecar["provenance"] = provenanceJson(c.provenance);
    return sidecar;
}

}  // namespace voikit
