#pragma once

#include <string>
#include <string_view>

namespace voikit {

// Text made safe for the place in an HTML page it goes to. Names come from tables and .voi
// files written by anyone, so none of them may end an element, open a tag or run a script.

// For element content and quoted attribute values: & < > " ' as character references.
std::string htmlEscaped(std::string_view text);

// JSON inside a <script> element: < > & and the line separators U+2028 and U+2029 as
// \uXXXX escapes, which JSON reads back as the same characters (they only ever stand inside
// strings). The JSON must be well-formed UTF-8.
std::string scriptJson(std::string_view json);

// Script code inlined in a <script> element: "</script" (any case) becomes "<\/script" and
// "<!--" becomes "<\!--", so that neither ends the element early nor changes how the rest
// is parsed; inside strings and regular expressions both read back as before.
std::string inlineScript(std::string_view code);

}  // namespace voikit
