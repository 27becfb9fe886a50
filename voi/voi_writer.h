#pragma once

#include <cstdint>
#include <string>

#include "common/atomic_file.h"
#include "voi/voi_set.h"

namespace glomera {

// Writes the set as a .voi text file at set.fileName (CR LF line ends), replacing any file
// of that name only once the new one is complete. On any failure (the file cannot be
// created, a write or the close fails, or the set is inconsistent) it logs "Error while
// writing VOI file" to the host, leaves an earlier file untouched and returns false.
bool writeVoiFile(const VoiSet& set);

// The same file written piece by piece: the header, then each VOI as soon as it exists,
// then the end. A run that builds its VOIs one after another hands each over while its
// voxels are still in the processor's cache, instead of reading them all back from memory
// afterwards. Nothing is visible at the target until finish() succeeds; a writer dropped
// before that removes its temporary file and logs nothing.
class VoiFileWriter {
  public:
    // Creates the temporary file and writes the header of `header` (its VOIs are not
    // looked at) for a file of `voiCount` VOIs. A failure shows in finish().
    void begin(const VoiSet& header, std::int32_t voiCount);

    // Appends one VOI. An entry whose voxels are missing or whose name is unterminated, or
    // one more than begin() announced, spoils the file.
    void add(const VoiEntry& voi);

    // Writes the end and puts the file in place. False, with "Error while writing VOI
    // file" logged, then a line naming the path and the reason, and an earlier file
    // untouched, when anything failed or the VOIs added are not as many as announced.
    bool finish(std::int32_t vtcCount);

  private:
    AtomicFile out_;
    std::string path_;
    std::int32_t expected_ = 0;
    std::int32_t added_ = 0;
    bool opened_ = false;
    const char* problem_ = nullptr;  // the first way the VOIs handed over were not as announced
};

}  // namespace glomera
