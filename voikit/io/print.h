#pragma once

#include <fmt/format.h>

#include <cstdio>
#include <iterator>
#include <utility>

namespace voikit {

// Writes text formatted by {fmt} to a C stream and, as printf, lets a failed write go (a
// closed or full standard output): these are messages, printed also where the host's entry
// points run and nothing may unwind into the plug-in, and in the handlers of main. fmt::print
// would throw instead.
template <typename... Args>
void print(std::FILE* stream, fmt::format_string<Args...> format, Args&&... args) {
    fmt::memory_buffer text;
    fmt::format_to(std::back_inserter(text), format, std::forward<Args>(args)...);
    std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace voikit
