#include "voikit/tables/layouts/nimare_dataset.h"

#include <fmt/format.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "voikit/tables/layouts/space_words.h"

namespace voikit {
namespace {

// In the order the file gives them, as the foci are numbered.
using Json = nlohmann::ordered_json;

// A study's or contrast's id as one word of a name.
std::string word(const std::string& id) {
    std::string out;
    for (char c : id) out += c == ' ' || c == '\t' ? '_' : c;
    return out;
}

// "-40", "38.5": a coordinate as the JSON writes it.
std::string written(double value) { return fmt::format("{:g}", value); }

}  // namespace

std::optional<TableReading> readNimareDataset(const std::vector<std::string>& lines) {
    std::string text;
    std::vector<std::size_t> lineStart;
    for (const std::string& line : lines) {
        lineStart.push_back(text.size());
        text += line + '\n';
    }
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || text[first] != '{') return std::nullopt;
    const Json data = Json::parse(text, nullptr, false);
    if (data.is_discarded() || !data.is_object() || data.empty()) return std::nullopt;
    for (const auto& [id, study] : data.items()) {
        if (!study.is_object() || !study.contains("contrasts")) return std::nullopt;
    }
    TableReading reading;
    reading.layout = "NiMARE dataset";
    reading.experiments.clear();
    reading.lines.resize(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // Values stand in the fields they name, read with their contrast.
        const bool values = lines[i].find_first_of("0123456789") != std::string::npos;
        reading.lines[i] =
            noCoordinates(lines[i], values ? "a field of the NiMARE dataset, read with its contrast"
                                           : "NiMARE dataset");
        reading.lines[i].kind = values ? ReadLine::kIgnored : ReadLine::kHeader;
        reading.lines[i].mentioned.reset();
    }
    // The line of each "coords" in turn, for the foci of the contrasts in their order.
    std::size_t searchFrom = 0;
    const auto lineOfNext = [&](const char* key) {
        const std::size_t at = text.find(key, searchFrom);
        if (at == std::string::npos) return lines.empty() ? std::size_t{0} : lines.size() - 1;
        searchFrom = at + 1;
        std::size_t line = 0;
        while (line + 1 < lineStart.size() && lineStart[line + 1] <= at) ++line;
        return line;
    };
    for (const auto& [studyId, study] : data.items()) {
        const Json& contrasts = study["contrasts"];
        if (!contrasts.is_object()) continue;
        for (const auto& [contrastId, contrast] : contrasts.items()) {
            if (!contrast.is_object() || !contrast.contains("coords")) continue;
            const std::size_t at = lineOfNext("\"coords\"");
            ReadLine& read = reading.lines[at];
            read.kind = ReadLine::kCoordinates;
            read.account.clear();
            Experiment experiment;
            experiment.name = studyId;
            experiment.name += ' ';
            experiment.name += contrastId;
            if (contrast.contains("metadata") && contrast["metadata"].is_object()) {
                const Json& sizes = contrast["metadata"].value("sample_sizes", Json());
                int subjects = 0;
                if (sizes.is_array()) {
                    for (const Json& n : sizes) {
                        if (n.is_number_integer() && n.get<long long>() > 0 &&
                            n.get<long long>() < 1000000)
                            subjects += static_cast<int>(n.get<long long>());
                    }
                } else if (sizes.is_number_integer() && sizes.get<long long>() > 0 &&
                           sizes.get<long long>() < 1000000) {
                    subjects = static_cast<int>(sizes.get<long long>());
                }
                if (subjects > 0) experiment.subjects = subjects;
            }
            reading.experiments.push_back(experiment);
            const int index = static_cast<int>(reading.experiments.size()) - 1;
            const std::string name = word(studyId) + "_" + word(contrastId);
            const Json& coords = contrast["coords"];
            Peak refusedAll;
            refusedAll.experiment = index;
            refusedAll.name = name;
            const auto list = [&](const char* axis) {
                return coords.is_object() && coords.contains(axis) && coords[axis].is_array()
                           ? coords[axis]
                           : Json::array();
            };
            const Json xs = list("x"), ys = list("y"), zs = list("z");
            std::optional<Space> space;
            std::string spaceText;
            if (coords.is_object() && coords.contains("space") && coords["space"].is_string()) {
                spaceText = coords["space"].get<std::string>();
                space = spaceWord(spaceText);
                if (!space) space = mentionedSpace(spaceText);
            }
            if (xs.size() != ys.size() || ys.size() != zs.size()) {
                refusedAll.refused = fmt::format(
                    "the contrast's x, y and z lists hold {}, {} and {} values: which belong "
                    "together cannot be told",
                    xs.size(), ys.size(), zs.size());
                read.peaks.push_back(refusedAll);
                continue;
            }
            if (!space) {
                refusedAll.refused = "the contrast's coords give the space \"" + spaceText +
                                     "\", which names no space this tool knows (MNI or "
                                     "Talairach)";
                read.peaks.push_back(refusedAll);
                continue;
            }
            for (std::size_t i = 0; i < xs.size(); ++i) {
                Peak peak;
                peak.experiment = index;
                peak.name = fmt::format("{}_{}", name, i + 1);
                if (!xs[i].is_number() || !ys[i].is_number() || !zs[i].is_number()) {
                    peak.refused = fmt::format("focus {} holds a value that is no number", i + 1);
                } else {
                    Writing writing;
                    writing.space = space;
                    writing.point = {xs[i].get<double>(), ys[i].get<double>(), zs[i].get<double>()};
                    const bool finite = std::isfinite(writing.point[0]) &&
                                        std::isfinite(writing.point[1]) &&
                                        std::isfinite(writing.point[2]);
                    if (!finite) {
                        peak.refused =
                            fmt::format("focus {} holds a value that is no number", i + 1);
                    } else {
                        writing.text = written(writing.point[0]) + " " + written(writing.point[1]) +
                                       " " + written(writing.point[2]);
                        peak.writings.push_back(writing);
                    }
                }
                read.peaks.push_back(peak);
            }
            // Every number on the line belongs to the dataset's fields.
            read.placed = 1 << 20;
        }
    }
    if (reading.experiments.empty()) reading.experiments.emplace_back();
    return reading;
}

}  // namespace voikit
