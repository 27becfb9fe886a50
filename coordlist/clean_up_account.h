#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "coordlist/clean_up_text.h"

namespace glomera {

// What the clean-up does with each line of a list, told line by line: the same rules as
// cleanUpText, for programs that must say which lines were dropped and why.
struct CleanUpAccount {
    struct Line {
        int number = 0;            // from 1
        bool kept = false;         // becomes a VOI
        bool coordinates = false;  // begins with a number: meant as a VOI definition
        std::string account;       // what it became, or why it was dropped
    };
    std::vector<Line> lines;
    int kept = 0;
    int dropped = 0;  // lines with coordinates that were not kept
};

CleanUpAccount accountForCleanUp(std::string_view text);

// How an account names a VOI made from a list line: "VOI 3 IPS_L at TAL -40.5 -60.0 42.0,
// radius 8.0 mm, colour 0 128 255".
std::string describeListVoi(int index, const VoiLineValues& values);

}  // namespace glomera
