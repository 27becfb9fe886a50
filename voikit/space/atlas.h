#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "voikit/space/atlas_sides.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/space/mni_image.h"

namespace voikit {

// Where the field's templates and atlases are installed (Debian's mricron-data).
constexpr const char kTemplateFolder[] = "/usr/share/mricron/templates";
// Their copyright and licence notice.
constexpr const char kTemplateNotice[] = "/usr/share/doc/mricron-data/copyright";

// The folder the default templates and atlases are taken from: templates/ in the programs'
// data folder when it exists (so that a prefix on a machine without mricron-data can hold
// copies), else kTemplateFolder.
std::string templateFolder();

// The files of an atlas choice, and the title reports give it.
struct AtlasFiles {
    std::string title;   // "AAL", or the image's file name
    std::string image;   // the label image
    std::string labels;  // its label text; empty for none, or for Brodmann areas
};

// A label image in MNI space and the names of its labels.
class Atlas {
  public:
    // NAME (aal, brodmann, jhu, aicha) or IMAGE[:LABELS.txt], a label image with a text file
    // of "number name" lines (a name keeps its spaces up to a tab; see readLabelNames).
    // The bundled atlases are MNI whatever their header codes say, and so is any image given
    // here; images known to have their x axis wrong (by their
    // checksum) are read with the right one. Where the names say sides, they are held
    // against where the labels lie (the verdict is remembered by checksum): an atlas whose
    // labels mostly lie on the other side is refused unless `rule` says to ignore it. Throws
    // Error when it cannot be read or is refused.
    explicit Atlas(const std::string& choice, AtlasSideRule rule = AtlasSideRule::kCheck);
    ~Atlas();

    // The files a choice names, without reading them.
    static AtlasFiles files(const std::string& choice);
    // How the image of a choice would be read where its header has the x axis wrong, known by
    // its checksum without reading it as an image; empty where the header is taken or the
    // image is missing.
    static std::string xAxisCorrectionOf(const std::string& choice);
    Atlas(const Atlas&) = delete;
    Atlas& operator=(const Atlas&) = delete;

    const std::string& name() const { return name_; }

    // The label at a TAL position: the atlas voxel nearest to it once in MNI; 0 outside.
    std::int32_t labelAt(const Point& tal, MniToTal transform) const;
    // The same at a position already in MNI.
    std::int32_t labelAtMni(const Point& mni) const;

    // The labelled voxel whose centre lies nearest to a position in MNI, with its label and
    // the distance in mm; none for an image without labels.
    struct Nearest {
        std::int32_t label = 0;
        double distance = 0;
        Point mni{};
    };
    std::optional<Nearest> nearestLabelled(const Point& mni) const;

    // The region at an index of its image (-1: off it, no region): its place in labels().
    std::uint16_t regionAtIndex(std::int64_t index) const {
        return index < 0 ? 0 : regions_.at(static_cast<std::size_t>(index));
    }
    // Calls use(regionAt) with a function that gives what regionAtIndex does, for the bytes
    // or the 16-bit places the atlas holds: for runs of lookups, each without a branch on
    // which.
    template <typename Use>
    void withRegionLookup(Use use) const {
        const auto lookup = [](const auto* places) {
            return [places](std::int64_t index) -> std::uint16_t {
                return index < 0 ? 0 : places[static_cast<std::size_t>(index)];
            };
        };
        if (regions_.wide.empty()) {
            use(lookup(regions_.narrow.data()));
        } else {
            use(lookup(regions_.wide.data()));
        }
    }
    const MniImage& image() const { return image_; }

    // The largest label; labels run from 0 (no region) to it.
    std::int32_t maxLabel() const { return maxLabel_; }
    // Every label the image holds, and 0, ascending: at most kMostLabelPlaces.
    const std::vector<std::int32_t>& labels() const { return regions_.labels; }

    // "Amygdala_L", "BA 34", or "label 7" for a number the label text does not name.
    std::string regionName(std::int32_t label) const;

    // What its names say of sides against where its labels lie; none for an atlas without
    // label names.
    const std::optional<AtlasSides>& sides() const { return sides_; }
    // How its x axis was read where its header has it wrong; empty where the header is taken.
    const std::string& xAxisCorrection() const { return xAxisCorrection_; }

  private:
    struct Source;
    Atlas(const Source& source, AtlasSideRule rule);
    void checkSides(const Source& source, AtlasSideRule rule);

    std::string name_;
    MniImage image_;       // the grid; the voxels are in regions_
    LabelPlaces regions_;  // the labels, and per voxel, k fastest, its label's place among them
    std::map<std::int32_t, std::string> names_;
    bool brodmann_ = false;
    std::int32_t maxLabel_ = 0;
    std::optional<AtlasSides> sides_;
    std::string xAxisCorrection_;
};

// The atlases asked for by default: AAL, Brodmann, JHU white matter and AICHA.
std::vector<std::string> defaultAtlases();

// Whether the files of a default atlas, or of the default brain, are where they are looked
// for; false for any other choice.
bool defaultAtlasInstalled(const std::string& choice);

// The brain-extracted template whose non-zero voxels are the brain (ch2bet).
std::string defaultBrain();

}  // namespace voikit
