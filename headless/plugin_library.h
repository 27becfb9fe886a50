#pragma once

#include <stdexcept>
#include <string>

// The plug-in interface as a host declares it. The host links none of the plug-in's code, so
// it cannot take the plug-in's own declaration, whose members and type information live in
// the plug-in library; the layout is the same, slot for slot.
class HLZTPluginInterface {
  public:
    virtual ~HLZTPluginInterface() {}
    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;
};

namespace headless {

// A plug-in library that cannot be loaded or is no plug-in.
class PluginLoadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A plug-in library loaded by path, with its seven plain exports looked up.
class PluginLibrary {
  public:
    // Loads the library and checks that it exports all seven entry points; throws
    // PluginLoadError, saying why, otherwise.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    std::string name() const { return text(getName_); }
    std::string version() const { return text(getVersion_); }
    std::string description() const { return text(getDescription_); }
    std::string author() const { return text(getAuthor_); }
    std::string helpFile() const { return text(getHelpFile_); }
    std::string guiScript() const { return text(getGuiScript_); }

    // A new plug-in object, owned by the caller, who deletes it; null on failure.
    HLZTPluginInterface* create() const { return create_(); }

  private:
    using Getter = const char* (*)();
    static std::string text(Getter getter) {
        const char* value = getter ? getter() : nullptr;
        return value ? value : "";
    }

    void* handle_ = nullptr;
    HLZTPluginInterface* (*create_)() = nullptr;
    Getter getAuthor_ = nullptr;
    Getter getGuiScript_ = nullptr;
    Getter getHelpFile_ = nullptr;
    Getter getDescription_ = nullptr;
    Getter getName_ = nullptr;
    Getter getVersion_ = nullptr;
};

}  // namespace headless
