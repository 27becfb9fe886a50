#pragma once

#include <string_view>

namespace voikit {

// The files the interactive page is made of, built into the program so that it makes pages
// wherever it is copied: the viewer's single-file build with its version and licence, and
// the page's own script and style.
struct EmbeddedFiles {
    std::string_view niivue;
    std::string_view niivueVersion;
    std::string_view niivueLicence;
    std::string_view script;
    std::string_view style;
};
const EmbeddedFiles& embeddedFiles();

}  // namespace voikit
