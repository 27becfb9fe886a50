#pragma once

#include <cstddef>

namespace voikit {

// The samples as z-scores: less their mean, over their sample standard deviation (n - 1),
// both over the finite samples; NaN samples stay NaN. False, the samples left as they
// are, when fewer than two are finite or they do not vary.
bool toZScores(double* samples, std::size_t count);

// The samples as percent signal change against `baseline`, the series' mean before it was
// cleaned: 100 (x - mean) / baseline, the mean over the finite samples, so that a cleaning
// that took the mean away changes nothing. False, the samples left as they are, when the
// baseline is not positive.
bool toPercentChange(double* samples, std::size_t count, double baseline);

}  // namespace voikit
