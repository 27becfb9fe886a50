#pragma once

#include <string>

#include "voi/voi_reader.h"
#include "voikit/io/log.h"

namespace voikit {

// Reads a .voi file for the toolbox: as strictly as the host, except that lines ending with
// LF alone are taken too, since such files come from editing on Linux; `log` warns of them,
// as the host would refuse the file. Throws Error naming the file when it cannot be read or
// breaks the format.
void readToolboxVoiFile(const std::string& path, glomera::VoiFileVisitor& visitor, const Log& log);

}  // namespace voikit
