#include "voikit/anatomy/anatomy.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>

#include "voikit/space/atlas.h"
#include "voikit/space/name_side.h"
#include "voikit/voxels/voxel_columns.h"

namespace voikit {

std::string percent(double share) {
    if (share > 0 && share < 0.005) return "<1%";
    return fmt::format("{:.0f}%", 100.0 * share);
}

// Per VOI of the batch at hand and per atlas, the voxels in each region the atlas holds (in
// the order of its labels); and per VOI the voxels inside the brain.
struct AnatomyLookup::Counts {
    // A stretch of a column that VOIs hold, and where its positions start among the column's.
    struct Held {
        std::int64_t from;
        std::int64_t to;
        std::size_t at;
    };

    std::size_t firstVoi = 0;
    std::size_t vois = 0;
    // Per atlas: a row per VOI, of as many counts as the atlas has regions. A VOI lists at
    // most 2^31 - 1 voxels, and 32 bits keep the rows of a thousand VOIs in the cache.
    std::vector<std::vector<std::uint32_t>> voxels;
    std::vector<std::size_t> rowLengths;
    std::vector<std::int64_t> inBrain;

    // A column's workings, kept from column to column so that a column allocates nothing:
    // the stretches the VOIs hold, and their positions one after the other, each position's
    // index in the image at hand, and image after image (the atlases, then the brain) the
    // region at each position and the position its run of that region ends at.
    std::vector<Held> held;
    std::vector<std::int64_t> cover;
    std::vector<std::int64_t> indices;
    std::vector<std::uint16_t> regions;
    std::vector<std::size_t> runEnds;

    // The positions the batch's VOIs (those `inBatch` takes) hold up a column, as stretches
    // that neither meet nor touch, ascending.
    template <typename InBatch>
    const std::vector<Held>& findHeld(const VoxelColumns::Stretch* begin,
                                      const VoxelColumns::Stretch* end, InBatch inBatch);

    // The counts of a VOI in an atlas, indexed by region.
    std::uint32_t* row(std::size_t atlas, std::size_t voi) {
        return voxels[atlas].data() + (voi - firstVoi) * rowLengths[atlas];
    }
};

template <typename InBatch>
const std::vector<AnatomyLookup::Counts::Held>& AnatomyLookup::Counts::findHeld(
    const VoxelColumns::Stretch* begin, const VoxelColumns::Stretch* end, InBatch inBatch) {
    held.clear();
    std::int64_t low = std::numeric_limits<std::int64_t>::max();
    std::int64_t high = std::numeric_limits<std::int64_t>::min();
    std::int64_t longest = 0, stretches = 0;
    for (const auto* s = begin; s != end; ++s) {
        if (!inBatch(*s)) continue;
        low = std::min(low, s->from);
        high = std::max(high, s->to);
        longest = std::max(longest, s->to - s->from);
        ++stretches;
    }
    if (stretches == 0) return held;
    // Where the VOIs overlap, as they mostly do, the stretches are merged by counting how many
    // cover each position: a pass over the column that costs no more than a few times the
    // lookups the column takes anyway, or the sorting of its stretches. Stretches far apart
    // are sorted.
    const std::int64_t span = high - low;
    if (span <= 2 * longest + 8 * stretches) {
        cover.assign(static_cast<std::size_t>(span) + 1, 0);
        for (const auto* s = begin; s != end; ++s) {
            if (!inBatch(*s)) continue;
            ++cover[static_cast<std::size_t>(s->from - low)];
            --cover[static_cast<std::size_t>(s->to - low)];
        }
        std::int64_t depth = 0, from = 0;
        for (std::int64_t z = 0; z <= span; ++z) {
            const std::int64_t below = depth;
            depth += cover[static_cast<std::size_t>(z)];
            if (below == 0 && depth > 0) from = z;
            if (below > 0 && depth == 0) held.push_back({low + from, low + z, 0});
        }
    } else {
        for (const auto* s = begin; s != end; ++s) {
            if (inBatch(*s)) held.push_back({s->from, s->to, 0});
        }
        std::sort(held.begin(), held.end(),
                  [](const Held& a, const Held& b) { return a.from < b.from; });
        std::size_t kept = 0;
        for (std::size_t i = 1; i < held.size(); ++i) {
            if (held[i].from <= held[kept].to) {
                held[kept].to = std::max(held[kept].to, held[i].to);
            } else {
                held[++kept] = held[i];
            }
        }
        held.resize(kept + 1);
    }
    std::size_t positions = 0;
    for (Held& stretch : held) {
        stretch.at = positions;
        positions += static_cast<std::size_t>(stretch.to - stretch.from);
    }
    return held;
}

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

// Each position's region (as regionAt gives it for the image index) and where its run of that
// region ends, going down from the last position.
template <typename RegionAt>
void traceRuns(const std::int64_t* indices, std::size_t positions, RegionAt regionAt,
               std::uint16_t* regions, std::size_t* runEnds) {
    std::uint32_t above = kMostLabelPlaces;  // no region
    std::size_t end = positions;
    for (std::size_t p = positions; p-- > 0;) {
        const std::uint16_t region = regionAt(indices[p]);
        end = region == above ? end : p + 1;
        regions[p] = region;
        runEnds[p] = end;
        above = region;
    }
}

// Calls add(region, positions) for each run of a region over the positions [first, last).
template <typename Add>
void crossRuns(const std::uint16_t* regions, const std::size_t* runEnds, std::size_t first,
               std::size_t last, Add add) {
    for (std::size_t p = first; p < last;) {
        const std::size_t end = std::min(runEnds[p], last);
        add(regions[p], end - p);
        p = end;
    }
}

}  // namespace

