#pragma once

#include <optional>
#include <string>
#include <vector>

#include "voikit/space/coordinate_space.h"
#include "voikit/tables/text/cells.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {

// What a column of a table holds. kXyz: a cell that holds x, y and z together.
enum class Column { kText, kX, kY, kZ, kXyz, kRadius, kRed, kGreen, kBlue, kColour, kOther };

// The columns that hold one peak's x, y and z (the same column for kXyz).
struct Triple {
    int x = -1, y = -1, z = -1;
    std::optional<Space> space;  // named by a heading over the group or in its cells
    std::string spaceHeading;    // that heading as written
    std::string label;           // another heading over the group ("Left", "Study 2")
    // False for a group the headings say is no peak: a centre of gravity, a centroid, a
    // centre of mass, a cluster's extent.
    bool peak = true;
    std::string notPeak;  // the heading that says so
};

// A header row: the columns it names, in order, and its groups of x, y and z.
struct ColumnHeader {
    Delimiter delimiter = Delimiter::kBlanks;
    std::vector<Column> columns;
    std::vector<std::string> labels;  // each column's heading as written
    std::vector<Triple> triples;
    bool groupLine = false;    // the line above headed its groups
    int side = -1;             // the column of sides (L, R, left, right), if any
    int space = -1;            // the column that gives each row's space, if any
    std::vector<bool> counts;  // per column: one of counts (k, voxels, cluster size)
    // Headings of number columns (BA, cluster size, T) that the line above names before its
    // coordinates while this header names none before x: which of a longer row's numbers
    // are x, y and z it does not say. Empty when the line above names none.
    std::string namedBefore;

    // How many numbers a column takes in a row.
    static int width(Column column) {
        return column == Column::kColour || column == Column::kXyz ? 3 : 1;
    }
};

// The header that `line` is, if it names the columns x, y and z (in this order, perhaps more
// than one group of them) and holds no numbers but one or two in brackets ("T (df = 23)"). `above`,
// the line right above it if any, heads groups of its columns when it holds nothing but such
// headings (spaces, sides, "coordinates", names of columns the header leaves empty).
std::optional<ColumnHeader> readColumnHeader(const std::string& line, const std::string* above);

// Whether a line's words are a sentence's ("as", "were", "table", ...) rather than headings'.
bool readsAsSentence(const Tokens& tokens);

// "columns: name, name, x, y, z, ignored (tab-separated)"
std::string describeHeader(const ColumnHeader& header);

}  // namespace voikit
