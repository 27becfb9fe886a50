#include "host/host_api.h"

#include "host/module_lookup.h"

namespace glomera::host {
namespace {

constexpr const char* kHostModuleNames[] = {"HelmoraZT.exe", "Helmora.exe"};

HostFunction lookUp(void* module, const char* name) {
    return reinterpret_cast<HostFunction>(platform::GetProcAddress(module, name));
}

}  // namespace

HostApi& hostApi() {
    static HostApi table{};
    return table;
}

bool bindHostApi() {
    void* module = nullptr;
    for (const char* name : kHostModuleNames) {
        module = platform::GetModuleHandleA(name);
        if (module != nullptr) break;
    }
    if (module == nullptr) return false;

    HostApi& table = hostApi();
    table.entries[kGetVersion] = lookUp(module, kHostEntryNames[kGetVersion]);
    const bool bound = table.entries[kGetVersion] != nullptr;
    if (bound) {
        for (int i = 1; i < kHostEntryCount; ++i) {
            table.entries[i] = lookUp(module, kHostEntryNames[i]);
        }
    }
    // The module stays loaded; only the reference taken for the lookup is given back.
    platform::releaseModuleHandle(module);
    return bound;
}

}  // namespace glomera::host
