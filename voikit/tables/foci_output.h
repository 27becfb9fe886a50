#pragma once

#include <optional>
#include <string>

#include "voikit/space/coordinate_space.h"
#include "voikit/tables/table_import.h"

namespace voikit {

// A foci file for GingerALE and Sleuth, or why none can be made.
struct FociOutput {
    std::string text;
    std::string refusal;  // empty when `text` is the file
};

// The peaks that became VOIs as a GingerALE/Sleuth foci file in `space`: a
// "// Reference=MNI" or "// Reference=Talairach" line, then for each experiment its name,
// its "// Subjects=N" line and one "x<TAB>y<TAB>z" line per focus, a blank line between
// experiments. Foci that the table writes in `space` (in any of its column groups) keep
// their values; others are converted from the TAL centre used through `transform`.
// Each experiment takes its number of subjects from the table, else `subjects`; without
// either it is refused, since GingerALE weighs each experiment by it. An experiment the
// table does not name is named `name`.
FociOutput fociFile(const ImportResult& result, Space space, MniToTal transform,
                    std::optional<int> subjects, const std::string& name);

}  // namespace voikit
