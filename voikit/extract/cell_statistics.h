#pragma once

#include <cstddef>
#include <cstdint>

namespace voikit {

// The statistics of a VOI's cells in one volume. Non-finite values (NaN, infinities) are
// left out and counted; what has no finite value to come from is NaN (shown as n/a).
struct CellStatistics {
    double mean;
    double median;  // of an even count, the mean of the two middle values
    double std;     // sample standard deviation, n - 1 in the denominator; NaN below 2 values
    double min;
    double max;
    std::int64_t count;      // finite values
    std::int64_t nonfinite;  // values left out
};

// The statistics of `count` values. Reorders them.
CellStatistics statisticsOf(double* values, std::size_t count);

}  // namespace voikit
