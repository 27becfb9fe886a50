#pragma once

#include <string>

namespace headless {

// Writes text to a file, whole or not at all; "-" writes it to standard output. False, with
// `error` naming the file and the system's reason, on failure.
bool writeTextOutput(const std::string& path, const std::string& text, std::string& error);

}  // namespace headless
