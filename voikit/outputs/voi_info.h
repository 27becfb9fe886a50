#pragma once

#include <string>

#include "voikit/io/log.h"

namespace voikit {

// A summary of a .voi file for people: its header, then each VOI's name, colour and voxel
// count. Reads the file in one pass without keeping its voxels, as readToolboxVoiFile does
// (`log` hears of LF line ends); throws Error (naming the file) when it cannot be read or is
// malformed.
std::string voiInfo(const std::string& path, const Log& log);

}  // namespace voikit
