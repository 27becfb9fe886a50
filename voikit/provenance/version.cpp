#include "voikit/provenance/version.h"

// Written at build time by cmake/BuildCommit.cmake, and rewritten only when the commit
// changes: a new commit recompiles this file alone.
#include "glomera_build.h"

namespace voikit {

const char* glomeraVersion() { return GLOMERA_VERSION; }

const char* buildCommit() { return GLOMERA_COMMIT; }

bool builtWithLocalChanges() { return GLOMERA_LOCAL_CHANGES != 0; }

std::string versionText(const std::string& program) {
    std::string text = program + " (Glomera) " + glomeraVersion() + "\n";
    if (*buildCommit() != '\0') {
        text += std::string("built from commit ") + buildCommit() +
                (builtWithLocalChanges() ? ", with changes not yet committed" : "") + "\n";
    }
    return text;
}

}  // namespace voikit
