#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace voikit {

enum class Connectivity { kNone, kCorrelation, kPartial };

// A square matrix, row by row; NaN where there is no value.
struct SquareMatrix {
    std::size_t size = 0;
    std::vector<double> values;
    double& at(std::size_t row, std::size_t column) { return values[row * size + column]; }
    double at(std::size_t row, std::size_t column) const { return values[row * size + column]; }
};

// The matrix of Pearson correlations between the columns of `series` (`samples` rows of
// `columns` values, row by row), over the rows where every column with a value has one.
// A column without a finite value, or one that does not vary over those rows, has NaN in
// its row and column (its diagonal too); the others have 1 on the diagonal.
SquareMatrix correlationMatrix(const std::vector<double>& series, std::size_t samples,
                               std::size_t columns);

// The partial correlations of the same columns, each pair given all the others: from the
// inverse P of their correlation matrix, -P_ij / sqrt(P_ii P_jj). Columns without a value
// stay NaN and are left out of the inverse. Throws Error with the reason when the matrix
// cannot be inverted (fewer rows than columns, or a column that the others explain).
SquareMatrix partialCorrelationMatrix(const SquareMatrix& correlations,
                                      const std::vector<std::string>& names);

// Fisher's z of each correlation, atanh(r), the diagonal NaN (no correlation of a column
// with itself is estimated).
void toFisherZ(SquareMatrix& matrix);

}  // namespace voikit
