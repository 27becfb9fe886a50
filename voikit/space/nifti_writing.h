#pragma once

#include <cstddef>
#include <string>

#include "common/atomic_file.h"
#include "voikit/space/nifti_file.h"

namespace voikit {

// The bytes of a NIfTI-1 single file in front of the voxels of `image`: its header, with the
// voxels' offset set to follow the extensions, then its extensions. Throws Error when the
// library cannot make the header.
std::string niftiHeadBytes(nifti_image& image);

// Writes `image` as a NIfTI-1 single file into `out`: its header (the voxels' offset set to
// follow the extensions), its extensions, then `bytes` bytes of voxels from `data`; all of
// it as one gzip member when `compressed`, at zlib's fastest level (label volumes and masks
// shrink well at any level, and the best takes half as long again for a file a third
// smaller). Every write is checked by `out`; throws Error when compression cannot begin.
void writeNifti1(nifti_image& image, const void* data, std::size_t bytes, bool compressed,
                 glomera::AtomicFile& out);

}  // namespace voikit
