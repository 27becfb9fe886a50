// Runs along z must stand for exactly the voxels a file lists, and every figure and pair
// count made from them must match a voxel-by-voxel count, whatever the voxels' order.
#include "voikit/voxels/voxel_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "tests/support/voi_file_loading.h"
#include "tests/test_files.h"
#include "voi/voi_set.h"
#include "voi/voi_writer.h"
#include "voikit/voxels/voi_statistics.h"

namespace {

using glomera::VoiFileContents;
using Voxel = std::tuple<int, int, int>;

// Expands runs back into the voxel triples they stand for.
std::vector<std::int32_t> expand(const voikit::VoiRuns& runs, std::size_t voi) {
    std::vector<std::int32_t> xyz;
    for (const voikit::VoxelRun* run = runs.begin(voi); run != runs.begin(voi) + runs.count(voi);
         ++run) {
        for (std::int32_t k = 0; k < run->length; ++k) {
            xyz.insert(xyz.end(), {run->x, run->y, run->z + k});
        }
    }
    return xyz;
}

// VOIs of random blobs in a small box, so that they overlap often: voxels in random order,
// some listed twice, columns split in pieces.
VoiFileContents randomVois(std::mt19937& random, int vois) {
    std::uniform_int_distribution<int> coordinate(-6, 6);
    std::uniform_int_distribution<int> size(0, 60);
    VoiFileContents contents;
    for (int v = 0; v < vois; ++v) {
        VoiFileContents::Voi voi;
        voi.info.name = "V" + std::to_string(v);
        const int count = size(random);
        for (int i = 0; i < count; ++i) {
            const int x = coordinate(random) / 3, y = coordinate(random) / 3;
            const int z = coordinate(random);
            // Short stretches up a column, as sphere files have them.
            for (int k = 0; k < 1 + i % 4; ++k) voi.voxels.insert(voi.voxels.end(), {x, y, z + k});
        }
        if (v % 2 == 0) {
            // Voxel order shuffled triple by triple.
            std::vector<std::int32_t> shuffled;
            std::vector<std::size_t> order(voi.voxels.size() / 3);
            for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
            std::shuffle(order.begin(), order.end(), random);
            for (std::size_t i : order) {
                shuffled.insert(shuffled.end(), voi.voxels.begin() + 3 * i,
                                voi.voxels.begin() + 3 * i + 3);
            }
            voi.voxels = shuffled;
        }
        voi.info.voxelCount = static_cast<std::int32_t>(voi.voxels.size() / 3);
        contents.vois.push_back(voi);
    }
    return contents;
}

TEST(VoxelRuns, StandForExactlyTheListedVoxelsInOrder) {
    std::mt19937 random(7);
    const VoiFileContents contents = randomVois(random, 30);
    const voikit::VoiRuns runs = voikit::runsOf(contents);
    ASSERT_EQ(runs.vois(), contents.vois.size());
    std::size_t voxels = 0;
    for (std::size_t v = 0; v < runs.vois(); ++v) {
        EXPECT_EQ(expand(runs, v), contents.vois[v].voxels) << "VOI " << v;
        voxels += contents.vois[v].voxels.size() / 3;
    }
    // Sorted stretches make far fewer runs than voxels.
    EXPECT_LT(runs.runs.size(), voxels);
}

TEST(VoxelRuns, AFileReadAsRunsGivesTheRunsOfItsVoxels) {
    // Thousands of short columns, more than the reader hands over in one batch, and random
    // VOIs with shuffled and repeated voxels.
    std::mt19937 random(3);
    VoiFileContents contents = randomVois(random, 8);
    VoiFileContents::Voi columns;
    columns.info.name = "columns";
    for (int x = 0; x < 60; ++x) {
        for (int y = 0; y < 60; ++y) {
            for (int z = 0; z < 5 + (x + y) % 3; ++z)
                columns.voxels.insert(columns.voxels.end(), {x, y, z});
        }
    }
    contents.vois.push_back(columns);
    glomera::VoiSet set;
    for (const auto& voi : contents.vois) {
        glomera::VoiEntry entry;
        std::snprintf(entry.name, sizeof entry.name, "%s", voi.info.name.c_str());
        entry.voxelCount = static_cast<std::int32_t>(voi.voxels.size() / 3);
        entry.voxels.reset(new std::int32_t[voi.voxels.size() + 1]);
        std::copy(voi.voxels.begin(), voi.voxels.end(), entry.voxels.get());
        set.vois.push_back(std::move(entry));
    }
    set.voiCount = static_cast<std::int32_t>(set.vois.size());
    TempFolder folder;
    const std::string path = folder.file("runs.voi");
    set.fileName = path.c_str();
    ASSERT_TRUE(glomera::writeVoiFile(set));

    const voikit::VoiRuns read = voikit::readVoiRuns(path);
    const voikit::VoiRuns made = voikit::runsOf(glomera::loadVoiFile(path));
    ASSERT_EQ(read.firstRun, made.firstRun);
    ASSERT_EQ(read.runs.size(), made.runs.size());
    for (std::size_t i = 0; i < read.runs.size(); ++i) {
        const voikit::VoxelRun& a = read.runs[i];
        const voikit::VoxelRun& b = made.runs[i];
        ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z && a.length == b.length) << i;
    }
    EXPECT_EQ(read.count(read.vois() - 1), 3600u);
    for (std::size_t v = 0; v < read.vois(); ++v)
        EXPECT_EQ(expand(read, v), contents.vois[v].voxels);
}

