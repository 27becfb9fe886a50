#pragma once

#include "plugin/export.h"

// The interface through which the host drives a plug-in. Virtual table slots: the
// destructor (complete and deleting), execute, initPlugin. The host destroys objects with
// delete.
class GLOMERA_EXPORT HLZTPluginInterface {
  public:
    HLZTPluginInterface();
    HLZTPluginInterface(const HLZTPluginInterface&);
    HLZTPluginInterface& operator=(const HLZTPluginInterface&);
    virtual ~HLZTPluginInterface();
    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;
};

namespace static_intf {

// A second declaration of the same interface, exported for hosts that link against it.
class GLOMERA_EXPORT HLZTPluginInterface {
  public:
    HLZTPluginInterface();
    HLZTPluginInterface(const HLZTPluginInterface&);
    HLZTPluginInterface& operator=(const HLZTPluginInterface&);
    virtual ~HLZTPluginInterface();
    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;
};

}  // namespace static_intf
