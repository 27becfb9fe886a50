#pragma once

#include <fmt/format.h>

#include <cstdio>
#include <iterator>
#include <utility>

namespace voikit {

// Writes text formatted by {fmt} to a C stream and, as printf did, lets a failed write go (a
// closed or full standard output): these are messages, and the host stand-in prints them
// where its entry points run and nothing may unwind into the plug-in. fmt::print would throw.
template <typename... Args>
void print(std::FILE* stream, fmt::format_string<Args...> format, Args&&... args) {
    fmt::memory_buffer text;
    fmt::format_to(std::back_inserter(text), format, std::forward<Args>(args)...);
    std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace voikit
