#include "voikit/space/atlas.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <string_view>

#include "common/installed_files.h"
#include "voikit/io/error.h"
#include "voikit/io/sha256.h"
#include "voikit/space/known_label_images.h"

namespace voikit {
namespace {

// The atlases looked up by default, by the names the command lines take.
struct KnownAtlas {
    const char* name;
    const char* title;  // as reports name it
    const char* image;
    const char* labels;  // null: Brodmann areas, named by number
};

const KnownAtlas kKnownAtlases[] = {
    {"aal", "AAL", "aal.nii.gz", "aal.nii.txt"},
    {"brodmann", "Brodmann", "brodmann.nii.gz", nullptr},
    {"jhu", "JHU white matter", "JHU-WhiteMatter-labels-1mm.nii.gz",
     "JHU-WhiteMatter-labels-1mm.nii.txt"},
    {"aicha", "AICHA", "AICHAmc.nii.gz", "AICHAmc.nii.txt"},
};

std::string templatePath(const char* file) { return templateFolder() + "/" + file; }

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

template <typename Number>
bool parsesWhole(std::string_view text, Number& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

// One named line of a label text.
struct LabelLine {
    std::int32_t number = 0;
    std::string name;        // everything after the number, up to a tab if there is one
    std::string beforeCode;  // the name less a last whole-number column; empty when none
};

// Label texts come as "0<tab>Unclassified" (further tab columns are extras) or as
// "1 Precentral_L 2001" (spaces, the last column a code of the region). A name runs from
// the number to the next tab and keeps its spaces ("7<tab>Left amygdala", "7 Left
// amygdala"); in a file of spaces alone, a whole-number last column on every line is a code
// column and not part of the names.
std::map<std::int32_t, std::string> readLabelNames(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw Error("cannot read the label names " + path);
    std::vector<LabelLine> lines;
    bool codeColumn = true;
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view text = trimmed(line);
        const std::size_t numberEnd = text.find_first_of(" \t");
        LabelLine label;
        if (numberEnd == std::string_view::npos ||
            !parsesWhole(text.substr(0, numberEnd), label.number)) {
            continue;
        }
        const std::string_view rest = text.substr(numberEnd + 1);
        const std::size_t tab = rest.find('\t');
        label.name = trimmed(rest.substr(0, tab));
        if (label.name.empty()) continue;
        if (text[numberEnd] == '\t' || tab != std::string_view::npos) {
            label.beforeCode = label.name;
        } else {
            const std::size_t lastSpace = label.name.find_last_of(' ');
            std::int64_t code = 0;
            if (lastSpace != std::string::npos &&
                parsesWhole(std::string_view(label.name).substr(lastSpace + 1), code)) {
                label.beforeCode = trimmed(std::string_view(label.name).substr(0, lastSpace));
            }
            codeColumn = codeColumn && !label.beforeCode.empty();
        }
        lines.push_back(std::move(label));
    }
    std::map<std::int32_t, std::string> names;
    for (LabelLine& label : lines) {
        names.emplace(label.number, std::move(codeColumn ? label.beforeCode : label.name));
    }
    if (names.empty()) throw Error(path + " names no labels (\"number name\" lines)");
    return names;
}

}  // namespace

std::string templateFolder() {
    return glomera::firstExisting({glomera::dataPath("templates")}).value_or(kTemplateFolder);
}

std::vector<std::string> defaultAtlases() {
    std::vector<std::string> names;
    for (const KnownAtlas& known : kKnownAtlases) names.emplace_back(known.name);
    return names;
}

std::string defaultBrain() { return templatePath("ch2bet.nii.gz"); }

bool defaultAtlasInstalled(const std::string& choice) {
    const auto readable = [](const std::string& path) { return std::ifstream(path).good(); };
    if (choice == defaultBrain()) return readable(choice);
    for (const KnownAtlas& known : kKnownAtlases) {
        if (choice == known.name) {
            return readable(templatePath(known.image)) &&
                   (known.labels == nullptr || readable(templatePath(known.labels)));
        }
    }
    return false;
}

// Where an atlas comes from: a default one's files, or the user's image and label text; and
// what is known of the image by its checksum.
struct Atlas::Source {
    std::string title;
    std::string image;
    std::string labels;  // empty: none, or Brodmann areas
    bool brodmann = false;
    std::string checksum;
    const KnownXAxis* knownXAxis = nullptr;

    explicit Source(const std::string& choice) {
        const auto known = std::find_if(std::begin(kKnownAtlases), std::end(kKnownAtlases),
                                        [&](const KnownAtlas& k) { return choice == k.name; });
        if (known != std::end(kKnownAtlases)) {
            title = known->title;
            image = templatePath(known->image);
            if (known->labels) labels = templatePath(known->labels);
            brodmann = known->labels == nullptr;
        } else {
            const std::size_t colon = choice.rfind(':');
            image = choice.substr(0, colon);
            if (colon != std::string::npos) labels = choice.substr(colon + 1);
            title = image.substr(image.rfind('/') + 1);
        }
    }

