#include "voikit/signal/eigenvariate.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace voikit {
namespace {

double dot(const std::vector<double>& x, const std::vector<double>& y) {
    return std::inner_product(x.begin(), x.end(), y.begin(), 0.0);
}

// The centred data Y (volumes by voxels) as products with vectors.
template <typename Stored>
class Centred {
  public:
    explicit Centred(const VoxelSeries<Stored>& s) : s_(s), means_(s.voxels, 0.0) {
        for (std::size_t t = 0; t < s.volumes; ++t) {
            for (std::size_t j = 0; j < s.voxels; ++j) means_[j] += value(t, j);
        }
        for (double& mean : means_) mean /= static_cast<double>(s.volumes);
    }
    double value(std::size_t t, std::size_t j) const {
        return static_cast<double>(s_.values[t * s_.voxels + j]) * s_.slope + s_.intercept;
    }
    // Y x, x over the voxels.
    std::vector<double> times(const std::vector<double>& x) const {
        std::vector<double> out(s_.volumes, 0.0);
        for (std::size_t t = 0; t < s_.volumes; ++t) {
            double sum = 0;
            for (std::size_t j = 0; j < s_.voxels; ++j) sum += (value(t, j) - means_[j]) * x[j];
            out[t] = sum;
        }
        return out;
    }
    // Y' z, z over the volumes.
    std::vector<double> transposedTimes(const std::vector<double>& z) const {
        std::vector<double> out(s_.voxels, 0.0);
        for (std::size_t t = 0; t < s_.volumes; ++t) {
            for (std::size_t j = 0; j < s_.voxels; ++j) out[j] += (value(t, j) - means_[j]) * z[t];
        }
        return out;
    }

  private:
    const VoxelSeries<Stored>& s_;
    std::vector<double> means_;
};

// A Ritz pair counts as converged when its residual is below this share of its value.
constexpr double kConverged = 1e-13;
// Lanczos steps before a restart from the best vector so far, and the restarts allowed.
constexpr std::size_t kMostSteps = 160;
constexpr int kMostRestarts = 20;
// Steps between tests of convergence (each a small eigenproblem).
constexpr std::size_t kTestEvery = 8;

// The top eigenvalue and unit eigenvector of the symmetric positive semidefinite operator
// of dimension n.
template <typename Operator>
std::vector<double> topEigenvector(const Operator& apply, std::size_t n, double& value) {
    // A start with some weight on every direction, and most along all-ones (the mean).
    std::vector<double> start(n);
    for (std::size_t i = 0; i < n; ++i) start[i] = 1.0 + 0.01 * std::sin(1.0 + 7.3 * double(i));
    const std::size_t most = std::min(n, kMostSteps);
    std::vector<double> best = start;
    value = 0;
    for (int restart = 0; restart <= kMostRestarts; ++restart) {
        std::vector<std::vector<double>> basis;
        std::vector<double> alpha, beta;
        std::vector<double> q = best;
        const double length = std::sqrt(dot(q, q));
        if (!(length > 0)) return best;
        for (double& x : q) x /= length;
        bool converged = false;
        for (std::size_t k = 0; k < most; ++k) {
            basis.push_back(q);
            std::vector<double> w = apply(q);
            alpha.push_back(dot(w, q));
            // Full reorthogonalisation, twice, against the whole basis.
            for (int pass = 0; pass < 2; ++pass) {
                for (const auto& b : basis) {
                    const double along = dot(w, b);
                    for (std::size_t i = 0; i < n; ++i) w[i] -= along * b[i];
                }
            }
            const double next = std::sqrt(dot(w, w));
            const bool last = k + 1 == most || !(next > 1e-300);
            if (last || (k + 1) % kTestEvery == 0) {
                const std::size_t m = alpha.size();
                std::vector<double> tri(m * m, 0.0);
                for (std::size_t i = 0; i < m; ++i) {
                    tri[i * m + i] = alpha[i];
                    if (i + 1 < m) tri[i * m + i + 1] = tri[(i + 1) * m + i] = beta[i];
                }
                std::vector<double> values, vectors;
                symmetricEigen(tri, m, values, vectors);
                value = values[0];
                std::fill(best.begin(), best.end(), 0.0);
                for (std::size_t i = 0; i < m; ++i) {
                    const double weight = vectors[i * m];
                    for (std::size_t j = 0; j < n; ++j) best[j] += weight * basis[i][j];
                }
                const double residual = next * std::fabs(vectors[(m - 1) * m]);
                // An invariant subspace (next 0) or the whole space gives the exact pair.
                converged = residual <= kConverged * std::fabs(value) || !(next > 1e-300) || m == n;
                if (converged || last) break;
            }
            beta.push_back(next);
            q = w;
            for (double& x : q) x /= next;
        }
        if (converged) break;
    }
    const double length = std::sqrt(dot(best, best));
    for (double& x : best) x /= length;
    return best;
}

template <typename Stored>
std::vector<double> eigenvariateOf(const VoxelSeries<Stored>& series) {
    const std::size_t volumes = series.volumes, voxels = series.voxels;
    if (volumes == 0 || voxels == 0) return {};
    const Centred<Stored> y(series);
    double value = 0;
    std::vector<double> u;
    if (voxels <= volumes) {
        const std::vector<double> v = topEigenvector(
            [&](const std::vector<double>& x) { return y.transposedTimes(y.times(x)); }, voxels,
            value);
        u = y.times(v);
    } else {
        u = topEigenvector(
            [&](const std::vector<double>& z) { return y.times(y.transposedTimes(z)); }, volumes,
            value);
    }
    const double length = std::sqrt(dot(u, u));
    if (!(length > 0)) return std::vector<double>(volumes, 0.0);  // no voxel varies
    // u's sign: as the voxels' summed weights, so that it goes with the mean series.
    const std::vector<double> weights = y.transposedTimes(u);
    const double sign = std::accumulate(weights.begin(), weights.end(), 0.0) < 0 ? -1.0 : 1.0;
    // |Y' u| over |u| is the first singular value, for u along the component.
    const double singular = std::sqrt(dot(weights, weights)) / length;
    const double scale = sign * singular / std::sqrt(static_cast<double>(voxels)) / length;
    for (double& x : u) x *= scale;
    return u;
}

}  // namespace

