#pragma once

#include <string>

namespace voikit {

// A summary of a .voi file for people: its header, then each VOI's name, colour and voxel
// count. Reads the file strictly in one pass without keeping its voxels; throws Error
// (naming the file) when it cannot be read or is malformed.
std::string voiInfo(const std::string& path);

}  // namespace voikit
