#pragma once

#include <cstddef>

namespace glomera {

// The running program's file path, from /proc/self/exe, into `buffer` of `capacity` bytes.
// False, with an empty buffer, when it cannot be read or does not fit. Allocates nothing
// and throws nothing, so that the plug-in may call it too.
bool programPath(char* buffer, std::size_t capacity) noexcept;

// The file name part of a path: what follows its last slash.
const char* lastPathComponent(const char* path) noexcept;

}  // namespace glomera
