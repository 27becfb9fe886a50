#include "voikit/extract/series_table.h"

#include "voikit/extract/extraction_tables.h"

namespace voikit {

std::string seriesText(const SeriesTable& series, const std::vector<std::string>& columns) {
    std::string table;
    for (std::size_t v = 0; v < columns.size(); ++v) {
        table += (v > 0 ? "\t" : "") + tsvField(columns[v]);
    }
    table += "\n";
    for (std::int64_t t = 0; t < series.volumes; ++t) {
        for (std::size_t v = 0; v < series.vois; ++v) {
            if (v > 0) table += '\t';
            table += tableNumber(series.at(t, v));
        }
        table += "\n";
    }
    return table;
}

std::string matrixText(const SquareMatrix& matrix, const std::vector<std::string>& columns) {
    std::string table = "voi";
    for (const std::string& column : columns) table += "\t" + tsvField(column);
    table += "\n";
    for (std::size_t i = 0; i < matrix.size; ++i) {
        table += tsvField(columns[i]);
        for (std::size_t j = 0; j < matrix.size; ++j) table += "\t" + tableNumber(matrix.at(i, j));
        table += "\n";
    }
    return table;
}

}  // namespace voikit
