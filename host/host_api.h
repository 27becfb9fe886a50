#pragma once

#include "host/host_entry_names.h"

namespace glomera::host {

// An entry of the host table. Each is cast to its own signature where it is called.
using HostFunction = void (*)();

// The process-wide table of host entry points, shared by every plug-in object. All null
// until the first successful binding.
struct HostApi {
    HostFunction entries[kHostEntryCount];
};

HostApi& hostApi();

// Finds the host among the modules already loaded ("HelmoraZT.exe", then "Helmora.exe")
// and looks up all entry points, storing each address or null. False when no host module
// is loaded (the table is left as it was) or when it lacks the version entry (which is
// then null; the other entries keep what they held).
bool bindHostApi();

// Whether a used entry is bound to a host function.
inline bool isBound(HostEntry entry) { return hostApi().entries[entry] != nullptr; }

}  // namespace glomera::host
