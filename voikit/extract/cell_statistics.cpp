#include "voikit/extract/cell_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace voikit {

CellStatistics statisticsOf(double* values, std::size_t count) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    double* const end =
        std::partition(values, values + count, [](double value) { return std::isfinite(value); });
    const auto n = static_cast<std::size_t>(end - values);
    CellStatistics out{kNone,
                       kNone,
                       kNone,
                       kNone,
                       kNone,
                       static_cast<std::int64_t>(n),
                       static_cast<std::int64_t>(count - n)};
    if (n == 0) return out;
    double sum = 0;
    out.min = values[0];
    out.max = values[0];
    for (const double* v = values; v != end; ++v) {
        sum += *v;
        out.min = std::min(out.min, *v);
        out.max = std::max(out.max, *v);
    }
    out.mean = sum / static_cast<double>(n);
    if (n > 1) {
        // Two passes: the deviations from the mean, not the difference of large sums.
        double squares = 0;
        for (const double* v = values; v != end; ++v) squares += (*v - out.mean) * (*v - out.mean);
        out.std = std::sqrt(squares / static_cast<double>(n - 1));
    }
    double* const middle = values + n / 2;
    std::nth_element(values, middle, end);
    out.median = *middle;
    if (n % 2 == 0) out.median = (*std::max_element(values, middle) + *middle) / 2;
    return out;
}

}  // namespace voikit
