#include "tests/in_process_host.h"

#include <dlfcn.h>

#include "host/host_api.h"

namespace {

std::string hostPath(const std::string& folder) {
    const char* fileName = folder == "plain" ? "Helmora.exe" : "HelmoraZT.exe";

    return std::string(TEST_HOSTS_DIR) + "/" + folder + "/" + fileName;
}

}  // namespace

void clearHostTable() { glomera::host::hostApi() = glomera::host::HostApi{}; }

InProcessHost::InProcessHost(const std::string& folder) {
    clearHostTable();
    handle_ = dlopen(hostPath(folder).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return;
    using Access = headless::HostSession* (*)();
    if (auto access = reinterpret_cast<Access>(dlsym(handle_, "testHostSession"))) {
        session_ = access();
        *session_ = headless::HostSession{};
        session_->log = nullptr;
        session_->messages = nullptr;
        session_->dialogs = nullptr;
        session_->keepLog = true;
    }
}

InProcessHost::~InProcessHost() {
    clearHostTable();
    if (handle_ != nullptr) dlclose(handle_);
}
