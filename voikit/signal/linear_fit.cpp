#include "voikit/signal/linear_fit.h"

#include <cmath>

namespace voikit {
namespace {

double dot(const std::vector<double>& x, const std::vector<double>& y) {
    double sum = 0;
    for (std::size_t n = 0; n < x.size(); ++n) sum += x[n] * y[n];
    return sum;
}

// A column explained by the others to this share of its length is taken as dependent on them.
constexpr double kDependent = 1e-10;

}  // namespace

void removeLinearTrend(double* samples, std::size_t count) {
    if (count == 0) return;
    const double middle = (static_cast<double>(count) - 1) / 2;
    double mean = 0;
    for (std::size_t t = 0; t < count; ++t) mean += samples[t];
    mean /= static_cast<double>(count);
    double cross = 0, squares = 0;
    for (std::size_t t = 0; t < count; ++t) {
        const double dt = static_cast<double>(t) - middle;
        cross += dt * (samples[t] - mean);
        squares += dt * dt;
    }
    const double slope = squares > 0 ? cross / squares : 0;
    for (std::size_t t = 0; t < count; ++t) {
        samples[t] -= mean + slope * (static_cast<double>(t) - middle);
    }
}

ConfoundSpace::ConfoundSpace(const std::vector<std::vector<double>>& columns,
                             const std::vector<bool>& kept) {
    for (std::size_t t = 0; t < kept.size(); ++t) {
        if (kept[t]) rows_.push_back(t);
    }
    std::vector<std::vector<double>> all(1, std::vector<double>(rows_.size(), 1.0));
    for (const auto& column : columns) {
        std::vector<double> values;
        for (std::size_t t : rows_) values.push_back(column[t]);
        all.push_back(std::move(values));
    }
    // Gram-Schmidt, each column taken against the basis twice, which keeps it orthogonal to
    // the precision of double however alike the columns are.
    for (std::vector<double>& column : all) {
        const double length = std::sqrt(dot(column, column));
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& q : basis_) {
                const double along = dot(column, q);
                for (std::size_t n = 0; n < column.size(); ++n) column[n] -= along * q[n];
            }
        }
        const double left = std::sqrt(dot(column, column));
        if (!(left > kDependent * length) || length == 0) {
            ++dependent_;
            continue;
        }
        for (double& value : column) value /= left;
        basis_.push_back(std::move(column));
    }
}

void ConfoundSpace::removeFrom(double* samples) const {
    std::vector<double> y;
    for (std::size_t t : rows_) y.push_back(samples[t]);
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& q : basis_) {
            const double along = dot(y, q);
            for (std::size_t n = 0; n < y.size(); ++n) y[n] -= along * q[n];
        }
    }
    for (std::size_t n = 0; n < rows_.size(); ++n) samples[rows_[n]] = y[n];
}

}  // namespace voikit
