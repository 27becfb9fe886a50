// A host that exports nothing but its version.
extern "C" __attribute__((visibility("default"))) bool ztGetVersionOfHelmoraZT(int* major,
                                                                               int* minor,
                                                                               int* revision) {
    *major = 2;
    *minor = 2;
    *revision = 0;
    return true;
}
