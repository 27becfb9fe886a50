#pragma once

#include <string>
#include <string_view>

#include "voikit/page/review_page.h"
#include "voikit/tables/table_import.h"

namespace voikit {

// What the review page shows of an import: the table's lines as decoded, what each became,
// the reading, the space decision and the spheres. `table` names the file as the user gave it.
ReviewContents reviewOfImport(const ImportResult& result, std::string_view bytes,
                              const std::string& table, const ImportSettings& settings);

}  // namespace voikit
