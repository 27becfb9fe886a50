#include "voikit/page/html_text.h"

#include <cctype>

namespace voikit {

std::string htmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string scriptJson(std::string_view json) {
    // U+2028 and U+2029 in UTF-8.
    constexpr std::string_view kLineSeparator = "\xE2\x80\xA8",
                               kParagraphSeparator = "\xE2\x80\xA9";
    std::string out;
    out.reserve(json.size());
    for (std::size_t at = 0; at < json.size(); ++at) {
        const std::string_view rest = json.substr(at);
        if (rest.substr(0, 3) == kLineSeparator || rest.substr(0, 3) == kParagraphSeparator) {
            out += rest[2] == '\xA8' ? "\\u2028" : "\\u2029";
            at += 2;
            continue;
        }
        switch (json[at]) {
            case '<':
                out += "\\u003c";
                break;
            case '>':
                out += "\\u003e";
                break;
            case '&':
                out += "\\u0026";
                break;
            default:
                out += json[at];
        }
    }
    return out;
}

std::string inlineScript(std::string_view code) {
    constexpr std::string_view kEnd = "</script", kComment = "<!--";
    std::string out;
    out.reserve(code.size());
    for (std::size_t at = 0; at < code.size(); ++at) {
        const std::string_view rest = code.substr(at);
        bool end = rest.size() >= kEnd.size();
        for (std::size_t i = 0; end && i < kEnd.size(); ++i) {
            end = std::tolower(static_cast<unsigned char>(rest[i])) == kEnd[i];
        }
        if (end || rest.substr(0, kComment.size()) == kComment) {
            out += '<';
            out += '\\';
            continue;
        }
        out += code[at];
    }
    return out;
}

}  // namespace voikit
