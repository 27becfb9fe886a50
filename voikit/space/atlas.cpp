#include "voikit/space/atlas.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "common/installed_files.h"
#include "voikit/io/error.h"

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

// "1 Precentral_L 2001" or "0<tab>Unclassified": a number, then the name.
std::map<std::int32_t, std::string> readLabelNames(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw Error("cannot read the label names " + path);
    std::map<std::int32_t, std::string> names;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        fields.imbue(std::locale::classic());
        std::int32_t number = 0;
        std::string name;
        if (fields >> number >> name) names.emplace(number, name);
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

// Where an atlas comes from: a default one's files, or the user's image and label text.
struct Atlas::Source {
    std::string title;
    std::string image;
    std::string labels;  // empty: none, or Brodmann areas
    bool brodmann = false;

    explicit Source(const std::string& choice) {
        for (const KnownAtlas& known : kKnownAtlases) {
            if (choice != known.name) continue;
            title = known.title;
            image = templatePath(known.image);
            if (known.labels) labels = templatePath(known.labels);
            brodmann = known.labels == nullptr;
            return;
        }
        const std::size_t colon = choice.rfind(':');
        image = choice.substr(0, colon);
        if (colon != std::string::npos) labels = choice.substr(colon + 1);
        title = image.substr(image.rfind('/') + 1);
    }
};

Atlas::Atlas(const std::string& choice) : Atlas(Source(choice)) {}

AtlasFiles Atlas::files(const std::string& choice) {
    const Source source(choice);
    return {source.title, source.image, source.labels};
}

Atlas::Atlas(const Source& source)
    : name_(source.title),
      image_(source.image, MniImage::Holds::kLabels),
      brodmann_(source.brodmann) {
    // Each voxel is held as its label's place among the labels the image holds: 16 bits for
    // any atlas of the field, a quarter of the memory the lookups go through.
    LabelPlaces read = image_.takeLabels();
    labels_ = std::move(read.labels);
    regions_ = std::move(read.places);
    maxLabel_ = labels_.back();
    if (!source.labels.empty()) names_ = readLabelNames(source.labels);
}

Atlas::~Atlas() = default;

std::int32_t Atlas::labelAt(const Point& tal, MniToTal transform) const {
    return labelAtMni(talToMni(tal, transform));
}

std::int32_t Atlas::labelAtMni(const Point& mni) const {
    return labels_[regionAtIndex(image_.indexAtMni(mni))];
}

std::string Atlas::regionName(std::int32_t label) const {
    if (brodmann_) return fmt::format("BA {}", label);
    const auto found = names_.find(label);
    return found != names_.end() ? found->second : fmt::format("label {}", label);
}

}  // namespace voikit
