#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "voikit/signal/connectivity.h"

namespace voikit {

// The summary series of every VOI in one image: `volumes` rows of one value per VOI, NaN
// where there is none.
struct SeriesTable {
    std::int64_t firstVolume = 0;  // the volume of the first row, counted from 0
    std::int64_t volumes = 0;
    std::size_t vois = 0;
    std::vector<double> values;  // row by row
    double& at(std::int64_t row, std::size_t voi) {
        return values[static_cast<std::size_t>(row) * vois + voi];
    }
    double at(std::int64_t row, std::size_t voi) const {
        return values[static_cast<std::size_t>(row) * vois + voi];
    }
};

// The series as a table: a header row of column names, then one row per volume with each
// VOI's value, n/a where it has none.
std::string seriesText(const SeriesTable& series, const std::vector<std::string>& columns);

// A VOI-by-VOI matrix as a table: a first header cell "voi" and the column names, then one
// row per VOI headed by its name, n/a where the matrix has no value.
std::string matrixText(const SquareMatrix& matrix, const std::vector<std::string>& columns);

}  // namespace voikit
