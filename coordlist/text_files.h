#pragma once

#include <cstdint>

namespace glomera {

// Reads the text file at `path` into `text` (a buffer of host::kTextCapacity bytes): its
// lines joined by single line feeds, CR LF read as LF, a line holding a zero byte cut
// there. Returns the number of lines read; 0, with an empty text, when the file cannot be
// read. A file that does not fit is read up to its last whole line that fits, and the
// host's log is told so.
std::int32_t readTextFile(const char* path, char* text);

// Saves `text` at `path` with every LF written as CR LF, replacing an earlier file only
// once the new one is complete. On failure logs "Plugin>  Error while writing *.txt file."
// and returns false, leaving an earlier file untouched.
bool saveTextFile(const char* path, const char* text);

}  // namespace glomera
