#include "voikit/signal/standardize.h"

#include <cmath>

namespace voikit {
namespace {

// The mean of the finite samples and their count.
double finiteMean(const double* samples, std::size_t count, std::size_t& finite) {
    double sum = 0;
    finite = 0;
    for (std::size_t t = 0; t < count; ++t) {
        if (std::isfinite(samples[t])) {
            sum += samples[t];
            ++finite;
        }
    }
    return finite > 0 ? sum / static_cast<double>(finite) : NAN;
}

}  // namespace

bool toZScores(double* samples, std::size_t count) {
    std::size_t finite = 0;
    const double mean = finiteMean(samples, count, finite);
    if (finite < 2) return false;
    double squares = 0;
    for (std::size_t t = 0; t < count; ++t) {
        if (std::isfinite(samples[t])) squares += (samples[t] - mean) * (samples[t] - mean);
    }
    const double sd = std::sqrt(squares / static_cast<double>(finite - 1));
    if (!(sd > 0)) return false;
    for (std::size_t t = 0; t < count; ++t) samples[t] = (samples[t] - mean) / sd;
    return true;
}

bool toPercentChange(double* samples, std::size_t count, double baseline) {
    if (!(baseline > 0) || !std::isfinite(baseline)) return false;
    std::size_t finite = 0;
    const double mean = finiteMean(samples, count, finite);
    for (std::size_t t = 0; t < count; ++t) samples[t] = 100 * (samples[t] - mean) / baseline;
    return true;
}

}  // namespace voikit
