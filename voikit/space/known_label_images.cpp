#include "voikit/space/known_label_images.h"

namespace voikit {
namespace {

// Debian's mricron-data ships the JHU white-matter labels with x = i - 91 (1 mm) and
// x = 2i - 90 (2 mm) in their headers: by them every label named for a side lies in the
// other hemisphere. The voxels are in FSL's layout of the MNI152 grid, x = 90 - i and
// x = 90 - 2i, where each label's centre falls on its named side and the two files agree.
const KnownXAxis kKnown[] = {
    {"eb5d1fc2905568f50073fbca05bc0bc0167397f6b6f43aaf9da3e0a17ca9a340",
     "JHU-WhiteMatter-labels-1mm.nii.gz (mricron-data)",
     {-1, 0, 0, 90},
     "x read as 90 - i, FSL's layout of this grid: the file's header swaps left and right"},
    {"b3339a0ecc26029db44ef461a2fd05a6e3e45a8c73c3889d88f7e34946d0cbc4",
     "JHU-WhiteMatter-labels-2mm.nii.gz (mricron-data)",
     {-2, 0, 0, 90},
     "x read as 90 - 2i, FSL's layout of this grid: the file's header swaps left and right"},
};

}  // namespace

const KnownXAxis* knownXAxis(const std::string& sha256) {
    for (const KnownXAxis& known : kKnown) {
        if (sha256 == known.sha256) return &known;
    }
    return nullptr;
}

}  // namespace voikit
