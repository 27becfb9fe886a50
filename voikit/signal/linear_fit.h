#pragma once

#include <cstddef>
#include <vector>

namespace voikit {

// Removes the least-squares line a + b t (t the sample's number) from the samples.
void removeLinearTrend(double* samples, std::size_t count);

// The space the confounds span, with an intercept, over the samples kept, for taking each
// series' least-squares fit on them away (a projection). Columns that the others (or the
// intercept) already explain are left out and counted.
class ConfoundSpace {
  public:
    // `columns` each of `kept.size()` samples; `kept[t]` false leaves sample t out of the fit.
    ConfoundSpace(const std::vector<std::vector<double>>& columns, const std::vector<bool>& kept);

    // The series less its fit, at the kept samples; the others are left as they are.
    void removeFrom(double* samples) const;

    std::size_t rank() const { return basis_.size(); }  // with the intercept
    std::size_t dependent() const { return dependent_; }
    std::size_t keptCount() const { return rows_.size(); }

  private:
    std::vector<std::size_t> rows_;           // the kept samples
    std::vector<std::vector<double>> basis_;  // orthonormal, over rows_
    std::size_t dependent_ = 0;
};

}  // namespace voikit
