#include "voikit/io/text_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "voikit/io/error.h"

namespace voikit {

std::string readTextInput(const std::string& path) {
    std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw Error("cannot read " + path + ": " + std::strerror(errno));
    std::string bytes;
    char block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
        bytes.append(block, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int reason = errno;
    if (file != stdin) std::fclose(file);
    if (failed) throw Error("cannot read " + path + ": " + std::strerror(reason));
    return bytes;
}

}  // namespace voikit
