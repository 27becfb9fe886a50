#include "voikit/space/atlas_sides.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "common/strict_number.h"
#include "voikit/io/user_cache.h"
#include "voikit/space/name_side.h"

namespace voikit {
namespace {

// A share of a label's voxels that, on each side of x = 0, makes it a region of both
// hemispheres rather than one that crosses the midline a little.
constexpr double kBothSidesShare = 0.1;

// "1 label", "3 labels".
std::string labelCount(int count) {
    return std::to_string(count) + (count == 1 ? " label" : " labels");
}

std::string millimetres(double x) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", x);
    return text;
}

// The cache file; its name changes with the rules above, so that old verdicts are not
// taken for new ones.
constexpr const char kCacheFile[] = "atlas-sides-1.tsv";
// The most atlases remembered: the oldest go first.
constexpr std::size_t kMostRemembered = 256;

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return parts;
        start = tab + 1;
    }
}

std::string cacheLine(const std::string& key, const AtlasSides& sides) {
    std::string line = key + "\t" + std::to_string(sides.sided) + "\t" +
                       std::to_string(sides.nearMidline) + "\t" + std::to_string(sides.unsided) +
                       "\t" + std::to_string(sides.bothSides) + "\t" +
                       std::to_string(sides.misplaced.size());
    for (const AtlasSides::Misplaced& label : sides.misplaced) {
        char x[32];
        std::snprintf(x, sizeof x, "%.17g", label.x);
        line += "\t" + label.name + "\t" + x;
    }
    return line + "\n";
}

std::optional<AtlasSides> parseCacheLine(const std::vector<std::string>& parts) {
    if (parts.size() < 6) return std::nullopt;
    const auto count = [](const std::string& text) -> std::optional<int> {
        const auto value = glomera::parseFiniteNumber(text);
        if (!value || *value < 0 || *value > 1e6 || *value != std::floor(*value))
            return std::nullopt;
        return static_cast<int>(*value);
    };
    const auto sided = count(parts[1]), nearMidline = count(parts[2]), unsided = count(parts[3]),
               bothSides = count(parts[4]), misplaced = count(parts[5]);
    if (!sided || !nearMidline || !unsided || !bothSides || !misplaced ||
        parts.size() != 6 + 2 * static_cast<std::size_t>(*misplaced)) {
        return std::nullopt;
    }
    AtlasSides sides;
    sides.sided = *sided;
    sides.nearMidline = *nearMidline;
    sides.unsided = *unsided;
    sides.bothSides = *bothSides;
    for (int i = 0; i < *misplaced; ++i) {
        const auto x = glomera::parseFiniteNumber(parts[7 + 2 * static_cast<std::size_t>(i)]);
        if (!x) return std::nullopt;
        sides.misplaced.push_back({parts[6 + 2 * static_cast<std::size_t>(i)], *x});
    }
    return sides;
}

}  // namespace

bool AtlasSides::operator==(const AtlasSides& other) const {
    if (sided != other.sided || nearMidline != other.nearMidline || unsided != other.unsided ||
        bothSides != other.bothSides || misplaced.size() != other.misplaced.size()) {
        return false;
    }
    for (std::size_t i = 0; i < misplaced.size(); ++i) {
        if (misplaced[i].name != other.misplaced[i].name || misplaced[i].x != other.misplaced[i].x)
            return false;
    }
    return true;
}

