// A host that lacks the version entry but exports a log.
extern "C" __attribute__((visibility("default"))) bool ztLogText(const char*) { return true; }
