#pragma once

namespace glomera::platform {

// Stand-ins for the Windows module calls. A module is "loaded under the name N" when N is
// the last path component of the running program or of a shared object already loaded
// into the process; the program is checked first. Nothing is ever loaded by these calls.

// The handle of the module loaded under `fileName`, or null. A non-null handle holds a
// reference that releaseModuleHandle gives back; the module itself stays loaded.
void* GetModuleHandleA(const char* fileName);

// The address the module exports under `entryName`, or null.
void* GetProcAddress(void* module, const char* entryName);

void releaseModuleHandle(void* module);

}  // namespace glomera::platform
