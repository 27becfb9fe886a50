#pragma once

#include "voi/voi_set.h"

namespace glomera {

class AtomicFile;

// Writes the set as a .voi text file at set.fileName (CR LF line ends), replacing any file
// of that name only once the new one is complete. On any failure (the file cannot be
// created, a write or the close fails, or the set is inconsistent) it logs "Error while
// writing VOI file" to the host, leaves an earlier file untouched and returns false.
bool writeVoiFile(const VoiSet& set);

// The text of the file, appended to an open output. False if the set is inconsistent:
// more VOIs or voxels claimed than it holds.
bool appendVoiText(const VoiSet& set, AtomicFile& out);

}  // namespace glomera
