#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace voikit {

// What the review page shows of one import: the table as pasted and what became of each of
// its lines, so that a reader sees what was taken for what before trusting a sphere.

// A stretch of a line that the import took, by what it took it for: "x", "y", "z", "name",
// "radius", "side", "space", "count", "statistic" or "ignored" (a number no role took).
struct ReviewCell {
    std::size_t begin = 0;  // bytes [begin, end) of the line's text
    std::size_t end = 0;
    std::string role;
};

// What became of one line: a VOI, a drop with its reason, a line set aside, ...
struct ReviewFate {
    std::string kind;     // "VOI", "dropped", "set aside", "header", "empty", "comment", ...
    int voi = 0;          // the VOI's number for "VOI"
    std::string account;  // the import's account of the line
};

struct ReviewLine {
    int number = 0;    // from 1
    std::string text;  // as pasted, UTF-8
    std::vector<ReviewCell> cells;
    std::vector<ReviewFate> fates;  // one per peak on a line with several
};

// One sphere the import made.
struct ReviewVoi {
    int number = 0;
    std::string name;
    int colour[3] = {};
    double tal[3] = {};
    double radius = 0;
    std::string written;  // the coordinates as the table gives them: "MNI -44 18 4"
};

struct ReviewContents {
    std::string table;                   // the file, as named on the command line
    std::string summary;                 // "6 VOIs from 12 lines; 1 of 7 peaks dropped"
    std::string encoding;                // "UTF-8", ...
    std::string reading;                 // the reading that won: "SPM results table", "table", ...
    std::string choice;                  // why it won, when the import says
    std::vector<std::string> proposals;  // the readings that competed, when the import says
    std::string space;                   // how the space was decided, in one line
    std::vector<std::string> notes;
    std::vector<std::string> warnings;
    std::vector<ReviewLine> lines;
    std::vector<ReviewVoi> vois;
};

// The review as a part of a page (its own style included): the reading that won and why, the
// space, the spheres, and the table line by line with every taken cell marked by its role and
// each line's fate in the margin. Every text from the table is escaped; a cell whose bytes
// do not fall on the line's characters is left unmarked rather than cut.
std::string reviewSection(const ReviewContents& review);

// A page of the review alone, for an import that made no sphere to draw.
std::string reviewPage(const ReviewContents& review);

}  // namespace voikit
