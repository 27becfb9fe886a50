#pragma once

#include <string>

#include "voikit/tables/table_import.h"

namespace voikit {

// The .voi file the plug-in makes of an import's list, made with the plug-in's own sphere
// code and the header a host's TAL document of 1 mm voxels gives it, at `path`. Throws Error
// naming `path` when a sphere cannot be made or the file cannot be written.
void writeListVoiFile(const ImportResult& result, const std::string& path);

}  // namespace voikit
