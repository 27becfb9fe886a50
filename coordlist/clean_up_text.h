#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "coordlist/coordinate_box.h"
#include "coordlist/stream_fields.h"

namespace glomera {

// What the clean-up makes of one line of a list, and why.
struct ListLineJudgement {
    enum Verdict {
        kKept,
        kEmpty,           // nothing but blanks and delimiters
        kIncomplete,      // fewer than the eight fields could be read
        kNameTooLong,     // the name has more than 255 characters
        kOutsideBox,      // the centre lies outside the accepted box
        kBlueOutOfRange,  // the blue component lies outside 0..500
    };
    Verdict verdict = kEmpty;
    VoiLineValues values;  // as read; radius and colours clamped when kept
    int axis = -1;         // kOutsideBox: the first axis (0 x, 1 y, 2 z) outside the box
};

// Judges one line by the clean-up's rules: the delimiters become blanks, the eight fields
// are read, and the line is kept when it is complete and inside the box.
ListLineJudgement judgeListLine(std::string_view line);

// Why a verdict drops a line, for people: "fewer than eight fields", "x = 80.0 lies outside
// -68..68", ...; empty for a kept line.
std::string dropReason(const ListLineJudgement& judgement);

struct CleanUpOutcome {
    std::int32_t lines = 0;  // lines kept
    bool cut = false;        // valid lines were left out because the text would not fit
};

// Keeps the lines of a coordinate list that hold a complete VOI definition inside the box
// (after turning , ; : " ' into blanks), clamps radius and colours, and rewrites each kept
// line in one aligned column layout. `text` is a buffer of kTextCapacity bytes; on
// return it holds the kept lines joined by line feeds, at most kTextCapacity - 1
// characters: lines that would not fit are left out and the outcome says so.
std::int32_t cleanUpText(char* text, CleanUpOutcome* outcome = nullptr);

// The cleaned line for a kept line's values (already clamped).
std::string formatCleanedLine(const VoiLineValues& values);

}  // namespace glomera
