#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "voikit/space/nifti_file.h"

namespace voikit {

// A NIfTI image (.nii or .nii.gz, 3D or 4D) read forward, one volume at a time, so that a
// long series never needs more memory than one volume. The header is checked as for a grid,
// volume by volume: a 200-volume series is not refused for its total size.
class ImageSeries {
  public:
    // Reads and checks the header and opens the stream at the first volume. Throws Error
    // naming the file and what is wrong.
    explicit ImageSeries(const std::string& path);
    ~ImageSeries();
    ImageSeries(const ImageSeries&) = delete;
    ImageSeries& operator=(const ImageSeries&) = delete;

    const nifti_image& header() const { return *header_; }
    std::int64_t volumes() const { return volumes_; }
    std::int64_t volumesRead() const { return read_; }

    // Reads the next volume. Throws Error naming the file and the volume (counted from 0)
    // when the file ends early or its compressed stream is broken.
    void readVolume();

    // The values of the given cells (indices into a volume, i running fastest) of the volume
    // read last, as the image means them: scl_slope and scl_inter applied where the slope is
    // set (neither 0 nor infinite).
    void values(const std::int64_t* cells, std::size_t count, double* out) const;

    // Whether every stored value is held exactly by a float (8- and 16-bit whole numbers,
    // 32-bit floats), and the stored values of the cells as floats; for other datatypes, as
    // doubles. Each means stored * slope() + intercept().
    bool storedInFloat() const;
    void storedValues(const std::int64_t* cells, std::size_t count, float* out) const;
    void storedValues(const std::int64_t* cells, std::size_t count, double* out) const;
    double slope() const { return scaled_ ? slope_ : 1.0; }
    double intercept() const { return scaled_ ? inter_ : 0.0; }

  private:
    struct CloseFile {
        void operator()(gzFile_s* file) const { gzclose(file); }
    };

    std::string path_;
    NiftiImage header_;
    std::unique_ptr<gzFile_s, CloseFile> file_;
    std::vector<unsigned char> volume_;
    std::int64_t volumes_ = 0;
    std::int64_t read_ = 0;
    bool swap_ = false;
    bool scaled_ = false;
    double slope_ = 1.0;
    double inter_ = 0.0;
};

}  // namespace voikit
