#include "headless-host/text_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/atomic_file.h"

namespace headless {

bool writeTextOutput(const std::string& path, const std::string& text, std::string& error) {
    if (path == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return true;
    }
    glomera::AtomicFile out;
    if (!out.open(path)) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    out.append(text.data(), text.size());
    if (!out.commit()) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace headless
