#include "headless/plugin_library.h"

#include <dlfcn.h>

namespace headless {
namespace {

template <typename Function>
void lookUp(void* handle, const char* name, Function& function, std::string& missing) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (function == nullptr) missing += std::string(missing.empty() ? "" : ", ") + name;
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) {
    // A bare name would make dlopen search the library path instead of the folder given.
    const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        throw PluginLoadError(reason ? reason : "cannot load " + path);
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
        dlclose(handle_);
        throw PluginLoadError(path + " is not a plug-in: it does not export " + missing);
    }
}

PluginLibrary::~PluginLibrary() { dlclose(handle_); }

}  // namespace headless
