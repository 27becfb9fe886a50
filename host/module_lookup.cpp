#include "host/module_lookup.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <unistd.h>

#include <cstring>

namespace glomera::platform {
namespace {

const char* lastPathComponent(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

bool programIsNamed(const char* fileName) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return false;
    path[length] = '\0';
    return std::strcmp(lastPathComponent(path), fileName) == 0;
}

struct SharedObjectSearch {
    const char* fileName;
    void* handle;
};

int openIfNamed(struct dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<SharedObjectSearch*>(data);
    if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') return 0;
    if (std::strcmp(lastPathComponent(info->dlpi_name), search->fileName) != 0) return 0;
    search->handle = dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD);
    return search->handle != nullptr;
}

}  // namespace

void* GetModuleHandleA(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0') return nullptr;
    if (programIsNamed(fileName)) return dlopen(nullptr, RTLD_LAZY);
    SharedObjectSearch search{fileName, nullptr};
    dl_iterate_phdr(openIfNamed, &search);
    return search.handle;
}

void* GetProcAddress(void* module, const char* entryName) {
    if (module == nullptr || entryName == nullptr) return nullptr;
    return dlsym(module, entryName);
}

void releaseModuleHandle(void* module) {
    if (module != nullptr) dlclose(module);
}

}  // namespace glomera::platform
