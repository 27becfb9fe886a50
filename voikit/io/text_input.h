#pragma once

#include <string>

namespace voikit {

// The whole of a file as bytes; "-" reads standard input. Throws Error, naming the file and
// the system's reason, when it cannot be read.
std::string readTextInput(const std::string& path);

}  // namespace voikit
