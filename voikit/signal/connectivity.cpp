#include "voikit/signal/connectivity.h"

#include <cmath>
#include <limits>

#include "voikit/io/error.h"

namespace voikit {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
// A pivot of the Cholesky factor below this, on a matrix of 1s on its diagonal, means the
// column is explained by those before it to within rounding.
constexpr double kSingular = 1e-10;

}  // namespace

SquareMatrix correlationMatrix(const std::vector<double>& series, std::size_t samples,
                               std::size_t columns) {
    std::vector<bool> valued(columns, false);
    for (std::size_t t = 0; t < samples; ++t) {
        for (std::size_t c = 0; c < columns; ++c) {
            if (std::isfinite(series[t * columns + c])) valued[c] = true;
        }
    }
    std::vector<std::size_t> rows;
    for (std::size_t t = 0; t < samples; ++t) {
        bool whole = true;
        for (std::size_t c = 0; c < columns; ++c) {
            whole = whole && (!valued[c] || std::isfinite(series[t * columns + c]));
        }
        if (whole) rows.push_back(t);
    }
    // Each column less its mean and scaled to length 1 over those rows.
    std::vector<std::vector<double>> unit(columns);
    for (std::size_t c = 0; c < columns; ++c) {
        if (!valued[c] || rows.size() < 2) continue;
        double mean = 0;
        for (std::size_t t : rows) mean += series[t * columns + c];
        mean /= static_cast<double>(rows.size());
        double squares = 0;
        for (std::size_t t : rows) {
            unit[c].push_back(series[t * columns + c] - mean);
            squares += unit[c].back() * unit[c].back();
        }
        if (!(squares > 0)) {
            unit[c].clear();
            continue;
        }
        for (double& value : unit[c]) value /= std::sqrt(squares);
    }
    SquareMatrix out;
    out.size = columns;
    out.values.assign(columns * columns, kNone);
    for (std::size_t i = 0; i < columns; ++i) {
        if (unit[i].empty()) continue;
        out.at(i, i) = 1;
        for (std::size_t j = 0; j < i; ++j) {
            if (unit[j].empty()) continue;
            double r = 0;
            for (std::size_t n = 0; n < rows.size(); ++n) r += unit[i][n] * unit[j][n];
            r = std::max(-1.0, std::min(1.0, r));
            out.at(i, j) = out.at(j, i) = r;
        }
    }
    return out;
}

SquareMatrix partialCorrelationMatrix(const SquareMatrix& correlations,
                                      const std::vector<std::string>& names) {
    std::vector<std::size_t> in;
    for (std::size_t i = 0; i < correlations.size; ++i) {
        if (!std::isnan(correlations.at(i, i))) in.push_back(i);
    }
    const std::size_t n = in.size();
    // Cholesky factor L of the correlations of the columns with values: R = L L'.
    std::vector<double> l(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j <= i; ++j) {
            double sum = correlations.at(in[i], in[j]);
            for (std::size_t k = 0; k < j; ++k) sum -= l[i * n + k] * l[j * n + k];
            if (i == j) {
                if (!(sum > kSingular)) {
                    throw Error(
                        "the correlation matrix cannot be inverted for partial "
                        "correlations: " +
                        names[in[i]] +
                        "'s series is explained by those of the VOIs before it (too few "
                        "volumes for the VOIs, or VOIs that share their cells)");
                }
                l[i * n + i] = std::sqrt(sum);
            } else {
                l[i * n + j] = sum / l[j * n + j];
            }
        }
    }
    // P = R^-1 = L'^-1 L^-1: the inverse of L, column by column, then its product.
    std::vector<double> inverse(n * n, 0.0);  // of L, lower triangular
    for (std::size_t c = 0; c < n; ++c) {
        inverse[c * n + c] = 1 / l[c * n + c];
        for (std::size_t i = c + 1; i < n; ++i) {
            double sum = 0;
            for (std::size_t k = c; k < i; ++k) sum -= l[i * n + k] * inverse[k * n + c];
            inverse[i * n + c] = sum / l[i * n + i];
        }
    }
    std::vector<double> p(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j <= i; ++j) {
            double sum = 0;
            for (std::size_t k = i; k < n; ++k) sum += inverse[k * n + i] * inverse[k * n + j];
            p[i * n + j] = p[j * n + i] = sum;
        }
    }
    SquareMatrix out;
    out.size = correlations.size;
    out.values.assign(out.size * out.size, kNone);
    for (std::size_t i = 0; i < n; ++i) {
        out.at(in[i], in[i]) = 1;
        for (std::size_t j = 0; j < i; ++j) {
            const double r = -p[i * n + j] / std::sqrt(p[i * n + i] * p[j * n + j]);
            out.at(in[i], in[j]) = out.at(in[j], in[i]) = r;
        }
    }
    return out;
}

void toFisherZ(SquareMatrix& matrix) {
    for (std::size_t i = 0; i < matrix.size; ++i) {
        for (std::size_t j = 0; j < matrix.size; ++j) {
            matrix.at(i, j) = i == j ? kNone : std::atanh(matrix.at(i, j));
        }
    }
}

}  // namespace voikit
