#pragma once

#include <string>
#include <vector>

namespace voikit {

// Items as a sentence lists them: "a", "a and b", "a, b and c"; "" for none.
std::string listedInWords(const std::vector<std::string>& items);

// A count with its noun, plural by an s where it is not one: "1 VOI", "3 VOIs", "0 cells".
std::string counted(long long count, const std::string& noun);

}  // namespace voikit
