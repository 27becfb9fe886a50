#pragma once

#include <string>

#include "voi/voi_reader.h"

namespace glomera {

// A whole .voi file in memory, every voxel at once, read as readVoiFile reads it; throws
// VoiReadError as it does.
VoiFileContents loadVoiFile(const std::string& path);

}  // namespace glomera
