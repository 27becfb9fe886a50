#include "voikit/voxels/voi_file_reading.h"

#include "voikit/io/error.h"

namespace voikit {

void readToolboxVoiFile(const std::string& path, glomera::VoiFileVisitor& visitor, const Log& log) {
    glomera::VoiLineCount count;
    try {
        count = glomera::readVoiFile(path, visitor, glomera::VoiLineEnds::kCrLfOrLf);
    } catch (const glomera::VoiReadError& error) {
        throw Error(path + ": " + error.what());
    }
    if (count.lfAlone == 0) return;
    log.warn(path + ": " +
             (count.lfAlone == count.lines ? "its lines end"
                                           : std::to_string(count.lfAlone) + " of its " +
                                                 std::to_string(count.lines) + " lines end") +
             " with LF alone, not CR LF as the .voi format has it; read all the same, but the "
             "host loads only CR LF files");
}

}  // namespace voikit
