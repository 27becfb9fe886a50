#include "voikit/anatomy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include "voikit/atlas.h"
#include "voikit/error.h"

namespace voikit {
namespace {

bool isDefault(const std::string& spec) {
    const std::vector<std::string> defaults = defaultAtlases();
    return std::find(defaults.begin(), defaults.end(), spec) != defaults.end();
}

// An atlas, or nothing with a note when a default one is not installed.
std::unique_ptr<Atlas> openAtlas(const std::string& spec, bool optional, Anatomy& anatomy) {
    try {
        return std::make_unique<Atlas>(spec);
    } catch (const Error& error) {
        if (!optional) throw;
        anatomy.notes.push_back(std::string("no ") + spec + " lookups: " + error.what() +
                                " (install mricron-data)");
        return nullptr;
    }
}

Point voxelPoint(const std::vector<std::int32_t>& v, std::size_t n) {
    return {static_cast<double>(v[n]), static_cast<double>(v[n + 1]),
            static_cast<double>(v[n + 2])};
}

std::string percent(double share) {
    if (share > 0 && share < 0.005) return "<1%";
    char text[32];
    std::snprintf(text, sizeof text, "%.0f%%", 100.0 * share);
    return text;
}

}  // namespace

Anatomy describeAnatomy(const glomera::VoiFileContents& contents, const VoiStatistics& statistics,
                        const AnatomySettings& settings) {
    Anatomy anatomy;
    std::vector<std::unique_ptr<Atlas>> atlases;
    for (const std::string& spec : settings.atlases) {
        if (auto atlas = openAtlas(spec, isDefault(spec), anatomy))
            atlases.push_back(std::move(atlas));
    }
    const std::unique_ptr<Atlas> brain = openAtlas(
        settings.brain.empty() ? defaultBrain() : settings.brain, settings.brain.empty(), anatomy);
    for (std::size_t index = 0; index < contents.vois.size(); ++index) {
        const auto& v = contents.vois[index].voxels;
        const VoiStatistics::Voi& figures = statistics.vois[index];
        const Point centre = {figures.centre[0], figures.centre[1], figures.centre[2]};
        const std::size_t voxelCount = v.size() / 3;
        const auto count = static_cast<double>(voxelCount);
        VoiAnatomy voi;
        for (const auto& atlas : atlases) {
            AtlasRegions regions;
            regions.atlas = atlas->name();
            std::vector<std::int64_t> voxels(static_cast<std::size_t>(atlas->maxLabel()) + 1, 0);
            for (std::size_t n = 0; n < v.size(); n += 3) {
                ++voxels[static_cast<std::size_t>(
                    atlas->labelAt(voxelPoint(v, n), settings.transform))];
            }
            if (figures.voxels > 0) {
                const std::int32_t atCentre = atlas->labelAt(centre, settings.transform);
                regions.atCentre = atCentre != 0 ? atlas->regionName(atCentre) : "";
            }
            for (std::size_t label = 0; label < voxels.size(); ++label) {
                if (voxels[label] == 0) continue;
                const auto number = static_cast<std::int32_t>(label);
                regions.regions.push_back({label != 0 ? atlas->regionName(number) : "",
                                           voxels[label],
                                           static_cast<double>(voxels[label]) / count});
            }
            std::stable_sort(
                regions.regions.begin(), regions.regions.end(),
                [](const RegionShare& a, const RegionShare& b) { return a.voxels > b.voxels; });
            voi.atlases.push_back(std::move(regions));
        }
        if (brain && figures.voxels > 0) {
            voi.brainKnown = true;
            voi.centreInBrain = brain->labelAt(centre, settings.transform) > 0;
            std::int64_t inside = 0;
            for (std::size_t n = 0; n < v.size(); n += 3) {
                inside += brain->labelAt(voxelPoint(v, n), settings.transform) > 0 ? 1 : 0;
            }
            voi.shareInBrain = static_cast<double>(inside) / count;
            if (!voi.centreInBrain) {
                voi.warning = "its centre lies outside the brain (" + percent(voi.shareInBrain) +
                              " of its voxels inside)";
            } else if (voi.shareInBrain < 0.5) {
                voi.warning =
                    "only " + percent(voi.shareInBrain) + " of its voxels lie inside the brain";
            }
        }
        anatomy.vois.push_back(std::move(voi));
    }
    return anatomy;
}

}  // namespace voikit
