#pragma once

#include <string>
#include <string_view>

namespace voikit {

// Binary data carried inside a page as text: compressed in the gzip format (which the
// viewer and the browser's DecompressionStream read), then written in base64.

// The bytes as one gzip member, at zlib's default level. Throws std::bad_alloc when zlib has
// no memory for it.
std::string gzipped(std::string_view bytes);

// Base64 with padding (RFC 4648), no line breaks.
std::string base64(std::string_view bytes);

}  // namespace voikit
