#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A NIfTI image made for a test, byte by byte: any datatype, dimensions, scaling, byte order
// and version, written as .nii or gzip-compressed.
struct TestImage {
    int datatype = 16;                           // NIFTI_TYPE_FLOAT32
    std::vector<std::int64_t> dims = {2, 2, 2};  // nx, ny, nz[, nt, ...]
    double affine[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    int sformCode = 3;  // Talairach
    double slope = 0;
    double inter = 0;
    bool bigEndian = false;
    bool nifti2 = false;
    double timeStep = 0;  // pixdim[4] when set, in timeUnit (NIFTI_UNITS_SEC, _MSEC, ...)
    int timeUnit = 0;
    std::vector<double> values;  // every voxel of every volume, i fastest; zeros when short
    bool withVoxels = true;      // false: the header alone, for images too large to hold

    // The file's bytes: header, an empty extension block, the voxels in the datatype.
    std::string bytes() const;
    // Writes bytes() to `path`, gzip-compressed when it ends with .gz.
    void write(const std::string& path) const;
};

// Writes bytes gzip-compressed.
void writeCompressed(const std::string& path, const std::string& bytes);
