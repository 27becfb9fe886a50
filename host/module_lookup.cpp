#include "host/module_lookup.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>

#include <cstring>

#include "common/program_path.h"

namespace glomera::platform {
namespace {

bool programIsNamed(const char* fileName) {
    char path[PATH_MAX];
    return programPath(path, sizeof path) && std::strcmp(lastPathComponent(path), fileName) == 0;
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
