#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voikit {

// What an atlas's label names say of sides, held against where its labels lie by the
// image's header: a label named for the left whose voxels lie right of x = 0 tells of an
// image whose left and right are swapped.
struct AtlasSides {
    struct Misplaced {
        std::string name;
        double x = 0;  // the label's centre, mm
    };
    int sided = 0;                     // labels the image holds whose names say a side
    int nearMidline = 0;               // of them, centred within kMidlineMm of x = 0: not judged
    std::vector<Misplaced> misplaced;  // of the others, those on the other side, by label
    int unsided = 0;                   // labels whose names say no side
    int bothSides = 0;  // of them, with at least a tenth of their voxels on each side of x = 0

    int judged() const { return sided - nearMidline; }
    // More than half of the judged labels on the other side: left and right swapped.
    bool mostMisplaced() const {
        return judged() > 0 && 2 * static_cast<int>(misplaced.size()) > judged();
    }

    bool operator==(const AtlasSides& other) const;
};

// Works it out for a label image held as its labels and, per voxel with k running fastest,
// its label's place among them; `xRow` gives x in mm of voxel (i, j, k). `nameOf` names a
// label ("" for one without a name, which is left out).
// The places come a byte or two a voxel.
template <typename Place>
AtlasSides checkAtlasSides(const std::vector<std::int32_t>& labels,
                           const std::vector<Place>& places, const std::int64_t dims[3],
                           const double xRow[4],
                           const std::function<std::string(std::int32_t)>& nameOf);

// What the report says of an atlas's sides: "108 labels named for a side, each on its side
// of x = 0", "its names say no side: 192 of 192 labels reach into both hemispheres", or
// which labels lie on the other side.
std::string sidesStatement(const AtlasSides& sides);

// "Corticospinal_tract_R (x = -8.1), ...": the first `shown` misplaced labels, and how many
// more.
std::string misplacedLabels(const AtlasSides& sides, std::size_t shown);

// What to do with an atlas whose labels mostly lie on the other side from their names:
// refuse it, or use it as it is (--atlas-sides check|ignore, the names indexed by the enum).
enum class AtlasSideRule { kCheck, kIgnore };
constexpr std::array<const char*, 2> kAtlasSideRuleNames = {"check", "ignore"};
std::optional<AtlasSideRule> atlasSideRuleNamed(std::string_view name);

// The sides found for an atlas before, by a key made of its files' checksums, and keeping
// them for next time: a small cache file that costs nothing when missing or unreadable.
std::optional<AtlasSides> rememberedSides(const std::string& key);
void rememberSides(const std::string& key, const AtlasSides& sides);

}  // namespace voikit