std::vector<double> firstEigenvariate(const VoxelSeries<float>& series) {
    return eigenvariateOf(series);
}

std::vector<double> firstEigenvariate(const VoxelSeries<double>& series) {
    return eigenvariateOf(series);
}

void symmetricEigen(std::vector<double> a, std::size_t n, std::vector<double>& values,
                    std::vector<double>& vectors) {
    std::vector<double> v(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) v[i * n + i] = 1;
    for (int sweep = 0; sweep < 100; ++sweep) {
        double off = 0, total = 0;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                (i == j ? total : off) += a[i * n + j] * a[i * n + j];
            }
        }
        if (off <= 1e-30 * (total + off) || off == 0) break;
        for (std::size_t p = 0; p < n; ++p) {
            for (std::size_t q = p + 1; q < n; ++q) {
                const double apq = a[p * n + q];
                if (apq == 0) continue;
                // The rotation that zeroes a[p][q].
                const double theta = (a[q * n + q] - a[p * n + p]) / (2 * apq);
                const double t =
                    (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                const double c = 1 / std::sqrt(t * t + 1), s = t * c;
                for (std::size_t k = 0; k < n; ++k) {
                    const double akp = a[k * n + p], akq = a[k * n + q];
                    a[k * n + p] = c * akp - s * akq;
                    a[k * n + q] = s * akp + c * akq;
                }
                for (std::size_t k = 0; k < n; ++k) {
                    const double apk = a[p * n + k], aqk = a[q * n + k];
                    a[p * n + k] = c * apk - s * aqk;
                    a[q * n + k] = s * apk + c * aqk;
                }
                for (std::size_t k = 0; k < n; ++k) {
                    const double vkp = v[k * n + p], vkq = v[k * n + q];
                    v[k * n + p] = c * vkp - s * vkq;
                    v[k * n + q] = s * vkp + c * vkq;
                }
            }
        }
    }
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::size_t x, std::size_t y) { return a[x * n + x] > a[y * n + y]; });
    values.resize(n);
    vectors.assign(n * n, 0.0);
    for (std::size_t c = 0; c < n; ++c) {
        values[c] = a[order[c] * n + order[c]];
        for (std::size_t r = 0; r < n; ++r) vectors[r * n + c] = v[r * n + order[c]];
    }
}

}  // namespace voikit
