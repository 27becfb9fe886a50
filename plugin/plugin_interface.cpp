#include "plugin/plugin_interface.h"

// Defined here, out of line, so that the members and the virtual tables are emitted once
// and exported from the library.
HLZTPluginInterface::HLZTPluginInterface() = default;
HLZTPluginInterface::HLZTPluginInterface(const HLZTPluginInterface&) = default;
HLZTPluginInterface& HLZTPluginInterface::operator=(const HLZTPluginInterface&) = default;
HLZTPluginInterface::~HLZTPluginInterface() = default;

namespace static_intf {

HLZTPluginInterface::HLZTPluginInterface() = default;
HLZTPluginInterface::HLZTPluginInterface(const HLZTPluginInterface&) = default;
HLZTPluginInterface& HLZTPluginInterface::operator=(const HLZTPluginInterface&) = default;
HLZTPluginInterface::~HLZTPluginInterface() = default;

}  // namespace static_intf
