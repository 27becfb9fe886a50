#include "voikit/tables/layouts/read_table.h"

#include "voikit/tables/layouts/afni_clust.h"
#include "voikit/tables/layouts/foci_file.h"
#include "voikit/tables/layouts/fsl_cluster.h"
#include "voikit/tables/layouts/generic_table.h"
#include "voikit/tables/layouts/spm_table.h"

namespace voikit {

TableReading readTable(const std::vector<std::string>& lines) {
    // The programs' own layouts first, each recognised by lines no other layout has.
    if (isFociFile(lines)) return readFociFile(lines);
    if (isAfniClustTable(lines)) return readAfniClustTable(lines);
    if (isFslClusterTable(lines)) return readFslClusterTable(lines);
    if (isSpmTable(lines)) return readSpmTable(lines);
    return readGenericTable(lines);
}

}  // namespace voikit
