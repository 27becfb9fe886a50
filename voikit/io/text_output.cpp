#include "voikit/io/text_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/atomic_file.h"
#include "voikit/io/error.h"

namespace voikit {

void writeTextOutput(const std::string& path, const std::string& text) {
    if (path == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return;
    }
    glomera::AtomicFile out;
    if (!out.open(path)) throw Error("cannot create " + path + ": " + std::strerror(errno));
    out.append(text.data(), text.size());
    if (!out.commit()) throw Error(path, std::string("cannot write: ") + std::strerror(errno));
}

}  // namespace voikit
