#include "glomera_versions.h"
#include "host/host_api.h"
#include "host/host_operations.h"
#include "plugin/glomera.h"

namespace glomera {

bool isVersionAtLeast(std::int32_t major, std::int32_t minor, std::int32_t revision,
                      std::int32_t minMajor, std::int32_t minMinor, std::int32_t minRevision) {
    if (major != minMajor) return major > minMajor;
    if (minor != minMinor) return minor > minMinor;
    return revision >= minRevision;
}

}  // namespace glomera

bool Glomera::initPlugin() {
    using namespace glomera::host;
    try {
        if (!bindHostApi()) return false;

        int major = 0, minor = 0, revision = 0;
        ztGetVersionOfHelmoraZT(&major, &minor, &revision);
        if (!glomera::isVersionAtLeast(major, minor, revision, GLOMERA_MINIMUM_HOST_MAJOR,
                                       GLOMERA_MINIMUM_HOST_MINOR, GLOMERA_MINIMUM_HOST_REVISION)) {
            ztMessageBox(
                "Can not execute this plugin - HelmoraZT version " GLOMERA_MINIMUM_HOST_MAJOR_MINOR
                " or higher required.");
            return false;
        }

        ztShowLogTab();
        ztLogText(" ");
        ztLogText("Plugin>  Running Glomera Plugin...");
        ztLogText("Plugin>");

        const int documentId = ztGetIDOfCurrentDocument();
        if (documentId < 0) {
            ztMessageBox("No current document available.");
            return false;
        }
        if (ztGetDocumentType(documentId) != 3) {
            ztMessageBox("The currently active document is not a VMR document.");
            return false;
        }
        currentDocumentId = documentId;
        return true;
    } catch (...) {
        return false;
    }
}