template <typename Place>
AtlasSides checkAtlasSides(const std::vector<std::int32_t>& labels,
                           const std::vector<Place>& places, const std::int64_t dims[3],
                           const double xRow[4],
                           const std::function<std::string(std::int32_t)>& nameOf) {
    // Per label: its voxels, the sums of their indices, and its voxels on each side of x = 0.
    struct Sums {
        std::int64_t voxels = 0;
        double i = 0, j = 0, k = 0;
        std::int64_t left = 0, right = 0;
    };
    std::vector<Sums> sums(labels.size());
    std::size_t at = 0;
    for (std::int64_t i = 0; i < dims[0]; ++i) {
        for (std::int64_t j = 0; j < dims[1]; ++j) {
            const double rowX =
                xRow[0] * static_cast<double>(i) + xRow[1] * static_cast<double>(j) + xRow[3];
            for (std::int64_t k = 0; k < dims[2]; ++k, ++at) {
                const std::size_t place = places[at];
                if (place == 0) continue;
                Sums& s = sums[place];
                ++s.voxels;
                s.i += static_cast<double>(i);
                s.j += static_cast<double>(j);
                s.k += static_cast<double>(k);
                const double x = rowX + xRow[2] * static_cast<double>(k);
                s.left += x < 0 ? 1 : 0;
                s.right += x > 0 ? 1 : 0;
            }
        }
    }
    AtlasSides sides;
    for (std::size_t place = 1; place < labels.size(); ++place) {
        const Sums& s = sums[place];
        const std::string name = nameOf(labels[place]);
        if (s.voxels == 0 || name.empty()) continue;
        const Side named = sideInName(name);
        if (named == Side::kNone) {
            ++sides.unsided;
            const double least = static_cast<double>(std::min(s.left, s.right));
            sides.bothSides += least >= kBothSidesShare * static_cast<double>(s.voxels) ? 1 : 0;
            continue;
        }
        ++sides.sided;
        const auto n = static_cast<double>(s.voxels);
        const double x = xRow[0] * s.i / n + xRow[1] * s.j / n + xRow[2] * s.k / n + xRow[3];
        const Side found = sideOfX(x, kMidlineMm);
        if (found == Side::kNone) {
            ++sides.nearMidline;
        } else if (found != named) {
            sides.misplaced.push_back({name, x});
        }
    }
    return sides;
}

template AtlasSides checkAtlasSides(const std::vector<std::int32_t>&,
                                    const std::vector<std::uint8_t>&, const std::int64_t[3],
                                    const double[4],
                                    const std::function<std::string(std::int32_t)>&);
template AtlasSides checkAtlasSides(const std::vector<std::int32_t>&,
                                    const std::vector<std::uint16_t>&, const std::int64_t[3],
                                    const double[4],
                                    const std::function<std::string(std::int32_t)>&);

std::string misplacedLabels(const AtlasSides& sides, std::size_t shown) {
    std::string text;
    for (std::size_t i = 0; i < sides.misplaced.size() && i < shown; ++i) {
        text += (i ? ", " : "") + sides.misplaced[i].name +
                " (x = " + millimetres(sides.misplaced[i].x) + ")";
    }
    if (sides.misplaced.size() > shown) {
        text += " and " + std::to_string(sides.misplaced.size() - shown) + " more";
    }
    return text;
}

std::string sidesStatement(const AtlasSides& sides) {
    if (sides.sided == 0) {
        return "its names say no side: " + std::to_string(sides.bothSides) + " of " +
               std::to_string(sides.unsided) + " labels reach into both hemispheres";
    }
    std::string text = labelCount(sides.sided) + " named for a side";
    if (sides.misplaced.empty()) {
        text += ", each on its side of x = 0";
    } else {
        text += "; " + std::to_string(sides.misplaced.size()) +
                " of them on the other side: " + misplacedLabels(sides, 8);
    }
    if (sides.nearMidline > 0) {
        text += " (" + std::to_string(sides.nearMidline) + " centred within 2 mm of x = 0)";
    }
    if (sides.unsided > 0) text += "; " + labelCount(sides.unsided) + " without a side";
    return text;
}

std::optional<AtlasSideRule> atlasSideRuleNamed(std::string_view name) {
    for (std::size_t i = 0; i < kAtlasSideRuleNames.size(); ++i) {
        if (name == kAtlasSideRuleNames[i]) return static_cast<AtlasSideRule>(i);
    }
    return std::nullopt;
}

std::optional<AtlasSides> rememberedSides(const std::string& key) {
    const std::optional<std::string> text = readUserCache(kCacheFile);
    if (!text) return std::nullopt;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> parts = fields(line);
        if (parts[0] == key) return parseCacheLine(parts);
    }
    return std::nullopt;
}

void rememberSides(const std::string& key, const AtlasSides& sides) {
    std::vector<std::string> kept;
    if (const std::optional<std::string> text = readUserCache(kCacheFile)) {
        std::istringstream lines(*text);
        std::string line;
        while (std::getline(lines, line)) {
            if (fields(line)[0] != key && parseCacheLine(fields(line))) kept.push_back(line);
        }
    }
    if (kept.size() >= kMostRemembered) {
        kept.erase(kept.begin(),
                   kept.begin() + static_cast<std::ptrdiff_t>(kept.size() - kMostRemembered + 1));
    }
    std::string text;
    for (const std::string& line : kept) text += line + "\n";
    writeUserCache(kCacheFile, text + cacheLine(key, sides));
}

}  // namespace voikit
