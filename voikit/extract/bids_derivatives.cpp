#include "voikit/extract/bids_derivatives.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>
#include <utility>

#include "common/ends_with.h"
#include "voikit/io/error.h"
#include "voikit/io/utf8.h"
#include "voikit/provenance/version.h"

namespace voikit {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBold = "_bold.nii.gz";

// The key-value entities of a BIDS file name, in order, up to its suffix.
std::vector<std::pair<std::string, std::string>> entitiesOf(std::string_view stem) {
    std::vector<std::pair<std::string, std::string>> entities;
    std::size_t at = 0;
    while (at <= stem.size()) {
        std::size_t end = stem.find('_', at);
        if (end == std::string_view::npos) end = stem.size();
        const std::string_view part = stem.substr(at, end - at);
        const std::size_t dash = part.find('-');
        if (dash != std::string_view::npos) {
            entities.emplace_back(std::string(part.substr(0, dash)),
                                  std::string(part.substr(dash + 1)));
        }
        at = end + 1;
    }
    return entities;
}

std::string valueOf(const std::vector<std::pair<std::string, std::string>>& entities,
                    const std::string& key) {
    for (const auto& [k, v] : entities) {
        if (k == key) return v;
    }
    return "";
}

std::string joined(const std::vector<std::pair<std::string, std::string>>& entities,
                   const std::vector<std::string>& without) {
    std::string name;
    for (const auto& [key, value] : entities) {
        if (std::find(without.begin(), without.end(), key) != without.end()) continue;
        if (!name.empty()) name += '_';
        name += key;
        name += '-';
        name += value;
    }
    return name;
}

std::vector<fs::path> sorted(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && entry.is_directory(error)) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The first of the names that is a file in the folder, or "".
std::string firstFile(const fs::path& folder, const std::vector<std::string>& names) {
    std::error_code error;
    for (const std::string& name : names) {
        if (fs::is_regular_file(folder / name, error)) return (folder / name).string();
    }
    return "";
}

}  // namespace

bool isMniTemplateSpace(std::string_view space) {
    return space.size() > 3 && space.substr(0, 3) == "MNI";
}

BidsListing findBidsRuns(const BidsQuery& query) {
    std::error_code error;
    if (!fs::is_directory(query.root, error)) {
        throw Error(query.root +
                    " is no folder: give the BIDS derivatives folder (the one "
                    "holding sub-*)");
    }
    if (!query.space.empty() && !isMniTemplateSpace(query.space)) {
        throw Error("--bids-space " + query.space +
                    " is no MNI template: coordinates from papers cannot be placed in a "
                    "subject's own space; give an MNI template space such as "
                    "MNI152NLin2009cAsym, or leave --bids-space out");
    }
    const std::vector<fs::path> subjects = sorted(query.root, "sub-");
    if (subjects.empty()) throw Error(query.root + " holds no sub-* folder: no BIDS derivatives");
    std::vector<fs::path> folders;
    for (const fs::path& subject : subjects) {
        folders.push_back(subject / "func");
        for (const fs::path& session : sorted(subject, "ses-")) {
            folders.push_back(session / "func");
        }
    }
    BidsListing listing;
    std::vector<std::string> spacesNoted;
    for (const fs::path& folder : folders) {
        std::vector<std::string> images;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (glomera::endsWith(name, std::string(kBold)) && entry.is_regular_file(error)) {
                images.push_back(name);
            }
        }
        std::sort(images.begin(), images.end());
        for (const std::string& name : images) {
            const auto entities =
                entitiesOf(std::string_view(name).substr(0, name.size() - kBold.size()));
            if (valueOf(entities, "desc") != query.desc) continue;
            if (!query.task.empty() && valueOf(entities, "task") != query.task) continue;
            const std::string space = valueOf(entities, "space");
            if (!query.space.empty() && space != query.space) continue;
            const std::string relative = fs::relative(folder, query.root, error).generic_string();
            if (!isMniTemplateSpace(space)) {
                std::string why = relative;
                why += "/" + name + ": ";
                why += space.empty() ? std::string("no space entity") : "space-" + space;
                why += " is no MNI template space; left out";
                listing.leftOut.push_back(std::move(why));
                continue;
            }
            if (std::find(spacesNoted.begin(), spacesNoted.end(), space) == spacesNoted.end()) {
                spacesNoted.push_back(space);
                listing.notes.push_back("space-" + space +
                                        " taken as MNI (the spheres are placed by MNI "
                                        "coordinates; the template's small differences from "
                                        "other MNI templates are not corrected)");
            }
            BidsRun run;
            run.image = (folder / name).string();
            run.folder = relative;
            run.entities = joined(entities, {"desc"});
            run.space = space;
            const std::string confoundsStem = joined(entities, {"space", "res", "den", "desc"});
            run.confounds = firstFile(folder, {confoundsStem + "_desc-confounds_timeseries.tsv",
                                               confoundsStem + "_desc-confounds_regressors.tsv"});
            run.sidecar = firstFile(folder, {name.substr(0, name.size() - 7) + ".json"});
            listing.runs.push_back(std::move(run));
        }
    }
    return listing;
}

std::string bidsLabel(std::string_view text) {
    std::string label;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) label += c;
    }
    return label.empty() ? "vois" : label;
}

std::string bidsOutputPath(const BidsRun& run, const std::string& outDir, const std::string& desc,
                           const std::string& suffix) {
    return (fs::path(outDir) / run.folder / (run.entities + "_desc-" + desc + "_" + suffix))
        .string();
}

std::string bidsDatasetDescription(const std::string& commandLine, const std::string& sourceRoot) {
    std::error_code error;
    const fs::path source = fs::absolute(sourceRoot, error).lexically_normal();
    nlohmann::ordered_json generatedBy = {
        {"Name", "Glomera"}, {"Version", glomeraVersion()}, {"Description", asUtf8(commandLine)}};
    if (*buildCommit() != '\0') generatedBy["CodeCommit"] = buildCommit();
    const nlohmann::ordered_json description = {
        {"Name", "VOI time series and statistics made by Glomera"},
        {"BIDSVersion", "1.9.0"},
        {"DatasetType", "derivative"},
        {"GeneratedBy", nlohmann::ordered_json::array({generatedBy})},
        {"SourceDatasets",
         nlohmann::ordered_json::array({{{"URL", "file://" + asUtf8(source.string())}}})}};
    return description.dump(2) + "\n";
}

}  // namespace voikit
