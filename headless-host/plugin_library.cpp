#include "headless-host/plugin_library.h"

#include <dlfcn.h>

namespace headless {
namespace {

template <typename Function>
bool lookUp(void* handle, const char* name, Function& function, std::string& missing) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (function == nullptr) missing += std::string(missing.empty() ? "" : ", ") + name;
    return function != nullptr;
}

}  // namespace

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

bool PluginLibrary::load(const std::string& path, std::string& error) {
    // A bare name would make dlopen search the library path instead of the folder given.
    const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot load " + path;
        return false;
    }
    std::string missing;
    lookUp(handle_, "createPlugin", create_, missing);
    lookUp(handle_, "getAuthor", getAuthor_, missing);
    lookUp(handle_, "getGUIScript", getGuiScript_, missing);
    lookUp(handle_, "getHelpFile", getHelpFile_, missing);
    lookUp(handle_, "getPluginDescription", getDescription_, missing);
    lookUp(handle_, "getPluginName", getName_, missing);
    lookUp(handle_, "getPluginVersion", getVersion_, missing);
    if (!missing.empty()) {
        error = path + " is not a plug-in: it does not export " + missing;
        return false;
    }
    return true;
}

}  // namespace headless
