#include "tests/test_images.h"

#include <nifti2_io.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>

#include "tests/test_files.h"

namespace {

template <typename T>
void place(std::string& data, std::size_t at, double value) {
    const T typed = static_cast<T>(value);
    std::memcpy(&data[at * sizeof(T)], &typed, sizeof(T));
}

}  // namespace

std::string TestImage::bytes() const {
    std::int64_t dimArray[8] = {static_cast<std::int64_t>(dims.size()), 1, 1, 1, 1, 1, 1, 1};
    for (std::size_t a = 0; a < dims.size(); ++a) dimArray[a + 1] = dims[a];
    nifti_image* nim = nifti_make_new_nim(dimArray, datatype, 0);
    if (nim == nullptr) throw std::runtime_error("nifti_make_new_nim failed");
    nim->scl_slope = slope;
    nim->scl_inter = inter;
    nim->sform_code = sformCode;
    if (timeStep > 0) {
        nim->dt = timeStep;
        nim->pixdim[4] = timeStep;
        nim->time_units = timeUnit;
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) nim->sto_xyz.m[r][c] = affine[r][c];
    }
    nim->sto_xyz.m[3][3] = 1;
    nim->nifti_type = nifti2 ? NIFTI_FTYPE_NIFTI2_1 : NIFTI_FTYPE_NIFTI1_1;
    nifti_set_iname_offset(nim, nifti2 ? 2 : 1);
    std::string header;
    if (nifti2) {
        nifti_2_header h{};
        nifti_convert_nim2n2hdr(nim, &h);
        std::memcpy(h.magic, "n+2\0\r\n\032\n", 8);
        h.vox_offset = 544;
        if (bigEndian) nifti_swap_as_nifti2(&h);
        header.assign(reinterpret_cast<const char*>(&h), sizeof h);
    } else {
        nifti_1_header h{};
        nifti_convert_nim2n1hdr(nim, &h);
        if (bigEndian) nifti_swap_as_nifti1(&h);
        header.assign(reinterpret_cast<const char*>(&h), sizeof h);
    }
    const int bytesPer = nim->nbyper;
    const auto voxels = static_cast<std::size_t>(nim->nvox);
    nifti_image_free(nim);
    if (!withVoxels) return header + std::string(4, '\0');
    std::string data(voxels * static_cast<std::size_t>(bytesPer), '\0');
    for (std::size_t n = 0; n < values.size() && n < voxels; ++n) {
        switch (datatype) {
            case NIFTI_TYPE_UINT8:
                place<std::uint8_t>(data, n, values[n]);
                break;
            case NIFTI_TYPE_INT8:
                place<std::int8_t>(data, n, values[n]);
                break;
            case NIFTI_TYPE_INT16:
                place<std::int16_t>(data, n, values[n]);
                break;
            case NIFTI_TYPE_UINT16:
                place<std::uint16_t>(data, n, values[n]);
                break;
            case NIFTI_TYPE_INT32:
                place<std::int32_t>(data, n, values[n]);
                break;
            case NIFTI_TYPE_UINT32:
                place<std::uint32_t>(data, n, values[n]);
                break;
            case NIFTI_TYPE_INT64:
                place<std::int64_t>(data, n, values[n]);
                break;
            case NIFTI_TYPE_UINT64:
                place<std::uint64_t>(data, n, values[n]);
                break;
            case NIFTI_TYPE_FLOAT32:
                place<float>(data, n, values[n]);
                break;
            case NIFTI_TYPE_FLOAT64:
                place<double>(data, n, values[n]);
                break;
            default:
                break;  // other datatypes stay zero: they are for refusals
        }
    }
    if (bigEndian && bytesPer > 1) {
        nifti_swap_Nbytes(static_cast<std::int64_t>(voxels), bytesPer, data.data());
    }
    return header + std::string(4, '\0') + data;
}

void writeCompressed(const std::string& path, const std::string& bytes) {
    gzFile file = gzopen(path.c_str(), "wb1");
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    if (!bytes.empty()) gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size()));
    gzclose(file);
}

void TestImage::write(const std::string& path) const {
    if (path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0) {
        writeCompressed(path, bytes());
    } else {
        writeFile(path, bytes());
    }
}
