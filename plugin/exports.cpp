#include <new>

#include "glomera_versions.h"
#include "plugin/export.h"
#include "plugin/glomera.h"

// The plain exports through which the host learns what the plug-in is and creates it. Each
// string lives as long as the library, and every call returns the same pointer.
namespace {

const char* author = "<i>KW</i>";
const char* guiScript = "Glomera.js";
const char* helpFile = "HelpFolder/index.html";
const char* description = "Creates Spherical VOIs";
const char* name = "Glomera";
const char* version = GLOMERA_PLUGIN_VERSION;

}  // namespace

extern "C" {

// A new plug-in object for the host, which owns it and destroys it with delete; null when
// memory runs out.
GLOMERA_EXPORT HLZTPluginInterface* createPlugin() { return new (std::nothrow) Glomera(); }

GLOMERA_EXPORT const char* getAuthor() { return author; }
GLOMERA_EXPORT const char* getGUIScript() { return guiScript; }
GLOMERA_EXPORT const char* getHelpFile() { return helpFile; }
GLOMERA_EXPORT const char* getPluginDescription() { return description; }
GLOMERA_EXPORT const char* getPluginName() { return name; }
GLOMERA_EXPORT const char* getPluginVersion() { return version; }
}
