#pragma once

#include <string>

namespace voikit {

// A label image of the field whose header puts its voxels' left on the right, recognised by
// the SHA-256 of its bytes, with the x axis its voxels really have.
struct KnownXAxis {
    const char* sha256;
    const char* file;
    double xRow[4];      // x in mm of voxel (i, j, k): xRow . (i, j, k, 1)
    const char* layout;  // what the report says of it
};

// The known image with this checksum, or null.
const KnownXAxis* knownXAxis(const std::string& sha256);

}  // namespace voikit
