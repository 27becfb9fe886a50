#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "voikit/provenance/provenance.h"
#include "voikit/space/coordinate_space.h"

namespace voikit {

// A .voi file holds TAL voxels and nothing of the coordinates they were made from. This
// record, a small JSON file beside it (spheres.voi -> spheres.voi.json), keeps what the
// file cannot: the space the coordinates were written in, the transform that took MNI ones
// to TAL, the table they came from with its checksum, and each sphere's centre as written
// and radius. It identifies the .voi file it describes, so that a record left beside a file
// that was since replaced is seen for what it is and not believed: by its size and checksum,
// which survive copies, up to kVoiChecksummedUpTo bytes; a larger file by its size and
// modification time, which cost nothing to take, where its checksum would cost more time
// than making the file did.

// One sphere as it was asked for.
struct RecordedSphere {
    std::string name;
    Space space = Space::kTal;  // the space its centre was written in
    Point written{};            // its centre as written
    Point tal{};                // the TAL centre the .voi file's voxels are around
    double radius = 0;          // in mm
};

// A peak of the source that made no sphere, with why: the record says what was not drawn.
struct DroppedPeak {
    int line = 0;        // the source's line, from 1
    std::string name;    // as the table writes it; "" where it names none
    std::string reason;  // as the import's account gives it, naming the peak and its centre
};

struct InputSpaceRecord {
    // The space of every centre, or none when the table mixed spaces (spheres says which).
    std::optional<Space> space = Space::kTal;
    // How MNI centres were taken to TAL; none when every centre was TAL.
    std::optional<MniToTal> transform;
    // The table or list the spheres came from, with its checksum; none for spheres given
    // on the command line.
    std::optional<InputFile> source;
    std::vector<RecordedSphere> spheres;
    std::vector<DroppedPeak> dropped;  // none in a record written without the list
    InputFile voi;  // the .voi file described: its size, and its checksum where it is small
    // Its modification time ("2026-12-09T17:42:42.123456789Z") where it has no checksum.
    std::string voiModified;
    std::string writtenBy;  // "HelmoraZT.exe (Glomera 1.0.0)"
};

// The largest .voi file whose record carries its checksum (4 MiB: about 3 ms to take).
constexpr std::uint64_t kVoiChecksummedUpTo = std::uint64_t{4} << 20;

// The record's path beside a .voi file: the .voi file's path with .json added.
std::string inputSpaceRecordPath(const std::string& voiPath);

// The space of all the spheres, or none when they differ; TAL for no sphere.
std::optional<Space> commonSpace(const std::vector<RecordedSphere>& spheres);

// Writes the record beside the .voi file (whole or not at all), taking what identifies the
// .voi file now: call it once the .voi file is written. Throws Error on failure.
void writeInputSpaceRecord(const std::string& voiPath, InputSpaceRecord record);

// The record as JSON, and back. fromJson throws Error naming what is missing or wrong.
nlohmann::ordered_json inputSpaceJson(const InputSpaceRecord& record);
InputSpaceRecord inputSpaceFromJson(const nlohmann::json& json);

// What is known of a .voi file's input: its record, when there is one that describes this
// very file; otherwise none, and `why` says so in one line for the user ("spheres.voi has
// no input-space record (spheres.voi.json): its VOIs are described as made from Talairach
// coordinates"). A record that cannot be read, or that describes another file, is not
// believed and `why` says what is wrong with it.
struct InputSpaceReading {
    std::optional<InputSpaceRecord> record;
    std::string why;
};
InputSpaceReading readInputSpaceRecord(const std::string& voiPath);

// "MNI (converted to TAL with spm)", "TAL", "MNI and TAL (MNI converted with fsl)": the input
// in a few words, for reports; "TAL (no input-space record)" without a record.
std::string inputSpaceWords(const std::optional<InputSpaceRecord>& record);

}  // namespace voikit
