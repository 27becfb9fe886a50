#pragma once

#include <string>

namespace glomera {

// printf-style formatting into a string of whatever length the result needs, so that no
// line is ever cut. Numbers are written in the classic "C" locale. Throws std::bad_alloc
// when memory runs out; callers at the library boundary catch it.
std::string formatLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace glomera
