#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace voikit {

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF).
bool isValidUtf8(std::string_view text);

// Appends the code point as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

// The next code point of well-formed UTF-8 text at `at`, which moves past it.
char32_t nextCodePoint(std::string_view text, std::size_t& at);

// 8-bit text as UTF-8: valid UTF-8 stays as it is, anything else is read as Windows-1252
// (Latin-1 with the typographic marks at 0x80..0x9F), so that no byte is lost.
std::string asUtf8(std::string_view text);

// The same for each of several texts.
std::vector<std::string> utf8Texts(const std::vector<std::string>& texts);

}  // namespace voikit
