#pragma once

#include <string>

namespace voikit {

// Writes text to a file, whole or not at all; "-" writes it to standard output. Throws
// Error, naming the file and the system's reason, on failure.
void writeTextOutput(const std::string& path, const std::string& text);

}  // namespace voikit
