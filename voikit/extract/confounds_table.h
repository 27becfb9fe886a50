#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace voikit {

// The columns of a confounds table (tab-separated, a header row of names, one row per
// volume of the whole image, n/a for missing cells as fMRIPrep writes them) that a run
// needs; NaN for n/a.
struct ConfoundsTable {
    std::string path;
    std::size_t rows = 0;
    std::vector<std::string> names;
    std::vector<std::vector<double>> columns;

    // The column of that name, or null.
    const std::vector<double>* column(const std::string& name) const;
};

// Whether the name matches the pattern, in which * stands for any run of characters.
bool matchesPattern(const std::string& name, const std::string& pattern);

// The names of `header` that the patterns match, in the patterns' order and within a
// pattern the table's, each once.
std::vector<std::string> matchedColumns(const std::vector<std::string>& header,
                                        const std::vector<std::string>& patterns);

// Reads the columns that `patterns` match and the columns named in `named` (exactly) from
// the table. Throws Error naming the file and, as the case may be: each pattern or name that
// matches no column, each column of these without a number, a cell that is neither a number
// nor n/a (its row and column), a row of another width.
ConfoundsTable readConfoundsTable(const std::string& path, const std::vector<std::string>& patterns,
                                  const std::vector<std::string>& named);

}  // namespace voikit
