#include "voikit/extract/extraction_tables.h"

#include <charconv>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

#include "voikit/io/utf8.h"

namespace voikit {
namespace {

using nlohmann::json;

json jsonNumber(double value) { return std::isnan(value) ? json(nullptr) : json(value); }

}  // namespace

std::vector<std::string> columnNames(const std::vector<std::string>& names) {
    std::vector<std::string> columns = names;
    // Until every column is unique: a name borne more than once takes each bearer's index.
    // Indices differ, so each round leaves fewer clashes.
    for (bool clash = true; clash;) {
        std::map<std::string, int> uses;
        for (const std::string& column : columns) ++uses[column];
        clash = false;
        for (std::size_t v = 0; v < columns.size(); ++v) {
            if (uses[columns[v]] > 1) {
                columns[v] += "_" + std::to_string(v + 1);
                clash = true;
            }
        }
    }
    return columns;
}

std::string tsvField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string tableNumber(double value) {
    if (std::isnan(value)) return "n/a";
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, error == std::errc() ? end : text);
}

std::string statisticsHeader() {
    return "image\tvolume\tindex\tname\tmean\tmedian\tstd\tmin\tmax\tcount\tnonfinite\n";
}

std::string statisticsRows(const ImageExtraction& extraction,
                           const std::vector<std::string>& names) {
    std::string rows;
    const std::string image = tsvField(asUtf8(extraction.image));
    for (std::int64_t volume = 0; volume < extraction.volumes; ++volume) {
        for (std::size_t v = 0; v < extraction.vois(); ++v) {
            const CellStatistics& s = extraction.at(volume, v);
            rows += image + "\t" + std::to_string(volume) + "\t" + std::to_string(v + 1) + "\t" +
                    tsvField(asUtf8(names[v]));
            for (double value : {s.mean, s.median, s.std, s.min, s.max}) {
                rows += "\t" + tableNumber(value);
            }
            rows += "\t" + std::to_string(s.count) + "\t" + std::to_string(s.nonfinite) + "\n";
        }
    }
    return rows;
}

std::string statisticsJson(const ImageExtraction& extraction,
                           const std::vector<std::string>& names) {
    const LabelGrid& grid = extraction.grid;
    json image = {
        {"image", asUtf8(extraction.image)},
        {"grid",
         {{"dims", {grid.dims[0], grid.dims[1], grid.dims[2]}},
          {"space", spaceName(grid.space)},
          {"transform", grid.space == Space::kMni ? transformName(grid.transform) : "none"}}},
        {"volumes", extraction.volumes}};
    json vois = json::array();
    for (std::size_t v = 0; v < extraction.vois(); ++v) {
        vois.push_back({{"index", v + 1},
                        {"name", asUtf8(names[v])},
                        {"cells", extraction.cells->cells[v].size()}});
        if (!extraction.cells->unmasked.empty()) {
            vois.back()["cells_before_mask"] = extraction.cells->unmasked[v];
        }
    }
    image["vois"] = std::move(vois);
    json rows = json::array();
    for (std::int64_t volume = 0; volume < extraction.volumes; ++volume) {
        for (std::size_t v = 0; v < extraction.vois(); ++v) {
            const CellStatistics& s = extraction.at(volume, v);
            rows.push_back({{"volume", volume},
                            {"index", v + 1},
                            {"name", asUtf8(names[v])},
                            {"mean", jsonNumber(s.mean)},
                            {"median", jsonNumber(s.median)},
                            {"std", jsonNumber(s.std)},
                            {"min", jsonNumber(s.min)},
                            {"max", jsonNumber(s.max)},
                            {"count", s.count},
                            {"nonfinite", s.nonfinite}});
        }
    }
    image["statistics"] = std::move(rows);
    // Names and paths that are no UTF-8 are read as Windows-1252, as everywhere in JSON.
    return image.dump();
}

std::string jsonOpening() {
    return "{\"volumes_counted_from\": 0, \"std\": \"sample, n - 1\", \"images\": [\n";
}

std::string jsonSeparator() { return ",\n"; }

std::string jsonClosing(const std::vector<std::pair<std::string, std::string>>& failures) {
    json list = json::array();
    for (const auto& [image, error] : failures)
        list.push_back({{"image", asUtf8(image)}, {"error", asUtf8(error)}});
    return "\n], \"failures\": " + list.dump() + "}\n";
}

}  // namespace voikit
