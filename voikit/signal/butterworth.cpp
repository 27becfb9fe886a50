#include "voikit/signal/butterworth.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace voikit {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;

// The analogue Butterworth prototype's poles, cut-off 1 rad/s.
std::vector<Complex> prototypePoles(int order) {
    std::vector<Complex> poles;
    for (int m = -order + 1; m < order; m += 2) {
        poles.push_back(-std::exp(Complex(0, kPi * m / (2.0 * order))));
    }
    return poles;
}

// An analogue frequency for a digital one (a fraction of Nyquist), so that the bilinear
// transform puts the cut-off where it was asked.
double prewarped(double fractionOfNyquist) { return 4.0 * std::tan(kPi * fractionOfNyquist / 2.0); }

Complex product(const std::vector<Complex>& values, Complex shift) {
    Complex p = 1;
    for (const Complex& v : values) p *= shift - v;
    return p;
}

}  // namespace

std::vector<Biquad> butterworth(int order, std::optional<double> highPass,
                                std::optional<double> lowPass, double samplingRate) {
    const double nyquist = samplingRate / 2;
    std::vector<Complex> zeros;  // analogue
    std::vector<Complex> poles = prototypePoles(order);
    double gain = 1;
    if (highPass && lowPass) {
        const double low = prewarped(*highPass / nyquist), high = prewarped(*lowPass / nyquist);
        const double centre = std::sqrt(low * high), width = high - low;
        std::vector<Complex> band;
        for (const Complex& p : poles) {
            const Complex scaled = p * width / 2.0;
            const Complex root = std::sqrt(scaled * scaled - centre * centre);
            band.push_back(scaled + root);
            band.push_back(scaled - root);
        }
        poles = band;
        zeros.assign(static_cast<std::size_t>(order), 0.0);
        gain = std::pow(width, order);
    } else if (highPass) {
        const double cut = prewarped(*highPass / nyquist);
        gain = std::real(1.0 / product(poles, 0.0));
        for (Complex& p : poles) p = cut / p;
        zeros.assign(static_cast<std::size_t>(order), 0.0);
    } else {
        const double cut = prewarped(*lowPass / nyquist);
        for (Complex& p : poles) p *= cut;
        gain = std::pow(cut, order);
    }
    // The bilinear transform with the sampling rate taken as 2 (the frequencies are fractions
    // of Nyquist); zeros at infinity go to -1.
    constexpr double kTwiceRate = 4.0;
    gain *= std::real(product(zeros, kTwiceRate) / product(poles, kTwiceRate));
    std::vector<double> digitalZeros;  // all real for a Butterworth filter: +1 or -1
    digitalZeros.reserve(poles.size());
    for (const Complex& z : zeros)
        digitalZeros.push_back(std::real((kTwiceRate + z) / (kTwiceRate - z)));
    digitalZeros.resize(poles.size(), -1.0);
    std::vector<Complex> digitalPoles;
    digitalPoles.reserve(poles.size());
    for (const Complex& p : poles) digitalPoles.push_back((kTwiceRate + p) / (kTwiceRate - p));

    // Sections of a conjugate pair of poles each, or of two real poles; a single real pole of
    // an odd order makes a first-order section. The poles nearest the unit circle take the
    // zeros nearest to them first and come last, which keeps the rounding small.
    std::vector<std::vector<Complex>> groups;
    std::vector<Complex> real;
    for (const Complex& p : digitalPoles) {
        if (std::fabs(p.imag()) <= 1e-12 * std::abs(p)) {
            real.emplace_back(p.real(), 0.0);
        } else if (p.imag() > 0) {
            groups.push_back({p, std::conj(p)});
        }
    }
    std::sort(real.begin(), real.end(),
              [](const Complex& x, const Complex& y) { return std::abs(x) > std::abs(y); });
    for (std::size_t r = 0; r < real.size(); r += 2) {
        groups.push_back(r + 1 < real.size() ? std::vector<Complex>{real[r], real[r + 1]}
                                             : std::vector<Complex>{real[r]});
    }
    std::sort(groups.begin(), groups.end(),
              [](const auto& x, const auto& y) { return std::abs(x[0]) > std::abs(y[0]); });
    std::vector<Biquad> sections(groups.size());
    for (std::size_t s = groups.size(); s-- > 0;) {
        const std::vector<Complex>& group = groups[s];
        Biquad& section = sections[s];
        if (group.size() == 2) {
            section.a[0] = 1;
            section.a[1] = -std::real(group[0] + group[1]);
            section.a[2] = std::real(group[0] * group[1]);
        } else {
            section.a[0] = 1;
            section.a[1] = -group[0].real();
            section.a[2] = 0;
        }
        // The zeros nearest to this section's first pole.
        std::vector<double> mine;
        for (std::size_t n = 0; n < group.size(); ++n) {
            const auto nearest =
                std::min_element(digitalZeros.begin(), digitalZeros.end(), [&](double x, double y) {
                    return std::abs(group[0] - x) < std::abs(group[0] - y);
                });
            mine.push_back(*nearest);
            digitalZeros.erase(nearest);
        }
        section.b[0] = 1;
        section.b[1] = mine.size() == 2 ? -(mine[0] + mine[1]) : -mine[0];
        section.b[2] = mine.size() == 2 ? mine[0] * mine[1] : 0;
    }
    for (double& b : sections.front().b) b *= gain;
    return sections;
}

}  // namespace voikit
