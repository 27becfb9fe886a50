#pragma once

#include "common/buffer_capacities.h"
#include "host/vmr_main_header.h"

namespace glomera::host {

using glomera::kCommandCapacity;
using glomera::kPathCapacity;
using glomera::kStringParameterCapacity;
using glomera::kTextCapacity;

// The host operations the plug-in calls. Each forwards to the bound host entry with the
// caller's arguments and returns its result. An entry the host does not export is never
// called: the operation does nothing and gives a neutral result instead (no document, a
// "No" answer, zero, an empty string, a cancelled dialog), as documented per operation.

// Writes major, minor and revision; all three are left untouched when unbound.
void ztGetVersionOfHelmoraZT(int* major, int* minor, int* revision);
void ztShowLogTab();
void ztLogText(const char* text);
void ztMessageBox(const char* text);
// 0 (No) when unbound.
int ztYesNoMessageBox(const char* question);
// -1 (no document) when unbound.
int ztGetIDOfCurrentDocument();
// -1 (not a VMR) when unbound.
int ztGetDocumentType(int documentId);
// Leaves the header untouched when unbound; the result tells whether the host was asked.
bool ztGetMainHeaderOfCurrentVMR(VmrMainHeader* header);
// The empty string when unbound.
void ztGetStringParameter(const char* name, char* buffer);
void ztSetStringParameter(const char* name, const char* value);
// 0 when unbound.
int ztGetIntParameter(const char* name);
// 0 when unbound.
float ztGetFloatParameter(const char* name);
// An empty path (a cancelled dialog) when unbound.
void ztGetOpenFileName(const char* title, const char* initial, const char* filter, char* path);
void ztGetSaveFileName(const char* title, const char* initial, const char* filter, char* path);
void ztLoadVOIs(const char* path);

}  // namespace glomera::host
