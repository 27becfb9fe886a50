#include "voikit/signal/zero_phase_filter.h"

#include <algorithm>

namespace voikit {
namespace {

// Runs the samples through the sections (transposed direct form II), each section starting
// from its steady state for a constant input equal to the first sample.
void filterForward(const std::vector<Biquad>& sections, std::vector<double>& x) {
    double level = x.front();  // the constant reaching the next section
    for (const Biquad& s : sections) {
        const double gain = (s.b[0] + s.b[1] + s.b[2]) / (s.a[0] + s.a[1] + s.a[2]);
        const double out = gain * level;
        double z1 = s.b[2] * level - s.a[2] * out;
        double z0 = s.b[1] * level - s.a[1] * out + z1;
        for (double& value : x) {
            const double in = value;
            const double y = s.b[0] * in + z0;
            z0 = s.b[1] * in - s.a[1] * y + z1;
            z1 = s.b[2] * in - s.a[2] * y;
            value = y;
        }
        level = out;
    }
}

}  // namespace

std::size_t paddingOf(const std::vector<Biquad>& sections) {
    std::size_t firstOrder = 0;
    for (const Biquad& s : sections) firstOrder += s.b[2] == 0 && s.a[2] == 0 ? 1 : 0;
    return 3 * (2 * sections.size() + 1 - firstOrder);
}

void filterZeroPhase(const std::vector<Biquad>& sections, double* samples, std::size_t count) {
    const std::size_t pad = paddingOf(sections);
    std::vector<double> x(count + 2 * pad);
    for (std::size_t n = 0; n < pad; ++n) {
        x[n] = 2 * samples[0] - samples[pad - n];
        x[pad + count + n] = 2 * samples[count - 1] - samples[count - 2 - n];
    }
    std::copy(samples, samples + count, x.begin() + static_cast<std::ptrdiff_t>(pad));
    filterForward(sections, x);
    std::reverse(x.begin(), x.end());
    filterForward(sections, x);
    std::reverse(x.begin(), x.end());
    std::copy_n(x.begin() + static_cast<std::ptrdiff_t>(pad), count, samples);
}

}  // namespace voikit
