#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "voi/voi_reader.h"
#include "voikit/outputs/label_grid.h"
#include "voikit/provenance/provenance.h"
#include "voikit/voxels/voi_passes.h"
#include "voikit/voxels/voi_statistics.h"

namespace voikit {

// Labels on a grid: 0 for background, i for the i-th VOI (from 1). Where VOIs overlap, the
// later VOI wins.
struct LabelVolume {
    LabelGrid grid;
    std::vector<std::int16_t> labels;    // i fastest, then j, then k
    std::vector<std::int64_t> outside;   // per VOI: voxels whose nearest cell is off the grid
    std::vector<std::int64_t> labelled;  // per VOI: grid cells that end up with its label
    std::int64_t overwritten = 0;        // VOI voxels a later VOI took from an earlier one
};

// The most VOIs 16-bit labels can tell apart.
constexpr std::size_t kMaxLabels = 32767;

// Labels VOI by VOI: each cell of the grid takes the label of the VOI voxel nearest to the
// cell's centre (its position converted to TAL first), so a VOI keeps its volume and its
// centre on grids finer or coarser than 1 mm. The VOIs' figures give their extent. Throws
// Error naming `voiPath`, where the VOIs come from, for more than kMaxLabels VOIs or VOIs
// spread too far.
class LabelPass : public RunVisitor {
  public:
    LabelPass(const std::string& voiPath, const LabelGrid& grid, const VoiStatistics& figures);
    ~LabelPass() override;
    LabelPass(const LabelPass&) = delete;
    LabelPass& operator=(const LabelPass&) = delete;
    void beginVoi(const glomera::VoiInfo& info) override;
    void runs(const VoxelRun* runs, std::size_t count) override;
    LabelVolume finish();

  private:
    struct Work;
    std::unique_ptr<Work> work_;
    LabelVolume volume_;
    std::int32_t voi_ = -1;
};

// A NIfTI-1 file of voxels on a grid (.nii or .nii.gz, the transform in both qform and sform
// with the code of the grid's space), written into a temporary file beside its path with
// every write checked; it appears under its path on commit(), after whatever is to go beside
// it, and is removed if never committed. What made it, when given, goes into a NIfTI
// comment extension (its JSON, in ASCII). Throws Error on failure.
class GridVolumeFile {
  public:
    // `data` holds `volumes` volumes of the grid's cells in `datatype`, i fastest.
    GridVolumeFile(const std::string& path, const LabelGrid& grid, int datatype,
                   std::int64_t volumes, const void* data, int intent, double calMax,
                   const std::string& description, const Provenance* provenance = nullptr);
    GridVolumeFile(const GridVolumeFile&) = delete;
    GridVolumeFile& operator=(const GridVolumeFile&) = delete;
    void commit();

  private:
    std::string path_;
    glomera::AtomicFile file_;
};

// Writes the labels as a NIfTI-1 volume (.nii or .nii.gz, 16-bit integers, the transform in
// both qform and sform with the code of the grid's space) and, beside it, the label tables:
// a BIDS table of a discrete segmentation (.tsv: index, name, color as #rrggbb, then the
// colour's components, counts and volumes) with its sidecar describing the columns (.json),
// a FreeSurfer colour table (_ColorLUT.txt) and a Connectome Workbench label list
// (_wb_labels.txt). What made them, when given, goes into the volume as a NIfTI comment
// extension (its JSON, in ASCII), into the sidecar under "provenance" and into the colour
// table's comment lines; the .tsv and the Workbench list stay bare. Returns the .tsv's path.
// All appear whole or not at all; throws Error on failure.
std::string writeLabelVolume(const std::string& path, const glomera::VoiFileContents& contents,
                             const LabelVolume& volume, const Provenance* provenance = nullptr);

// The same volume as the bytes of a .nii file (NIfTI-1, uncompressed), for pages that carry
// it inside.
std::string labelVolumeBytes(const glomera::VoiFileContents& contents, const LabelVolume& volume);

// The tables beside a volume: its name without .nii/.nii.gz, with .tsv, .json,
// _ColorLUT.txt and _wb_labels.txt.
struct LabelTableFiles {
    std::string table;
    std::string sidecar;
    std::string colourLut;
    std::string workbench;

    std::vector<std::string> all() const { return {table, sidecar, colourLut, workbench}; }
};
LabelTableFiles labelTableFiles(const std::string& volumePath);

// The first of them, the .tsv.
std::string labelTablePath(const std::string& volumePath);

}  // namespace voikit
