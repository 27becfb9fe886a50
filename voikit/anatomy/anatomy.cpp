#include "voikit/anatomy/anatomy.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "voikit/space/atlas.h"
#include "voikit/space/name_side.h"
#include "voikit/voxels/voxel_columns.h"
#include "voikit/voxels/voxel_runs.h"

namespace voikit {

std::string percent(double share) {
    if (share > 0 && share < 0.005) return "<1%";
    return fmt::format("{:.0f}%", 100.0 * share);
}

namespace {

// A stretch of a column in one region of an atlas, the end excluded.
struct Segment {
    std::int64_t from;
    std::int64_t to;
    std::int32_t region;
};

}  // namespace

// Per VOI of the batch at hand and per atlas, the voxels in each region the atlas holds (in
// the order of its labels); and per VOI the voxels inside the brain.
struct AnatomyLookup::Counts {
    std::size_t firstVoi = 0;
    std::size_t vois = 0;
    // Per atlas: a row per VOI. A VOI lists at most 2^31 - 1 voxels, and 32 bits keep the
    // rows of a thousand VOIs in the cache.
    std::vector<std::vector<std::uint32_t>> voxels;
    std::vector<std::int64_t> inBrain;

    // A column's workings, kept from column to column so that a column allocates nothing:
    // the stretches the VOIs hold, per image its segments, the image indices up a stretch.
    std::vector<std::pair<std::int64_t, std::int64_t>> held;
    std::vector<std::vector<Segment>> segments;
    std::vector<std::int64_t> indices;

