#include "host/host_operations.h"

#include "host/host_api.h"

namespace glomera::host {
namespace {

// The bound entry with its real signature, or null.
template <typename Signature>
Signature* entry(HostEntry which) {
    return reinterpret_cast<Signature*>(hostApi().entries[which]);
}

}  // namespace

void ztGetVersionOfHelmoraZT(int* major, int* minor, int* revision) {
    if (auto* call = entry<bool(int*, int*, int*)>(kGetVersion)) call(major, minor, revision);
}

void ztShowLogTab() {
    if (auto* call = entry<bool()>(kShowLogTab)) call();
}

void ztLogText(const char* text) {
    if (auto* call = entry<bool(const char*)>(kLogText)) call(text);
}

void ztMessageBox(const char* text) {
    if (auto* call = entry<bool(const char*)>(kMessageBox)) call(text);
}

int ztYesNoMessageBox(const char* question) {
    auto* call = entry<int(const char*)>(kYesNoMessageBox);
    return call ? call(question) : 0;
}

int ztGetIDOfCurrentDocument() {
    auto* call = entry<int()>(kGetIdOfCurrentDocument);
    return call ? call() : -1;
}

int ztGetDocumentType(int documentId) {
    auto* call = entry<int(int)>(kGetDocumentType);
    return call ? call(documentId) : -1;
}

bool ztGetMainHeaderOfCurrentVMR(VmrMainHeader* header) {
    auto* call = entry<bool(void*)>(kGetMainHeaderOfCurrentVmr);
    if (call == nullptr) return false;
    call(header->bytes);
    return true;
}

void ztGetStringParameter(const char* name, char* buffer) {
    buffer[0] = '\0';
    if (auto* call = entry<bool(const char*, char*)>(kGetStringParameter)) call(name, buffer);
}

void ztSetStringParameter(const char* name, const char* value) {
    if (auto* call = entry<bool(const char*, const char*)>(kSetStringParameter)) call(name, value);
}

int ztGetIntParameter(const char* name) {
    auto* call = entry<int(const char*)>(kGetIntParameter);
    return call ? call(name) : 0;
}

float ztGetFloatParameter(const char* name) {
    auto* call = entry<float(const char*)>(kGetFloatParameter);
    return call ? call(name) : 0.0f;
}

void ztGetOpenFileName(const char* title, const char* initial, const char* filter, char* path) {
    path[0] = '\0';
    using Dialog = bool(const char*, const char*, const char*, char*);
    if (auto* call = entry<Dialog>(kGetOpenFileName)) call(title, initial, filter, path);
}

void ztGetSaveFileName(const char* title, const char* initial, const char* filter, char* path) {
    path[0] = '\0';
    using Dialog = bool(const char*, const char*, const char*, char*);
    if (auto* call = entry<Dialog>(kGetSaveFileName)) call(title, initial, filter, path);
}

void ztLoadVOIs(const char* path) {
    if (auto* call = entry<bool(const char*)>(kLoadVois)) call(path);
}

}  // namespace glomera::host
