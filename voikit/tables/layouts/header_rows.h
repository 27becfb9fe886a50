#pragma once

#include <optional>
#include <string>
#include <vector>

#include "voikit/tables/layouts/column_header.h"
#include "voikit/tables/layouts/table_reading.h"

namespace voikit {

// The run of numbers that holds a row's coordinates when its cells are split at blanks: the
// first run of at least three numbers within one bracket group.
struct NumberRun {
    std::size_t start = 0;
    std::size_t length = 0;
};

// Reads the rows under a header by its columns, never by guesswork: a row whose cells do not
// say which number stands in which column is refused with the reason.
class HeaderRows {
  public:
    // `rows`: the lines under the header, so that a column the header leaves unlabelled at the
    // end of every row is seen as one.
    HeaderRows(ColumnHeader header, const std::vector<std::string>& rows);

    const ColumnHeader& header() const { return header_; }
    // A note for the header's account: how the rows' numbers stand against its columns.
    const std::string& note() const { return note_; }

    ReadLine read(const std::string& line) const;

  private:
    // The numbers after the names, for rows split at blanks.
    struct Segment {
        int first = 0;   // the column where the numbers start
        int slots = 0;   // how many numbers the columns from `first` take
        int before = 0;  // how many of them stand before the first x
        int after = 0;   // how many stand after the last z
    };

    // A count written with a blank between its thousands ("1 842", as PDF copies leave a thin
    // space) in a row split at blanks with one number more than the header's columns: the
    // index in the run of the count's first part, when it is the only pair of numbers that
    // joins into a count column's number and no other reading of the row could place x, y
    // and z elsewhere; nothing otherwise.
    std::optional<std::size_t> blankThousands(const std::vector<Token>& tokens,
                                              const NumberRun& run) const;
    ReadLine readCells(const std::string& line) const;
    ReadLine readWords(const std::string& line) const;
    // The row's number for a column, as an index into its run of numbers; -1 when the row
    // has none there.
    int runIndex(int column, int base, int length) const;
    // Whether every column of numbers before the first x holds whole numbers (counts, BA).
    bool wholeBeforeX() const;
    // The peaks of a row from what each group of x, y, z gave, or why it gave none.
    void addPeaks(const std::string& line, const Peak& shared,
                  const std::vector<std::optional<Writing>>& groups,
                  const std::vector<std::string>& refused, ReadLine& read) const;

    // What a row's side and space cells say of its peaks: the space of groups the headings
    // leave without one; a left side makes an unsigned x negative, and a side the signed x
    // contradicts is a warning.
    void applySideAndSpace(const std::string& side, const std::string& space,
                           std::vector<std::optional<Writing>>& groups,
                           std::vector<std::string>& refused, ReadLine& read) const;

    ColumnHeader header_;
    // No x in the table is negative: its x column gives the distance from the midline, and
    // the side column the side.
    bool unsignedX_ = false;
    bool deciding_ = false;  // reading the rows to see whether x is unsigned
    Segment segment_;
    std::optional<int>
        unlabelled_;  // numbers at the end of every row that the header leaves unlabelled
    std::string note_;
};

// The first run of at least three numbers within one bracket group, see NumberRun.
std::optional<NumberRun> coordinateRun(const std::vector<Token>& tokens);

// Why a row's numbers are not read when a character stands where a number's sign would ("À38",
// see signLookalike) among numbers that could be coordinates; empty when none does.
std::string lookalikeSigns(const std::vector<Token>& tokens);

}  // namespace voikit
