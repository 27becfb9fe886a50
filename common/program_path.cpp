#include "common/program_path.h"

#include <unistd.h>

#include <cstring>

namespace glomera {

bool programPath(char* buffer, std::size_t capacity) noexcept {
    if (capacity == 0) return false;
    const ssize_t length = readlink("/proc/self/exe", buffer, capacity - 1);
    if (length <= 0 || static_cast<std::size_t>(length) >= capacity - 1) {
        buffer[0] = '\0';
        return false;
    }
    buffer[length] = '\0';
    return true;
}

const char* lastPathComponent(const char* path) noexcept {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

}  // namespace glomera
