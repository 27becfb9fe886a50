#pragma once

#include <cstddef>
#include <vector>

namespace voikit {

// The voxel time series of one region as read: `volumes` rows of `voxels` stored values,
// row by row, each meaning stored * slope + intercept.
template <typename Stored>
struct VoxelSeries {
    const Stored* values = nullptr;
    std::size_t volumes = 0;
    std::size_t voxels = 0;
    double slope = 1;
    double intercept = 0;
};

// The region's first eigenvariate: the first principal component in time of its voxels'
// series, each voxel's mean taken away first, signed so that it correlates positively with
// the region's mean series, and scaled as u sqrt(s / n): u the component of unit length, s
// the largest eigenvalue of the centred data's cross-products (its first singular value
// squared), n the voxels. Found by Lanczos iteration on the smaller of the voxel-by-voxel
// and the volume-by-volume cross-products, never formed; fully reorthogonalised. Empty
// for no voxel or no volume.
std::vector<double> firstEigenvariate(const VoxelSeries<float>& series);
std::vector<double> firstEigenvariate(const VoxelSeries<double>& series);

// Eigenvalues and eigenvectors of a symmetric matrix (n by n, row by row) by cyclic Jacobi
// rotations: `values` descending, `vectors` row by row, vector v in column v.
void symmetricEigen(std::vector<double> matrix, std::size_t n, std::vector<double>& values,
                    std::vector<double>& vectors);

}  // namespace voikit
