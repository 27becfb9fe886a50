#include "voikit/provenance/methods.h"

#include <algorithm>
#include <array>
#include <map>

#include "voikit/io/word_list.h"
#include "voikit/provenance/version.h"
#include "voikit/space/atlas.h"

namespace voikit {
namespace {

// A work to cite: how the paragraph cites it and its entry in the references.
struct Reference {
    const char* citation;
    const char* entry;
};

const Reference kTalairach = {
    "Talairach and Tournoux, 1988",
    "Talairach J, Tournoux P (1988) Co-planar stereotaxic atlas of the human brain. Stuttgart: "
    "Thieme."};
const Reference kLancaster = {
    "Lancaster et al., 2007",
    "Lancaster JL, Tordesillas-Gutiérrez D, Martinez M, Salinas F, Evans A, Zilles K, Mazziotta "
    "JC, Fox PT (2007) Bias between MNI and Talairach coordinates analyzed using the ICBM-152 "
    "brain template. Hum Brain Mapp 28(11):1194-1205. doi:10.1002/hbm.20345"};
const Reference kBrett = {
    "Brett et al., 2002",
    "Brett M, Johnsrude IS, Owen AM (2002) The problem of functional localization in the human "
    "brain. Nat Rev Neurosci 3(3):243-249. doi:10.1038/nrn756"};
const Reference kRorden = {
    "Rorden and Brett, 2000",
    "Rorden C, Brett M (2000) Stereotaxic display of brain lesions. Behav Neurol 12(4):191-200. "
    "doi:10.1155/2000/421719"};
const Reference kTzourioMazoyer = {
    "Tzourio-Mazoyer et al., 2002",
    "Tzourio-Mazoyer N, Landeau B, Papathanassiou D, Crivello F, Etard O, Delcroix N, Mazoyer B, "
    "Joliot M (2002) Automated anatomical labeling of activations in SPM using a macroscopic "
    "anatomical parcellation of the MNI MRI single-subject brain. NeuroImage 15(1):273-289. "
    "doi:10.1006/nimg.2001.0978"};
const Reference kBrodmann = {
    "Brodmann, 1909",
    "Brodmann K (1909) Vergleichende Lokalisationslehre der Grosshirnrinde in ihren Prinzipien "
    "dargestellt auf Grund des Zellenbaues. Leipzig: Barth."};
const Reference kMori = {
    "Mori et al., 2008",
    "Mori S, Oishi K, Jiang H, Jiang L, Li X, Akhter K, Hua K, Faria AV, Mahmood A, Woods R, Toga "
    "AW, Pike GB, Neto PR, Evans A, Zhang J, Huang H, Miller MI, van Zijl P, Mazziotta J (2008) "
    "Stereotaxic white matter atlas based on diffusion tensor imaging in an ICBM template. "
    "NeuroImage 40(2):570-582. doi:10.1016/j.neuroimage.2007.12.035"};
const Reference kWakana = {
    "Wakana et al., 2007",
    "Wakana S, Caprihan A, Panzenboeck MM, Fallon JH, Perry M, Gollub RL, Hua K, Zhang J, Jiang "
    "H, Dubey P, Blitz A, van Zijl P, Mori S (2007) Reproducibility of quantitative tractography "
    "methods applied to cerebral white matter. NeuroImage 36(3):630-644. "
    "doi:10.1016/j.neuroimage.2007.02.049"};
const Reference kHua = {
    "Hua et al., 2008",
    "Hua K, Zhang J, Wakana S, Jiang H, Li X, Reich DS, Calabresi PA, Pekar JJ, van Zijl PCM, "
    "Mori S (2008) Tract probability maps in stereotaxic spaces: analyses of white matter anatomy "
    "and tract-specific quantification. NeuroImage 39(1):336-347. "
    "doi:10.1016/j.neuroimage.2007.07.053"};
const Reference kJoliot = {
    "Joliot et al., 2015",
    "Joliot M, Jobard G, Naveau M, Delcroix N, Petit L, Zago L, Crivello F, Mellet E, Mazoyer B, "
    "Tzourio-Mazoyer N (2015) AICHA: An atlas of intrinsic connectivity of homotopic areas. "
    "J Neurosci Methods 254:46-59. doi:10.1016/j.jneumeth.2015.07.013"};
const Reference kHolmes = {
    "Holmes et al., 1998",
    "Holmes CJ, Hoge R, Collins L, Woods R, Toga AW, Evans AC (1998) Enhancement of MR images "
    "using registration for signal averaging. J Comput Assist Tomogr 22(2):324-333. "
    "doi:10.1097/00004728-199803000-00032"};

// How the paragraph names each transform, by MniToTal, with its usual name, and what it cites.
struct TransformWords {
    const char* words;
    const char* tag;
    const Reference* reference;
};
const std::array<TransformWords, 4> kTransforms = {{
    {"the transform of Lancaster et al. for coordinates from SPM's MNI templates", "icbm_spm2tal",
     &kLancaster},
    {"the transform of Lancaster et al. for coordinates from FSL's MNI templates", "icbm_fsl2tal",
     &kLancaster},
    {"the transform of Lancaster et al. for coordinates from other MNI templates", "icbm_other2tal",
     &kLancaster},
    {"Brett's piecewise linear transform", "mni2tal", &kBrett},
}};

// How the paragraph names each atlas of mricron-data, by the name --atlas takes, and what it
// cites besides the collection.
struct AtlasWords {
    const char* name;
    const char* words;
    const char* tag;
    std::vector<const Reference*> references;
};
const AtlasWords kAtlases[] = {
    {"aal", "the AAL atlas", "", {&kTzourioMazoyer}},
    {"brodmann", "the map of Brodmann areas", "", {&kBrodmann}},
    {"jhu", "the JHU white-matter labels", "ICBM-DTI-81", {&kMori, &kWakana, &kHua}},
    {"aicha", "the AICHA atlas", "", {&kJoliot}},
};

// " (tag; Mori et al., 2008; Wakana et al., 2007)", or "" for no tag and no reference.
std::string cited(const std::vector<const Reference*>& references, const std::string& tag = "") {
    std::string text = tag;
    for (const Reference* reference : references) {
        text += (text.empty() ? "" : "; ") + std::string(reference->citation);
    }
    return text.empty() ? "" : " (" + text + ")";
}

// "6 mm" or "from 4 to 10 mm"; "" for no value.
std::string rangeWords(std::vector<double> values, const std::string& unit) {
    if (values.empty()) return "";
    std::sort(values.begin(), values.end());
    const auto number = [](double value) {
        std::string text = std::to_string(value);
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
        return text;
    };
    if (values.front() == values.back()) return number(values.front()) + " " + unit;
    return "from " + number(values.front()) + " to " + number(values.back()) + " " + unit;
}

std::vector<double> asDoubles(const std::vector<std::int64_t>& counts) {
    return std::vector<double>(counts.begin(), counts.end());
}

// Where the coordinates came from and what was done to them, and the spheres made of them.
// Says whether the transform was named (and cited), for the sentences that follow.
std::string inputSentences(const MethodsChoices& choices, std::vector<const Reference*>& cites,
                           bool& transformNamed) {
    const std::optional<InputSpaceRecord>& input = choices.input;
    std::string text;
    transformNamed = false;
    cites.push_back(&kTalairach);
    if (input && input->transform) {
        const TransformWords& used = kTransforms[static_cast<std::size_t>(*input->transform)];
        cites.push_back(used.reference);
        text = std::string("Coordinates reported in MNI space were converted to Talairach space") +
               cited({&kTalairach}) + " with " + used.words + cited({used.reference}, used.tag) +
               (input->space ? "." : "; those reported in Talairach space were used as given.");
        transformNamed = *input->transform == choices.transform;
    } else if (input) {
        text = "The VOIs were made from coordinates reported in Talairach space" +
               cited({&kTalairach}) + ", used as given, with no conversion.";
    } else {
        text = "The VOIs' coordinates were taken to be in Talairach space" + cited({&kTalairach}) +
               " and used as given: no record of another input space was kept with the VOI "
               "file.";
    }
    std::vector<double> radii;
    if (input) {
        for (const RecordedSphere& sphere : input->spheres) radii.push_back(sphere.radius);
    }
    if (!radii.empty()) {
        text += " Each VOI was a sphere of radius " + rangeWords(radii, "mm") +
                " around its Talairach centre, drawn on a 1 mm grid";
        text += choices.voxelCounts.empty()
                    ? "."
                    : " (" + rangeWords(asDoubles(choices.voxelCounts), "voxels") + ").";
    } else if (!choices.voxelCounts.empty()) {
        text +=
            " The VOIs held " + rangeWords(asDoubles(choices.voxelCounts), "voxels") + " of 1 mm³.";
    }
    return text;
}

}  // namespace

Methods methodsFor(const MethodsChoices& choices) {
    std::vector<const Reference*> cites = {&kTalairach};
    const TransformWords& transform = kTransforms[static_cast<std::size_t>(choices.transform)];
    bool transformNamed = false;
    std::string text = std::string("Volumes of interest (VOIs) were described with Glomera ") +
                       glomeraVersion() + ". " + inputSentences(choices, cites, transformNamed);
    // How MNI atlases are reached from the Talairach VOIs: by the transform already named, or
    // by the one named here.
    const std::string toMni =
        transformNamed ? std::string(", reached through the inverse of the same transform")
                       : std::string(", reached from Talairach space with the inverse of ") +
                             transform.words + cited({transform.reference}, transform.tag);
    if (choices.anatomy) {
        std::vector<std::string> atlases;
        std::vector<std::string> mirrored;  // the atlases read with their x axis mirrored
        bool collection = false;            // an atlas of mricron-data
        for (const std::string& choice : choices.atlases) {
            const auto known =
                std::find_if(std::begin(kAtlases), std::end(kAtlases),
                             [&](const AtlasWords& atlas) { return choice == atlas.name; });
            const std::string words = known == std::end(kAtlases)
                                          ? "the label image " + Atlas::files(choice).title
                                          : std::string(known->words);
            if (std::find(choices.xAxisCorrected.begin(), choices.xAxisCorrected.end(), choice) !=
                choices.xAxisCorrected.end()) {
                mirrored.push_back(words);
            }
            if (known == std::end(kAtlases)) {
                atlases.push_back(words);
                continue;
            }
            collection = true;
            atlases.push_back(words + cited(known->references, known->tag));
            cites.insert(cites.end(), known->references.begin(), known->references.end());
        }
        const bool ownBrain = !choices.brain.empty();
        const std::string brain =
            ownBrain ? "the brain-extracted template " +
                           choices.brain.substr(choices.brain.rfind('/') + 1)
                     : "the brain-extracted Colin27 template" + cited({&kHolmes}, "ch2bet");
        if (!ownBrain) cites.push_back(&kHolmes);
        if (!atlases.empty()) {
            text +=
                " For each VOI, the region at its centre of mass and the share of its voxels "
                "in each region were taken from " +
                listedInWords(atlases) + ", in MNI space" + toMni + ".";
        }
        // The atlases and the template are MNI: the transform takes the VOIs there.
        cites.push_back(transform.reference);
        if (!mirrored.empty()) {
            const bool one = mirrored.size() == 1;
            text +=
                std::string(one ? " The header of the file of " : " The headers of the files of ") +
                listedInWords(mirrored) + (one ? " swaps" : " swap") +
                " left and right, putting each label named for a side in the other "
                "hemisphere; " +
                (one ? "the image was" : "the images were") +
                " read with the x axis mirrored, which puts every label on the side its name "
                "says.";
        }
        text += " Each VOI was checked against the brain of " + brain +
                (atlases.empty() ? ", in MNI space" + toMni : std::string()) +
                ": a VOI whose centre lies outside it, or less than half of whose voxels lie "
                "inside it, was flagged.";
        if (collection || !ownBrain) {
            text += " The atlases and the template are those distributed with MRIcron" +
                    cited({&kRorden}) + ".";
            cites.push_back(&kRorden);
        }
    }
    // Each reference once, in the order of its entry.
    std::map<std::string, const Reference*> entries;
    for (const Reference* reference : cites) entries.emplace(reference->entry, reference);
    Methods methods{text, {}};
    for (const auto& [entry, reference] : entries) methods.references.push_back(entry);
    return methods;
}

Methods extractionMethods(const ExtractionChoices& choices) {
    std::vector<const Reference*> cites;
    std::string text =
        std::string("Values were extracted from the images with Glomera ") + glomeraVersion() + ".";
    const TransformWords& transform = kTransforms[static_cast<std::size_t>(choices.transform)];
    const bool mniGrid = std::find(choices.gridSpaces.begin(), choices.gridSpaces.end(),
                                   Space::kMni) != choices.gridSpaces.end();
    if (choices.peakSpace) {
        const bool otherGrid =
            choices.mixedPeakSpaces ||
            std::any_of(choices.gridSpaces.begin(), choices.gridSpaces.end(),
                        [&](Space space) { return space != *choices.peakSpace; });
        text += std::string(" Spheres of radius ") + rangeWords(choices.radii, "mm") +
                " were centred on peaks reported in " +
                (choices.mixedPeakSpaces             ? "MNI and Talairach"
                 : *choices.peakSpace == Space::kMni ? "MNI"
                                                     : "Talairach") +
                " space and made in each image's own millimetres: each took the cells whose "
                "centre lies within the radius of the peak (the one nearest cell where none "
                "did).";
        if (otherGrid) {
            text += std::string(" Peaks on an image of the other space were converted with ") +
                    transform.words + cited({transform.reference}, transform.tag) + ".";
            cites.push_back(transform.reference);
        }
    } else if (choices.voiFile) {
        bool named = false;
        text += " " + inputSentences(*choices.voiFile, cites, named);
        text +=
            " Each VOI took the image cells whose centre, taken to Talairach space, lies "
            "nearest to one of its voxels";
        if (mniGrid) {
            text += named ? std::string(" (MNI images through the same transform)")
                          : std::string(" (MNI images through ") + transform.words +
                                cited({transform.reference}, transform.tag) + ")";
            cites.push_back(transform.reference);
        }
        text += "; where VOIs overlap, each kept its cells.";
    }
    if (!choices.grids.empty()) {
        text += std::string(choices.grids.size() == 1 ? " The images' grid: "
                                                      : " The images' grids: ") +
                listedInWords(choices.grids) + ".";
    }
    if (!choices.cells.empty()) {
        text += " On the first image's grid the VOIs held " +
                rangeWords(asDoubles(choices.cells), "cells") + ".";
    }
    if (choices.summary == "eig1") {
        text +=
            " Each VOI's series was its first eigenvariate: the first principal component of "
            "its cells' time series after each cell's mean was removed, signed to correlate "
            "positively with the mean series and scaled as in SPM's VOI extraction.";
    } else {
        text += " Each VOI's value in each volume was the " + choices.summary +
                " of its cells' finite values.";
    }
    for (const std::string& step : choices.cleaning) text += " " + step;
    if (choices.repetitionTime) {
        std::vector<double> tr = {*choices.repetitionTime};
        text += " The repetition time was " + rangeWords(tr, "s") + ".";
    }
    std::map<std::string, const Reference*> entries;
    for (const Reference* reference : cites) entries.emplace(reference->entry, reference);
    Methods methods{text, {}};
    for (const auto& [entry, reference] : entries) methods.references.push_back(entry);
    return methods;
}

std::string methodsText(const Methods& methods) {
    std::string text = "Methods\n\n" + methods.paragraph + "\n\nReferences\n\n";
    for (const std::string& reference : methods.references) text += reference + "\n";
    return text;
}

nlohmann::ordered_json methodsJson(const Methods& methods) {
    return {{"paragraph", methods.paragraph}, {"references", methods.references}};
}

}  // namespace voikit
