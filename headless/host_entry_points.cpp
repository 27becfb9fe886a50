// The entry points a host exports for its plug-ins, played by the headless host. Each reads
// or writes the process's HostSession. Strings the plug-in receives never exceed its
// buffer sizes, and nothing thrown here may unwind into the plug-in.
#include <cstring>
#include <string>

#include "headless/host_session.h"
#include "host/host_operations.h"

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void copyBounded(const std::string& value, char* buffer, std::size_t capacity) {
    const std::size_t length = value.size() < capacity ? value.size() : capacity - 1;
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
}

void answerFileDialog(std::deque<std::string>& answers, const char* title, char* path) {
    copyBounded(headless::session().nextAnswer(answers, title), path, glomera::host::kPathCapacity);
}

}  // namespace

HOST_EXPORT bool ztGetVersionOfHelmoraZT(int* major, int* minor, int* revision) {
    const auto& s = headless::session();
    *major = s.version[0];
    *minor = s.version[1];
    *revision = s.version[2];
    return true;
}

HOST_EXPORT bool ztShowLogTab() {
    ++headless::session().logTabShows;
    return true;
}

HOST_EXPORT bool ztLogText(const char* text) {
    headless::session().logLine(text);
    return true;
}

HOST_EXPORT bool ztMessageBox(const char* text) {
    headless::session().messageBox(text);
    return true;
}

HOST_EXPORT int ztYesNoMessageBox(const char* question) {
    return headless::session().askYesNo(question);
}

HOST_EXPORT int ztGetIDOfCurrentDocument() { return headless::session().documentId; }

HOST_EXPORT int ztGetDocumentType(int documentId) {
    const auto& s = headless::session();
    return documentId == s.documentId ? s.documentType : -1;
}

HOST_EXPORT bool ztGetMainHeaderOfCurrentVMR(void* record) {
    glomera::host::VmrMainHeader header;
    headless::session().header.fill(header);
    std::memcpy(record, header.bytes, sizeof header.bytes);
    return true;
}

HOST_EXPORT bool ztGetStringParameter(const char* name, char* buffer) {
    copyBounded(headless::session().parameter(name), buffer, headless::parameterCapacity(name));
    return true;
}

HOST_EXPORT bool ztSetStringParameter(const char* name, const char* value) {
    headless::session().parameters[name] = value;
    return true;
}

HOST_EXPORT int ztGetIntParameter(const char* name) {
    return headless::session().intParameter(name);
}

HOST_EXPORT float ztGetFloatParameter(const char* name) {
    return headless::session().floatParameter(name);
}

HOST_EXPORT bool ztGetOpenFileName(const char* title, const char*, const char*, char* path) {
    answerFileDialog(headless::session().openFileAnswers, title, path);
    return path[0] != '\0';
}

HOST_EXPORT bool ztGetSaveFileName(const char* title, const char*, const char*, char* path) {
    answerFileDialog(headless::session().saveFileAnswers, title, path);
    return path[0] != '\0';
}

HOST_EXPORT bool ztLoadVOIs(const char* path) {
    auto& s = headless::session();
    const int failedBefore = s.failedLoads;
    s.loadVois(path);
    return s.failedLoads == failedBefore;
}
