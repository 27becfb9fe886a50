#include "common/format_line.h"

#include <cstdarg>
#include <cstdio>

#include "common/classic_locale.h"

namespace glomera {

std::string formatLine(const char* format, ...) {
    ClassicLocaleScope classic;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string line;
    if (length > 0) {
        line.resize(static_cast<std::size_t>(length));
        std::vsnprintf(line.data(), line.size() + 1, format, again);
    }
    va_end(again);
    return line;
}

}  // namespace glomera