    // The counts of a VOI in an atlas of `regions` regions, indexed by region.
    std::uint32_t* row(std::size_t atlas, std::size_t regions, std::size_t voi) {
        return voxels[atlas].data() + (voi - firstVoi) * regions;
    }
};

AnatomyLookup::AnatomyLookup(const AnatomySettings& settings)
    : transform_(settings.transform), set_(settings) {
    const std::size_t images = set_.atlases.size() + (set_.brain ? 1 : 0);
    for (std::size_t member = 0; member < images; ++member) {
        const auto same = std::find_if(grids_.begin(), grids_.end(), [&](const auto& grid) {
            return image(grid.front()).sameGrid(image(member));
        });
        if (same != grids_.end()) {
            same->push_back(member);
        } else {
            grids_.push_back({member});
        }
    }
}

const MniImage& AnatomyLookup::image(std::size_t member) const {
    return member < set_.atlases.size() ? set_.atlases[member]->image() : set_.brain->image();
}

AnatomyLookup::~AnatomyLookup() = default;

namespace {

// Adds the position z in a region to the segments, extending the last where it can.
void extend(std::vector<Segment>& segments, std::int64_t z, std::int32_t region) {
    if (!segments.empty() && segments.back().to == z && segments.back().region == region) {
        segments.back().to = z + 1;
    } else {
        segments.push_back({z, z + 1, region});
    }
}

// Calls add(region, voxels) for each region the stretch [from, to) crosses.
template <typename Add>
void crossSegments(const std::vector<Segment>& segments, std::int64_t from, std::int64_t to,
                   Add add) {
    auto segment = std::partition_point(segments.begin(), segments.end(),
                                        [from](const Segment& s) { return s.to <= from; });
    for (; segment != segments.end() && segment->from < to; ++segment) {
        add(segment->region, std::min(segment->to, to) - std::max(segment->from, from));
    }
}

}  // namespace

void AnatomyLookup::countColumn(std::int32_t x, std::int32_t y, const VoxelColumns::Stretch* begin,
                                const VoxelColumns::Stretch* end, Counts& counts) const {
    // The positions the batch's VOIs hold up this column, as stretches that neither meet nor
    // touch.
    auto& held = counts.held;
    held.clear();
    const std::size_t lastVoi = counts.firstVoi + counts.vois;
    for (const auto* s = begin; s != end; ++s) {
        const auto voi = static_cast<std::size_t>(s->voi);
        if (voi >= counts.firstVoi && voi < lastVoi) held.emplace_back(s->from, s->to);
    }
    if (held.empty()) return;
    std::sort(held.begin(), held.end());
    std::size_t kept = 0;
    for (std::size_t i = 1; i < held.size(); ++i) {
        if (held[i].first <= held[kept].second) {
            held[kept].second = std::max(held[kept].second, held[i].second);
        } else {
            held[++kept] = held[i];
        }
    }
    held.resize(kept + 1);

    // Each position looked up once in every atlas and the brain, and once only in images that
    // share a grid.
    const std::size_t atlases = set_.atlases.size();
    auto& segments = counts.segments;
    segments.resize(atlases + 1);
    for (std::vector<Segment>& found : segments) found.clear();
    auto& indices = counts.indices;
    for (const auto& [from, to] : held) {
        const auto count = static_cast<std::size_t>(to - from);
        indices.resize(count);
        for (const std::vector<std::size_t>& grid : grids_) {
            image(grid.front()).indicesUpColumn(x, y, from, count, transform_, indices.data());
            for (const std::size_t member : grid) {
                std::vector<Segment>& found = segments[member];
                if (member == atlases) {
                    for (std::size_t k = 0; k < count; ++k) {
                        const bool inside = set_.brain->regionAtIndex(indices[k]) > 0;
                        extend(found, from + static_cast<std::int64_t>(k), inside ? 1 : 0);
                    }
                    continue;
                }
                const Atlas& atlas = *set_.atlases[member];
                for (std::size_t k = 0; k < count; ++k) {
                    extend(found, from + static_cast<std::int64_t>(k),
                           atlas.regionAtIndex(indices[k]));
                }
            }
        }
    }
    for (const auto* s = begin; s != end; ++s) {
        const auto voi = static_cast<std::size_t>(s->voi);
        if (voi < counts.firstVoi || voi >= lastVoi) continue;
        for (std::size_t a = 0; a < atlases; ++a) {
            std::uint32_t* const row = counts.row(a, set_.atlases[a]->labels().size(), voi);
            crossSegments(segments[a], s->from, s->to, [row](std::int32_t region, std::int64_t n) {
                row[region] += static_cast<std::uint32_t>(n);
            });
        }
        crossSegments(segments[atlases], s->from, s->to, [&](std::int32_t inside, std::int64_t n) {
            counts.inBrain[voi] += inside * n;
        });
    }
}

VoiAnatomy AnatomyLookup::describeVoi(const std::string& name, const VoiStatistics::Voi& figures,
                                      const Counts& counts, std::size_t row) const {
    const Point centre = {figures.centre[0], figures.centre[1], figures.centre[2]};
    const auto count = static_cast<double>(figures.voxels);
    VoiAnatomy voi;
    for (std::size_t a = 0; a < set_.atlases.size(); ++a) {
        const Atlas& atlas = *set_.atlases[a];
        AtlasRegions regions;
        regions.atlas = atlas.name();
        if (figures.voxels > 0) {
            const std::int32_t atCentre = atlas.labelAt(centre, transform_);
            regions.atCentre = atCentre != 0 ? atlas.regionName(atCentre) : "";
        }
        const std::vector<std::int32_t>& labels = atlas.labels();
        const std::uint32_t* voxels = counts.voxels[a].data() + row * labels.size();
        for (std::size_t i = 0; i < labels.size(); ++i) {
            if (voxels[i] == 0) continue;
            regions.regions.push_back({labels[i] != 0 ? atlas.regionName(labels[i]) : "", voxels[i],
                                       static_cast<double>(voxels[i]) / count});
        }
        std::stable_sort(
            regions.regions.begin(), regions.regions.end(),
            [](const RegionShare& a, const RegionShare& b) { return a.voxels > b.voxels; });
        voi.atlases.push_back(std::move(regions));
    }
    if (set_.brain && figures.voxels > 0) {
        voi.brainKnown = true;
        voi.centreInBrain = set_.brain->labelAt(centre, transform_) > 0;
        voi.shareInBrain = static_cast<double>(counts.inBrain[row + counts.firstVoi]) / count;
        if (!voi.centreInBrain) {
            voi.warnings.push_back("its centre lies outside the brain (" +
                                   percent(voi.shareInBrain) + " of its voxels inside)");
        } else if (voi.shareInBrain < 0.5) {
            voi.warnings.push_back("only " + percent(voi.shareInBrain) +
                                   " of its voxels lie inside the brain");
        }
    }
    const std::string side =
        figures.voxels > 0 ? sideMismatch(name, figures.centre[0], "its centre") : "";
    if (!side.empty()) voi.warnings.push_back(side);
    return voi;
}

Anatomy AnatomyLookup::describe(const glomera::VoiFileContents& named, const VoxelColumns& columns,
                                const VoiStatistics& figures) const {
    Anatomy anatomy;
    anatomy.notes = set_.notes;
    anatomy.atlasSides = set_.sides;
    const std::size_t vois = figures.vois.size();
    Counts counts;
    std::size_t labels = 0;
    for (const auto& atlas : set_.atlases) labels += atlas->labels().size();
    counts.inBrain.assign(vois, 0);
    // VOIs in batches, so that the counts stay within bounds for atlases of many labels.
    constexpr std::size_t kMostCounts = std::size_t{1} << 24;
    const std::size_t batch =
        std::max<std::size_t>(1, kMostCounts / std::max<std::size_t>(labels, 1));
    for (std::size_t first = 0; first < vois; first += batch) {
        counts.firstVoi = first;
        counts.vois = std::min(batch, vois - first);
        counts.voxels.clear();
        for (const auto& atlas : set_.atlases) {
            counts.voxels.emplace_back(counts.vois * atlas->labels().size(), 0);
        }
        for (std::size_t c = 0; c < columns.size(); ++c) {
            countColumn(columns.columns[c].x, columns.columns[c].y, columns.begin(c),
                        columns.end(c), counts);
        }
        for (std::size_t row = 0; row < counts.vois; ++row) {
            anatomy.vois.push_back(describeVoi(named.vois[first + row].info.name,
                                               figures.vois[first + row], counts, row));
        }
    }
    return anatomy;
}

Anatomy describeAnatomy(const glomera::VoiFileContents& contents, const VoiStatistics& statistics,
                        const AnatomySettings& settings) {
    const VoiRuns runs = runsOf(contents);
    return AnatomyLookup(settings).describe(contents, groupByColumn(runs, statistics), statistics);
}

}  // namespace voikit
