#include "tests/support/voi_line_reader.h"

#include <cstring>

#include "coordlist/stream_fields.h"
#include "coordlist/text_lines.h"

namespace glomera {

bool readVoiLine(const char* text, std::int32_t index, float* x, float* y, float* z, float* radius,
                 char* name, std::int32_t* r, std::int32_t* g, std::int32_t* b) {
    if (text == nullptr || index < 0) return false;
    TextLines lines(text);
    std::string_view line;
    for (std::int32_t number = 0; lines.next(line); ++number) {
        if (number != index) continue;
        VoiLineValues values;
        values.x = *x;
        values.y = *y;
        values.z = *z;
        values.radius = *radius;
        values.r = *r;
        values.g = *g;
        values.b = *b;
        StreamFields fields;
        readVoiFields(fields, line, values);
        *x = values.x;
        *y = values.y;
        *z = values.z;
        *radius = values.radius;
        std::memcpy(name, values.name.c_str(), values.name.size() + 1);
        *r = values.r;
        *g = values.g;
        *b = values.b;
        return true;
    }
    return false;
}

}  // namespace glomera
