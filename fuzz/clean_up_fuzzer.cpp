// Any bytes as a pasted list: the cleaned text fits the text box, cleaning it again changes
// nothing, its line count is the result, and every line reads back completely.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "coordlist/clean_up_text.h"
#include "coordlist/stream_fields.h"
#include "coordlist/text_lines.h"
#include "host/host_operations.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using glomera::host::kTextCapacity;
    std::vector<char> text(kTextCapacity, '\0');
    std::memcpy(text.data(), data, size < kTextCapacity - 1 ? size : kTextCapacity - 1);

    const std::int32_t count = glomera::cleanUpText(text.data());
    const std::string once(text.data());
    check(once.size() <= kTextCapacity - 1);

    std::int32_t lines = 0;
    glomera::TextLines split(once);
    glomera::StreamFields fields;
    std::string_view line;
    while (split.next(line)) {
        ++lines;
        glomera::VoiLineValues values;
        check(glomera::readVoiFields(fields, line, values));
        check(!values.nameCut && !values.name.empty());
        check(values.radius >= 0.5f && values.radius <= 20.0f);
        check(values.b >= 0 && values.b <= 255);
    }
    check(lines == count);

    check(glomera::cleanUpText(text.data()) == count);
    check(once == text.data());
    return 0;
}
