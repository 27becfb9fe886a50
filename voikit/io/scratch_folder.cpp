#include "voikit/io/scratch_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "voikit/io/error.h"

namespace voikit {

ScratchFolder::ScratchFolder(const std::string& prefix) {
    std::error_code error;
    std::string base = std::filesystem::temp_directory_path(error).string();
    if (error) base = "/tmp";
    std::string pattern = base + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        throw Error(base, std::string("cannot make a temporary folder: ") + std::strerror(errno));
    }
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace voikit
