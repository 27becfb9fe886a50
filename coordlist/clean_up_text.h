#pragma once

#include <cstdint>
#include <string>

#include "coordlist/coordinate_box.h"
#include "coordlist/stream_fields.h"

namespace glomera {

struct CleanUpOutcome {
    std::int32_t lines = 0;  // lines kept
    bool cut = false;        // valid lines were left out because the text would not fit
};

// Keeps the lines of a coordinate list that hold a complete VOI definition inside the box
// (after turning , ; : " ' into blanks), clamps radius and colours, and rewrites each kept
// line in one aligned column layout. `text` is a buffer of host::kTextCapacity bytes; on
// return it holds the kept lines joined by line feeds, at most kTextCapacity - 1
// characters: lines that would not fit are left out and the outcome says so.
std::int32_t cleanUpText(char* text, CleanUpOutcome* outcome = nullptr);

// The cleaned line for a kept line's values (already clamped).
std::string formatCleanedLine(const VoiLineValues& values);

}  // namespace glomera
