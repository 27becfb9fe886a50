#include "voikit/page/embedded_files.h"

// Defined by the source that embed_files.cmake writes into the build tree.
#define GLOMERA_EMBEDDED(name)                       \
    extern "C" const char glomera_embedded_##name[]; \
    extern "C" const char glomera_embedded_##name##_end[];
GLOMERA_EMBEDDED(niivue)
GLOMERA_EMBEDDED(niivue_licence)
GLOMERA_EMBEDDED(script)
GLOMERA_EMBEDDED(style)
#undef GLOMERA_EMBEDDED

namespace voikit {
namespace {

std::string_view between(const char* begin, const char* end) {
    return {begin, static_cast<std::size_t>(end - begin)};
}

}  // namespace

const EmbeddedFiles& embeddedFiles() {
    static const EmbeddedFiles files{
        between(glomera_embedded_niivue, glomera_embedded_niivue_end),
        GLOMERA_NIIVUE_VERSION,
        between(glomera_embedded_niivue_licence, glomera_embedded_niivue_licence_end),
        between(glomera_embedded_script, glomera_embedded_script_end),
        between(glomera_embedded_style, glomera_embedded_style_end),
    };
    return files;
}

}  // namespace voikit
