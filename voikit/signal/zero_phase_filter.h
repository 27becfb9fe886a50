#pragma once

#include <cstddef>
#include <vector>

#include "voikit/signal/butterworth.h"

namespace voikit {

// The samples the zero-phase filter adds at each end: three times the filter's length (two
// per second-order section and one, less one for each first-order section).
std::size_t paddingOf(const std::vector<Biquad>& sections);

// Filters `count` samples forward and then backward through the sections, so that no phase
// is shifted and the gain is squared. Each end is first extended by paddingOf samples,
// mirrored through the end sample (an odd extension), and each pass starts from the steady
// state of a constant input at its first sample. The count must pass the padding; the
// caller checks.
void filterZeroPhase(const std::vector<Biquad>& sections, double* samples, std::size_t count);

}  // namespace voikit
