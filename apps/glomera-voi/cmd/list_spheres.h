#pragma once

#include <string>

#include "voikit/tables/table_import.h"

// The .voi file the plug-in makes of an import's list, made with the plug-in's own sphere
// code and the header a host's TAL document of 1 mm voxels gives it, at `path`; false when a
// sphere cannot be made or the file cannot be written.
bool writeListSpheres(const voikit::ImportResult& result, const std::string& path);

// A folder of its own under the system's temporary folder, removed with what it holds.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};
