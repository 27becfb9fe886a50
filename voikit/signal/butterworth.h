#pragma once

#include <optional>
#include <vector>

namespace voikit {

// One second-order section of a digital filter: y = (b0 + b1 z^-1 + b2 z^-2) /
// (1 + a1 z^-1 + a2 z^-2) x, a[0] being 1.
struct Biquad {
    double b[3];
    double a[3];
};

// A digital Butterworth filter of `order` as second-order sections: high-pass above
// `highPass`, low-pass below `lowPass`, band-pass (of twice the order) with both, in Hz for
// samples `samplingRate` Hz apart. Designed from the analogue prototype, its frequencies
// prewarped, through the bilinear transform. Both cut-offs, when given, must lie strictly
// between 0 and the Nyquist frequency, the high-pass below the low-pass; the caller checks.
std::vector<Biquad> butterworth(int order, std::optional<double> highPass,
                                std::optional<double> lowPass, double samplingRate);

}  // namespace voikit