TEST(VoxelRuns, FiguresAndPairCountsMatchACountVoxelByVoxel) {
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        const VoiFileContents contents = randomVois(random, 2 + round);
        std::vector<std::set<Voxel>> sets;
        for (const auto& voi : contents.vois) {
            std::set<Voxel> set;
            for (std::size_t i = 0; i < voi.voxels.size(); i += 3) {
                set.insert({voi.voxels[i], voi.voxels[i + 1], voi.voxels[i + 2]});
            }
            sets.push_back(set);
        }
        std::map<std::pair<int, int>, std::int64_t> expected;
        for (std::size_t a = 0; a < sets.size(); ++a) {
            for (std::size_t b = a + 1; b < sets.size(); ++b) {
                std::int64_t shared = 0;
                for (const Voxel& voxel : sets[a]) shared += sets[b].count(voxel);
                if (shared > 0) expected[{static_cast<int>(a), static_cast<int>(b)}] = shared;
            }
        }
        // Both the table and the map of pairs, which must agree with each other and the sets.
        for (const std::int64_t denseLimit : {std::int64_t{4096}, std::int64_t{1}}) {
            const voikit::VoiStatistics statistics =
                voikit::computeStatistics(contents, denseLimit);
            std::map<std::pair<int, int>, std::int64_t> found;
            for (const auto& o : statistics.overlaps) {
                ASSERT_LT(o.first, o.second);
                found[{o.first, o.second}] = o.sharedVoxels;
            }
            EXPECT_EQ(found, expected) << "round " << round << ", dense limit " << denseLimit;
            ASSERT_TRUE(std::is_sorted(statistics.overlaps.begin(), statistics.overlaps.end(),
                                       [](const auto& x, const auto& y) {
                                           return std::tie(x.first, x.second) <
                                                  std::tie(y.first, y.second);
                                       }));
        }
        // Voxel counts keep duplicates; centres and extents are those of the listed voxels.
        const voikit::VoiStatistics statistics = voikit::computeStatistics(contents);
        for (std::size_t v = 0; v < contents.vois.size(); ++v) {
            const std::vector<std::int32_t>& xyz = contents.vois[v].voxels;
            ASSERT_EQ(statistics.vois[v].voxels, static_cast<std::int64_t>(xyz.size() / 3));
            for (int axis = 0; axis < 3 && !xyz.empty(); ++axis) {
                double sum = 0;
                std::int32_t low = xyz[axis], high = xyz[axis];
                for (std::size_t i = axis; i < xyz.size(); i += 3) {
                    sum += xyz[i];
                    low = std::min(low, xyz[i]);
                    high = std::max(high, xyz[i]);
                }
                EXPECT_DOUBLE_EQ(statistics.vois[v].centre[axis],
                                 sum * 3 / static_cast<double>(xyz.size()));
                EXPECT_EQ(statistics.vois[v].low[axis], low);
                EXPECT_EQ(statistics.vois[v].high[axis], high);
            }
        }
    }
}

}  // namespace