    // Reads the image's checksum, by which the files with a known wrong header are known.
    Source& identify() {
        checksum = sha256OfFile(image).sha256;
        knownXAxis = voikit::knownXAxis(checksum);
        return *this;
    }
};

Atlas::Atlas(const std::string& choice, AtlasSideRule rule)
    : Atlas(Source(choice).identify(), rule) {}

AtlasFiles Atlas::files(const std::string& choice) {
    const Source source(choice);
    return {source.title, source.image, source.labels};
}

std::string Atlas::xAxisCorrectionOf(const std::string& choice) {
    Source source(choice);
    if (!std::ifstream(source.image)) return "";
    const KnownXAxis* known = source.identify().knownXAxis;
    return known ? known->layout : "";
}

Atlas::Atlas(const Source& source, AtlasSideRule rule)
    : name_(source.title),
      image_(source.image, MniImage::Holds::kLabels,
             source.knownXAxis ? source.knownXAxis->xRow : nullptr),
      brodmann_(source.brodmann) {
    // Each voxel is held as its label's place among the labels the image holds: a byte for
    // any atlas of the field, which keeps the memory the lookups go through small.
    regions_ = image_.takeLabels();
    maxLabel_ = regions_.labels.back();
    if (!source.labels.empty()) names_ = readLabelNames(source.labels);
    if (source.knownXAxis) xAxisCorrection_ = source.knownXAxis->layout;
    if (!names_.empty() || brodmann_) checkSides(source, rule);
}

void Atlas::checkSides(const Source& source, AtlasSideRule rule) {
    const std::string key =
        source.checksum + ":" + (source.labels.empty() ? "-" : sha256OfFile(source.labels).sha256);
    sides_ = rememberedSides(key);
    if (!sides_) {
        const auto nameOf = [this](std::int32_t label) {
            return brodmann_ || names_.count(label) ? regionName(label) : std::string();
        };
        const auto check = [&](const auto& places) {
            return checkAtlasSides(regions_.labels, places, image_.grid().dims,
                                   image_.grid().affine[0], nameOf);
        };
        sides_ = regions_.wide.empty() ? check(regions_.narrow) : check(regions_.wide);
        rememberSides(key, *sides_);
    }
    if (rule == AtlasSideRule::kCheck && sides_->mostMisplaced()) {
        throw Error(source.image + ": " + std::to_string(sides_->misplaced.size()) + " of " +
                    std::to_string(sides_->judged()) +
                    " labels named for a side lie on the other side of x = 0 by the image's "
                    "own header, so its left and right are swapped: " +
                    misplacedLabels(*sides_, 4) +
                    ". Correct its header, or give --atlas-sides ignore to use it as it is");
    }
}

Atlas::~Atlas() = default;

std::int32_t Atlas::labelAt(const Point& tal, MniToTal transform) const {
    return labelAtMni(talToMni(tal, transform));
}

std::int32_t Atlas::labelAtMni(const Point& mni) const {
    return regions_.labels[regionAtIndex(image_.indexAtMni(mni))];
}

std::optional<Atlas::Nearest> Atlas::nearestLabelled(const Point& mni) const {
    // Shells of voxels around the one nearest to the position, each a step further out on
    // some axis, until no voxel of the next shell can lie nearer than the nearest found.
    const std::int64_t* dims = image_.grid().dims;
    const Point ijk = image_.voxelCoordinates(mni);
    std::int64_t centre[3], reach = 0;
    for (int a = 0; a < 3; ++a) {
        centre[a] = static_cast<std::int64_t>(std::floor(ijk[a] + 0.5));
        reach = std::max({reach, std::abs(centre[a]), std::abs(centre[a] - (dims[a] - 1))});
    }
    const double step = image_.leastStep();
    std::optional<Nearest> best;
    const auto consider = [&](std::int64_t i, std::int64_t j, std::int64_t k) {
        const std::uint16_t region = regionAtIndex(image_.indexOf(i, j, k));
        if (region == 0) return;
        const Point at = image_.positionOf(i, j, k);
        const double distance =
            std::sqrt((at[0] - mni[0]) * (at[0] - mni[0]) + (at[1] - mni[1]) * (at[1] - mni[1]) +
                      (at[2] - mni[2]) * (at[2] - mni[2]));
        if (!best || distance < best->distance) {
            best = Nearest{regions_.labels[region], distance, at};
        }
    };
    const auto within = [&](int a, std::int64_t from, std::int64_t to) {
        return std::pair<std::int64_t, std::int64_t>{std::max<std::int64_t>(from, 0),
                                                     std::min(to, dims[a] - 1)};
    };
    for (std::int64_t r = 0; r <= reach; ++r) {
        if (best && (static_cast<double>(r) - 0.5) * step > best->distance) break;
        const auto [i0, i1] = within(0, centre[0] - r, centre[0] + r);
        const auto [j0, j1] = within(1, centre[1] - r, centre[1] + r);
        for (std::int64_t i = i0; i <= i1; ++i) {
            for (std::int64_t j = j0; j <= j1; ++j) {
                const bool onFace = std::abs(i - centre[0]) == r || std::abs(j - centre[1]) == r;
                if (onFace) {
                    const auto [k0, k1] = within(2, centre[2] - r, centre[2] + r);
                    for (std::int64_t k = k0; k <= k1; ++k) consider(i, j, k);
                } else {
                    for (const std::int64_t k : {centre[2] - r, centre[2] + r}) {
                        if (k >= 0 && k < dims[2]) consider(i, j, k);
                    }
                }
            }
        }
    }
    return best;
}

std::string Atlas::regionName(std::int32_t label) const {
    if (brodmann_) return fmt::format("BA {}", label);
    const auto found = names_.find(label);
    return found != names_.end() ? found->second : fmt::format("label {}", label);
}

}  // namespace voikit
