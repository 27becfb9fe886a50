#pragma once

#include <string>

namespace voikit {

// A folder of its own under the system's temporary folder, named `prefix` and six random
// characters, removed with all it holds when the object goes: where the toolbox writes what
// only a moment needs (the spheres a review page draws, what the Python module reads back).
class ScratchFolder {
  public:
    // Throws Error naming the temporary folder and the system's reason when none can be made.
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace voikit
