#pragma once

#include <string>

#include "voikit/provenance/input_space.h"
#include "voikit/tables/table_import.h"

namespace voikit {

// The .voi file the plug-in makes of an import's list, made with the plug-in's own sphere
// code and the header a host's TAL document of 1 mm voxels gives it, at `path`. Throws Error
// naming `path` when a sphere cannot be made or the file cannot be written.
void writeListVoiFile(const ImportResult& result, const std::string& path);

// What the list of an import was made from, for the record beside its .voi file: each
// sphere's centre as written and in which space, the transform, and every dropped peak with
// its name as the table writes it and why; `source` is the table with its checksum.
InputSpaceRecord listInputSpace(const ImportResult& result, MniToTal transform,
                                std::optional<InputFile> source);

}  // namespace voikit
