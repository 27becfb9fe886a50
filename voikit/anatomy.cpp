#include "voikit/anatomy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include "voikit/atlas.h"
#include "voikit/error.h"
#include "voikit/voi_passes.h"

namespace voikit {
namespace {

bool isDefault(const std::string& choice) {
    const std::vector<std::string> defaults = defaultAtlases();
    return std::find(defaults.begin(), defaults.end(), choice) != defaults.end();
}

// An atlas, or nothing with a note when a default one is not installed.
std::unique_ptr<Atlas> openAtlas(const std::string& choice, bool optional, Anatomy& anatomy) {
    try {
        return std::make_unique<Atlas>(choice);
    } catch (const Error& error) {
        if (!optional) throw;
        anatomy.notes.push_back(std::string("no ") + choice + " lookups: " + error.what() +
                                " (install mricron-data)");
        return nullptr;
    }
}

}  // namespace

std::string percent(double share) {
    if (share > 0 && share < 0.005) return "<1%";
    char text[32];
    std::snprintf(text, sizeof text, "%.0f%%", 100.0 * share);
    return text;
}

AnatomyPass::AnatomyPass(const VoiStatistics& figures, const AnatomySettings& settings)
    : figures_(figures), transform_(settings.transform), extent_(figures) {
    for (const std::string& choice : settings.atlases) {
        if (auto atlas = openAtlas(choice, isDefault(choice), anatomy_)) {
            counts_.emplace_back(static_cast<std::size_t>(atlas->maxLabel()) + 1, 0);
            atlases_.push_back(std::move(atlas));
        }
    }
    brain_ = openAtlas(settings.brain.empty() ? defaultBrain() : settings.brain,
                       settings.brain.empty(), anatomy_);
    // The cache pays where the VOIs' extent is of a sensible size and labels fit 16 bits.
    constexpr std::int64_t kMostCachedCells = std::int64_t{1} << 24;
    bool small = true;
    for (const auto& atlas : atlases_) small = small && atlas->maxLabel() < kUnknown;
    if (extent_.cells > 0 && extent_.cells <= kMostCachedCells && small) {
        cache_.assign(static_cast<std::size_t>(extent_.cells) * (atlases_.size() + 1), kUnknown);
    }
}

AnatomyPass::~AnatomyPass() = default;

void AnatomyPass::beginVoi(const glomera::VoiInfo&) {
    for (auto& counts : counts_) std::fill(counts.begin(), counts.end(), 0);
    inBrain_ = 0;
}

void AnatomyPass::runs(const VoxelRun* runs, std::size_t count) {
    const std::size_t atlases = atlases_.size();
    for (const VoxelRun* run = runs; run != runs + count; ++run) {
        if (cache_.empty()) {
            for (std::int32_t k = 0; k < run->length; ++k) {
                // Once in MNI, every atlas and the brain are looked up from the same point.
                const Point mni =
                    talToMni({static_cast<double>(run->x), static_cast<double>(run->y),
                              static_cast<double>(std::int64_t{run->z} + k)},
                             transform_);
                for (std::size_t a = 0; a < atlases; ++a) {
                    ++counts_[a][static_cast<std::size_t>(atlases_[a]->labelAtMni(mni))];
                }
                if (brain_ && brain_->labelAtMni(mni) > 0) ++inBrain_;
            }
            continue;
        }
        // z runs fastest in the cache: the run is one stretch of cells, each cell the labels of
        // every atlas and then the brain side by side.
        const std::size_t stride = atlases + 1;
        const std::size_t first = extent_.index(run->x, run->y, run->z);
        std::uint16_t* cell = cache_.data() + first * stride;
        for (std::int32_t k = 0; k < run->length; ++k, cell += stride) {
            if (cell[0] == kUnknown) {
                const Point mni = talToMni({static_cast<double>(run->x), static_cast<double>(run->y),
                                            static_cast<double>(std::int64_t{run->z} + k)},
                                           transform_);
                for (std::size_t a = 0; a < atlases; ++a) {
                    cell[a] = static_cast<std::uint16_t>(atlases_[a]->labelAtMni(mni));
                }
                cell[atlases] = brain_ && brain_->labelAtMni(mni) > 0 ? 1 : 0;
            }
            for (std::size_t a = 0; a < atlases; ++a) ++counts_[a][cell[a]];
            inBrain_ += cell[atlases];
        }
    }
}

void AnatomyPass::endVoi() {
    const VoiStatistics::Voi& figures = figures_.vois.at(voi_++);
    const Point centre = {figures.centre[0], figures.centre[1], figures.centre[2]};
    const auto count = static_cast<double>(figures.voxels);
    VoiAnatomy voi;
    for (std::size_t a = 0; a < atlases_.size(); ++a) {
        const Atlas& atlas = *atlases_[a];
        AtlasRegions regions;
        regions.atlas = atlas.name();
        if (figures.voxels > 0) {
            const std::int32_t atCentre = atlas.labelAt(centre, transform_);
            regions.atCentre = atCentre != 0 ? atlas.regionName(atCentre) : "";
        }
        const std::vector<std::int64_t>& voxels = counts_[a];
        for (std::size_t label = 0; label < voxels.size(); ++label) {
            if (voxels[label] == 0) continue;
            const auto number = static_cast<std::int32_t>(label);
            regions.regions.push_back({label != 0 ? atlas.regionName(number) : "", voxels[label],
                                       static_cast<double>(voxels[label]) / count});
        }
        std::stable_sort(
            regions.regions.begin(), regions.regions.end(),
            [](const RegionShare& a, const RegionShare& b) { return a.voxels > b.voxels; });
        voi.atlases.push_back(std::move(regions));
    }
    if (brain_ && figures.voxels > 0) {
        voi.brainKnown = true;
        voi.centreInBrain = brain_->labelAt(centre, transform_) > 0;
        voi.shareInBrain = static_cast<double>(inBrain_) / count;
        if (!voi.centreInBrain) {
            voi.warning = "its centre lies outside the brain (" + percent(voi.shareInBrain) +
                          " of its voxels inside)";
        } else if (voi.shareInBrain < 0.5) {
            voi.warning =
                "only " + percent(voi.shareInBrain) + " of its voxels lie inside the brain";
        }
    }
    anatomy_.vois.push_back(std::move(voi));
}

Anatomy describeAnatomy(const glomera::VoiFileContents& contents, const VoiStatistics& statistics,
                        const AnatomySettings& settings) {
    AnatomyPass pass(statistics, settings);
    replay(runsOf(contents), pass);
    return pass.finish();
}

}  // namespace voikit
