#pragma once

#include <cstdint>

#include "plugin/export.h"
#include "plugin/plugin_interface.h"

// The plug-in object the host creates with createPlugin and destroys with delete.
class GLOMERA_EXPORT Glomera : public HLZTPluginInterface {
  public:
    Glomera();
    ~Glomera() override;

    // Called by the host once per button press in the dialog: runs the command named by the
    // "Command" parameter to its end. False only when the user declines to go on with a VMR
    // not in TAL space, or when the plug-in was not started successfully (then nothing of
    // the host is called). Never throws.
    bool execute() override;

    // Called by the host once, before any execute: binds the host, checks its version and
    // that the current document is a VMR. Never throws.
    bool initPlugin() override;

  private:
    // The VMR document current at a successful start-up; negative until then.
    std::int32_t currentDocumentId;
};

namespace glomera {

// Whether the version (major, minor, revision) is at least the minimum one.
bool isVersionAtLeast(std::int32_t major, std::int32_t minor, std::int32_t revision,
                      std::int32_t minMajor, std::int32_t minMinor, std::int32_t minRevision);

}  // namespace glomera