void AnatomyLookup::countColumn(std::int32_t x, std::int32_t y, const VoxelColumns::Stretch* begin,
                                const VoxelColumns::Stretch* end, Counts& counts) const {
    const std::size_t lastVoi = counts.firstVoi + counts.vois;
    const auto inBatch = [&](const VoxelColumns::Stretch& s) {
        const auto voi = static_cast<std::size_t>(s.voi);
        return voi >= counts.firstVoi && voi < lastVoi && s.from < s.to;
    };
    const std::vector<Counts::Held>& held = counts.findHeld(begin, end, inBatch);
    if (held.empty()) return;
    const std::size_t positions =
        held.back().at + static_cast<std::size_t>(held.back().to - held.back().from);

    // Each position looked up once in every atlas and the brain, and its index worked out
    // once only for images that share a grid.
    const std::size_t atlases = set_.atlases.size();
    const std::size_t images = atlases + (set_.brain ? 1 : 0);
    counts.indices.resize(positions);
    counts.regions.resize(positions * images);
    counts.runEnds.resize(positions * images);
    std::int64_t* indices = counts.indices.data();
    for (const std::vector<std::size_t>& grid : grids_) {
        for (const Counts::Held& stretch : held) {
            image(grid.front())
                .indicesUpColumn(x, y, stretch.from,
                                 static_cast<std::size_t>(stretch.to - stretch.from), transform_,
                                 indices + stretch.at);
        }
        for (const std::size_t member : grid) {
            std::uint16_t* regions = counts.regions.data() + member * positions;
            std::size_t* runEnds = counts.runEnds.data() + member * positions;
            // The brain's regions are whether a position is inside it.
            const bool brain = member == atlases;
            (brain ? *set_.brain : *set_.atlases[member]).withRegionLookup([&](auto regionAt) {
                if (brain) {
                    traceRuns(
                        indices, positions,
                        [regionAt](std::int64_t index) -> std::uint16_t {
                            return regionAt(index) > 0 ? 1 : 0;
                        },
                        regions, runEnds);
                } else {
                    traceRuns(indices, positions, regionAt, regions, runEnds);
                }
            });
        }
    }

    for (const auto* s = begin; s != end; ++s) {
        if (!inBatch(*s)) continue;
        const auto voi = static_cast<std::size_t>(s->voi);
        const Counts::Held& within = *std::partition_point(
            held.begin(), held.end(), [s](const Counts::Held& h) { return h.to <= s->from; });
        const std::size_t first = within.at + static_cast<std::size_t>(s->from - within.from);
        const std::size_t last = first + static_cast<std::size_t>(s->to - s->from);
        const std::uint16_t* regions = counts.regions.data();
        const std::size_t* runEnds = counts.runEnds.data();
        for (std::size_t a = 0; a < atlases; ++a, regions += positions, runEnds += positions) {
            std::uint32_t* const row = counts.row(a, voi);
            crossRuns(regions, runEnds, first, last, [row](std::uint16_t region, std::size_t n) {
                row[region] += static_cast<std::uint32_t>(n);
            });
        }
        if (images > atlases) {
            crossRuns(regions, runEnds, first, last, [&](std::uint16_t inside, std::size_t n) {
                counts.inBrain[voi] += inside * static_cast<std::int64_t>(n);
            });
        }
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
    for (const auto& atlas : set_.atlases) {
        counts.rowLengths.push_back(atlas->labels().size());
        labels += atlas->labels().size();
    }
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

}  // namespace voikit
