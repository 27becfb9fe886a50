#pragma once

#include <string>
#include <vector>

#include "voikit/extract/extraction.h"

namespace voikit {

// The column names for VOIs: each VOI's name, and for a name that more than one VOI bears,
// the name with the VOI's index (from 1): "Amygdala_L_3".
std::vector<std::string> columnNames(const std::vector<std::string>& names);

// Names and paths in the tables are UTF-8: any other bytes are read as Windows-1252, as the
// page and the JSON read them, so that a UTF-8 reader takes every table.
// A field of a tab-separated table: backslashes, tabs and line ends escaped as \\, \t, \n
// and \r, so that no name or path breaks the table.
std::string tsvField(const std::string& text);

// A number as the tables write it: the shortest text that reads back as the same double;
// "n/a" for NaN.
std::string tableNumber(double value);

// The long table of statistics: its header row, and the rows of one image, one per volume
// and VOI: image volume index name mean median std min max count nonfinite.
std::string statisticsHeader();
std::string statisticsRows(const ImageExtraction& extraction,
                           const std::vector<std::string>& names);

// The same for one image as a JSON object, written without a line end; numbers that are
// n/a are null.
std::string statisticsJson(const ImageExtraction& extraction,
                           const std::vector<std::string>& names);

// The JSON document around the objects of the images: {"images": [...], "failures": [...]},
// opened, the separator between images and closed with the failures (image, error) given.
std::string jsonOpening();
std::string jsonSeparator();
std::string jsonClosing(const std::vector<std::pair<std::string, std::string>>& failures);

}  // namespace voikit
